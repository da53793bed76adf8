// Greatest common divisor along Euclid's sequence. Below Tuning::hgcd limbs,
// Lehmer's algorithm (Knuth, TAOCP 4.5.2, L): the quotients of many steps are
// found from the leading 126 bits alone and applied to the full numbers at
// once as a 2x2 matrix of single-limb cofactors; a full division step is
// taken when the leading bits decide nothing or the lengths differ. Above it,
// the half-gcd (hgcd.cpp) halves the numbers at a time. The extended gcd
// records the steps and reads both cofactors off their product.
#include <algorithm>
#include <bit>
#include <utility>
#include <variant>
#include <vector>

#include "kernels/arith.h"
#include "kernels/cancel.h"
#include "kernels/gcd.h"

namespace karvo::kernel {

namespace {

// The leading 126 bits of u, and those of v at the same position (u has at
// least three limbs): room for the cofactors' additions in signed 128 bits.
std::pair<SLimb2, SLimb2> leading_bits(const Nat &u, const Nat &v) {
    const size_t n = u.size();
    const unsigned s = unsigned(std::countl_zero(u[n - 1]));
    auto at = [&](const Nat &x, size_t i) { return i < x.size() ? x[i] : Limb(0); };
    auto top = [&](const Nat &x) {
        DLimb hi = (DLimb(at(x, n - 1)) << kLimbBits) | at(x, n - 2);
        if (s != 0)
            hi = (hi << s) | (at(x, n - 3) >> (kLimbBits - s));
        return SLimb2(hi >> 2);
    };
    return {top(u), top(v)};
}

} // namespace

// Knuth's step L2-L3: the cofactors of the Euclid steps that the leading bits
// of u >= v determine, kept below 2^63 so that they fit a limb. B == 0 means
// none: a full division step is needed. The true new v lies above
// (y + min(C, D)) 2^(bit_length(u) - 126), which is what the floor bounds.
Matrix lehmer_matrix(const Nat &u, const Nat &v, SLimb2 floor) {
    constexpr SLimb2 kBound = SLimb2(1) << 63;
    Matrix m;
    if (u.size() <= 2 || u.size() != v.size())
        return m;
    auto [x, y] = leading_bits(u, v);
    while (true) {
        // The quotient must be that of both x + A by y + C and x + B by y + D.
        const SLimb2 num = x + m.A, den = y + m.C, other_den = y + m.D;
        if (num < 0 || den <= 0 || other_den <= 0)
            break;
        // Mostly small: a few subtractions instead of a division.
        SLimb2 q = 0, r = num;
        for (; q < 3 && r >= den; ++q)
            r -= den;
        if (r >= den) {
            const SLimb2 more = r / den;
            q += more;
            r -= more * den;
        }
        if (q == 0 || q >= kBound)
            break;
        // (x + B) - q (y + D), from r without a second division.
        const SLimb2 other_r = r + (m.B - m.A) - q * (m.D - m.C);
        if (other_r < 0 || other_r >= other_den)
            break;
        const SLimb2 next_c = m.A - q * m.C, next_d = m.B - q * m.D;
        if (next_c >= kBound || next_c <= -kBound || next_d >= kBound || next_d <= -kBound)
            break;
        const SLimb2 next_y = x - q * y;
        if (next_y + std::min(next_c, next_d) < floor)
            break;
        m.A = std::exchange(m.C, next_c);
        m.B = std::exchange(m.D, next_d);
        x = std::exchange(y, next_y);
    }
    return m;
}

// (u, v) := (A u + B v, C u + D v) for u and v of n limbs, in one pass. Each
// row has one entry of each sign and a non-negative result, so a row is one
// product added and one taken away, and the top carry and borrow cancel.
void apply_matrix(Nat &u, Nat &v, const Matrix &m) {
    struct Row {
        Limb plus, minus; // magnitudes of the entries
        bool u_plus;      // whether u's entry is the non-negative one
        Limb carry = 0, borrow = 0;
        Limb step(Limb ui, Limb vi) {
            const DLimb add = DLimb(u_plus ? ui : vi) * plus + carry;
            const DLimb sub = DLimb(u_plus ? vi : ui) * minus + borrow;
            const Limb lo_add = Limb(add), lo_sub = Limb(sub);
            carry = Limb(add >> kLimbBits);
            borrow = Limb(sub >> kLimbBits) + Limb(lo_add < lo_sub);
            return lo_add - lo_sub;
        }
    };
    auto row = [](SLimb2 X, SLimb2 Y) {
        const bool u_plus = X >= 0 && Y <= 0;
        return Row{Limb(u_plus ? X : Y), Limb(u_plus ? -Y : -X), u_plus};
    };
    Row first = row(m.A, m.B), second = row(m.C, m.D);
    for (size_t i = 0; i < u.size(); ++i) {
        const Limb ui = u[i], vi = v[i];
        u[i] = first.step(ui, vi);
        v[i] = second.step(ui, vi);
    }
    normalize(u);
    normalize(v);
}

void mul_pair(Nat &x, Nat &y, Limb a, Limb b, Limb c, Limb d) {
    const size_t n = std::max(x.size(), y.size());
    x.resize(n + 1, 0);
    y.resize(n + 1, 0);
    Limb carry_a = 0, carry_b = 0, carry_c = 0, carry_d = 0;
    for (size_t i = 0; i <= n; ++i) {
        const Limb s = x[i], t = y[i];
        const DLimb ta = DLimb(s) * a + carry_a, tc = DLimb(s) * c + carry_c;
        const DLimb tb = DLimb(t) * b + Limb(ta) + carry_b;
        const DLimb td = DLimb(t) * d + Limb(tc) + carry_d;
        x[i] = Limb(tb);
        y[i] = Limb(td);
        carry_a = Limb(ta >> kLimbBits);
        carry_c = Limb(tc >> kLimbBits);
        carry_b = Limb(tb >> kLimbBits);
        carry_d = Limb(td >> kLimbBits);
    }
    normalize(x);
    normalize(y);
}

namespace {

// The steps as a list of matrices whose product P is the whole sequence,
// (a, b) = P (g, 0), so that the textbook cofactors are det P (P11, -P01).
// P's second column is multiplied out from the right, where the factors are
// smallest: one pass over two numbers for a Lehmer matrix, balanced products
// for the half-gcd's.
class ProductSink final : public StepSink {
  public:
    explicit ProductSink(const Tuning &t) : t_(t) {}
    void quotient(const Nat &q) override { pieces_.emplace_back(q); }
    void lehmer(const Matrix &l) override { pieces_.emplace_back(l); }
    void steps(const HalfGcdMatrix &m) override { pieces_.emplace_back(m); }
    // (P01, P11), and whether det P is -1.
    std::pair<Nat, Nat> second_column(bool &odd) const {
        Nat p0, p1{1};
        odd = false;
        auto mag = [](SLimb2 k) { return Limb(k < 0 ? -k : k); };
        for (auto it = pieces_.rbegin(); it != pieces_.rend(); ++it) {
            if (const Matrix *l = std::get_if<Matrix>(&*it)) { // L^-1 = [[|D|, |B|], [|C|, |A|]]
                mul_pair(p0, p1, mag(l->D), mag(l->B), mag(l->C), mag(l->A));
                odd = odd != (l->A * l->D - l->B * l->C < 0);
            } else if (const Nat *q = std::get_if<Nat>(&*it)) { // [[q, 1], [1, 0]]
                if (q->size() == 1)
                    mul_pair(p0, p1, (*q)[0], 1, 1, 0);
                else
                    p1 = std::exchange(p0, add(mul(*q, p0, t_), p1));
                odd = !odd;
            } else {
                const auto &m = std::get<HalfGcdMatrix>(*it);
                const auto &[r0, r1] = m.m;
                Nat next0 = add(mul(r0[0], p0, t_), mul(r0[1], p1, t_));
                p1 = add(mul(r1[0], p0, t_), mul(r1[1], p1, t_));
                p0 = std::move(next0);
                odd = odd != m.odd;
            }
        }
        return {std::move(p0), std::move(p1)};
    }

  private:
    std::vector<std::variant<Matrix, Nat, HalfGcdMatrix>> pieces_;
    const Tuning &t_;
};

// The Euclid sequence from u >= v down to v = 0, leaving the gcd in u, its
// steps handed to the sink if there is one. From Tuning::hgcd limbs the
// half-gcd halves the numbers at a time; when it finds nothing to do, the
// next quotient is large and one division takes it.
void euclid(Nat &u, Nat &v, StepSink *sink, const Tuning &t) {
    while (!v.empty()) {
        cancel_point();
        const bool large = v.size() >= t.hgcd;
        if (large && hgcd(u, v, t, sink))
            continue;
        const Matrix m = large ? Matrix{} : lehmer_matrix(u, v);
        if (m.B == 0) {
            Nat q, r;
            divrem(u, v, sink ? &q : nullptr, &r, t);
            u = std::exchange(v, std::move(r));
            if (sink)
                sink->quotient(q);
        } else {
            apply_matrix(u, v, m);
            if (sink)
                sink->lehmer(m);
        }
    }
}

} // namespace

Nat gcd(View a, View b, const Tuning &t) {
    Nat u(trimmed(a).begin(), trimmed(a).end()), v(trimmed(b).begin(), trimmed(b).end());
    if (compare(u, v) < 0)
        std::swap(u, v);
    euclid(u, v, nullptr, t);
    return u;
}

Bezout gcdext(View a, View b, const Tuning &t) {
    Nat u(trimmed(a).begin(), trimmed(a).end()), v(trimmed(b).begin(), trimmed(b).end());
    const bool swapped = compare(u, v) < 0; // the first step's quotient is 0
    if (swapped)
        std::swap(u, v);
    ProductSink sink(t);
    euclid(u, v, &sink, t);
    bool odd = false;
    auto [p01, p11] = sink.second_column(odd);
    if (swapped) { // P = [[0, 1], [1, 0]] P'
        std::swap(p01, p11);
        odd = !odd;
    }
    const bool x_negative = odd && !p11.empty(), y_negative = !odd && !p01.empty();
    return {std::move(u), {std::move(p11), x_negative}, {std::move(p01), y_negative}};
}

} // namespace karvo::kernel
