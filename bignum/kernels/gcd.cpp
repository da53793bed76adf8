// Greatest common divisor along Euclid's sequence. Below Tuning::hgcd limbs,
// Lehmer's algorithm (Knuth, TAOCP 4.5.2, L): the quotients of many steps are
// found from the leading 128 bits alone and applied to the full numbers at
// once as a 2x2 matrix of single-limb cofactors; a full division step is
// taken when the leading bits decide nothing. Above it, the half-gcd
// (hgcd.cpp) halves the numbers at a time. The extended gcd records the steps
// and reads both cofactors off their product.
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

// Euclid on (x, y), x >= y, each approximating a number to be reduced with an
// error of (-e w, (1 + e) w) (w a power of two): a step is taken while the
// numbers after it provably stay in order and positive, the second above
// f w. The matrix's entries at the end are below 2^32 when e is 0.
//
// After steps with matrix N the numbers are w (x', y') + N^-1 (errors), and
// for errors in (-e w, (1 + e) w) the second entry of N^-1 (errors) is below
// (1 + 2e) n00 w in size, the difference of the two entries below
// (1 + 2e) (n00 + n01) w (the entries of N fall along its rows and columns).
// So y' >= (1 + 2e) n00 + f and x' - y' >= (1 + 2e) (n00 + n01) keep them in
// order (Jebelean's condition); then they are true Euclid steps.
template <unsigned E> Matrix euclid_steps(Limb x, Limb y, Limb f) {
    constexpr Limb c = 1 + 2 * E;
    Limb n00 = 1, n01 = 0, n10 = 0, n11 = 1;
    bool odd = false;
    while (y != 0) {
        // A division every step: the quotients vary too much for branches on
        // their size to be predicted, and a misprediction costs more.
        const Limb q = x / y, r = x - q * y;
        const DLimb next00 = DLimb(q) * n00 + n01;
        if (r < f || DLimb(r - f) < c * next00 || DLimb(y - r) < c * (next00 + n00))
            break;
        const Limb next10 = q * n10 + n11;
        n01 = std::exchange(n00, Limb(next00));
        n11 = std::exchange(n10, next10);
        x = std::exchange(y, r);
        odd = !odd;
    }
    return {{{n00, n01}, {n10, n11}}, odd};
}

// 2^p as the unit f of euclid_steps, or 0 when it does not fit.
Limb unit(uint64_t p) { return p < kLimbBits ? Limb(1) << p : 0; }

} // namespace

// In two rounds of single-limb Euclid, GMP's hgcd2 in spirit. The leading
// 128 bits (x, y) of u and v, x with its top bit set, stand for u = 2^k x + u0
// and v = 2^k y + v0, u0, v0 < 2^k. The first round works on their top limbs,
// whose errors are below w = 2^(k+64), and yields M1 with entries below 2^32.
// Then (x1, y1) = M1^-1 (x, y) exactly, and M1^-1 (u, v) = 2^k (x1, y1) +
// M1^-1 (u0, v0), the last entry below 2^k m00 in size: with x1's top limb
// taken from bit j on, the errors lie in (-w, 2w) for w = 2^(k+j) while
// m00 <= 2^j. The second round works on those top limbs; keeping its second
// number above 2^(64-j) keeps v' above 2^(k+64), so that u >= m00 u' > m00 v'
// bounds the product's entries by 2^64. Both rounds keep v' above 2^floor.
Matrix lehmer_matrix(const Nat &u, const Nat &v, uint64_t floor) {
    Matrix none;
    const size_t n = u.size();
    if (n < 3 || v.size() + 1 < n)
        return none;
    const unsigned z = unsigned(std::countl_zero(u[n - 1]));
    const uint64_t k = uint64_t(n) * kLimbBits - z - 128;
    auto top = [&](const Nat &w) {
        auto at = [&](size_t i) { return i < w.size() ? w[i] : Limb(0); };
        DLimb t = (DLimb(at(n - 1)) << kLimbBits) | at(n - 2);
        return z == 0 ? t : (t << z) | (at(n - 3) >> (kLimbBits - z));
    };
    const DLimb x = top(u), y = top(v);
    // The unit f for steps at w = 2^(k+shift): none below the floor.
    auto floor_unit = [&](uint64_t shift, Limb least) -> std::pair<Limb, bool> {
        if (floor <= k + shift)
            return {floor == 0 ? least : std::max<Limb>(least, 1), true};
        const Limb f = unit(floor - k - shift);
        return {std::max(f, least), f != 0};
    };
    const auto [f1, fits1] = floor_unit(kLimbBits, 0);
    if (!fits1)
        return none;
    const Matrix m1 = euclid_steps<0>(Limb(x >> kLimbBits), Limb(y >> kLimbBits), f1);
    if (m1.identity())
        return m1;
    const auto &[a0, a1] = m1.m;
    DLimb x1 = DLimb(a1[1]) * x - DLimb(a0[1]) * y, y1 = DLimb(a0[0]) * y - DLimb(a1[0]) * x;
    if (m1.odd) {
        x1 = -x1;
        y1 = -y1;
    }
    const unsigned length = 2 * kLimbBits - unsigned(std::countl_zero(Limb(x1 >> kLimbBits)));
    if (x1 >> kLimbBits == 0 || length - kLimbBits < std::bit_width(a0[0]))
        return m1;
    const unsigned j = length - kLimbBits;
    const auto [f2, fits2] = floor_unit(j, unit(kLimbBits - j));
    if (!fits2)
        return m1;
    const Matrix m2 = euclid_steps<1>(Limb(x1 >> j), Limb(y1 >> j), f2);
    if (m2.identity())
        return m1;
    const auto &[b0, b1] = m2.m;
    return {{{a0[0] * b0[0] + a0[1] * b1[0], a0[0] * b0[1] + a0[1] * b1[1]},
             {a1[0] * b0[0] + a1[1] * b1[0], a1[0] * b0[1] + a1[1] * b1[1]}},
            m1.odd != m2.odd};
}

// M^-1 = +-[[m11, -m01], [-m10, m00]], the sign that of det M: each row has
// one entry of each sign and a non-negative result, so a row is one product
// added and one taken away, and the top carry and borrow cancel. Both rows in
// one pass, the signs fixed at compile time.
template <bool Odd> void apply_rows(Limb *u, Limb *v, size_t n, const Matrix &m) {
    // Row i: plus[i] times one number less minus[i] times the other.
    const Limb plus0 = Odd ? m.m[0][1] : m.m[1][1], minus0 = Odd ? m.m[1][1] : m.m[0][1];
    const Limb plus1 = Odd ? m.m[1][0] : m.m[0][0], minus1 = Odd ? m.m[0][0] : m.m[1][0];
    Limb carry0 = 0, borrow0 = 0, carry1 = 0, borrow1 = 0;
    for (size_t i = 0; i < n; ++i) {
        const Limb ui = u[i], vi = v[i];
        const DLimb add0 = DLimb(Odd ? vi : ui) * plus0 + carry0;
        const DLimb sub0 = DLimb(Odd ? ui : vi) * minus0 + borrow0;
        const DLimb add1 = DLimb(Odd ? ui : vi) * plus1 + carry1;
        const DLimb sub1 = DLimb(Odd ? vi : ui) * minus1 + borrow1;
        u[i] = Limb(add0) - Limb(sub0);
        v[i] = Limb(add1) - Limb(sub1);
        carry0 = Limb(add0 >> kLimbBits);
        borrow0 = Limb(sub0 >> kLimbBits) + Limb(Limb(add0) < Limb(sub0));
        carry1 = Limb(add1 >> kLimbBits);
        borrow1 = Limb(sub1 >> kLimbBits) + Limb(Limb(add1) < Limb(sub1));
    }
}

void apply_matrix(Nat &u, Nat &v, const Matrix &m) {
    v.resize(u.size(), 0);
    (m.odd ? apply_rows<true> : apply_rows<false>)(u.data(), v.data(), u.size(), m);
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
        for (auto it = pieces_.rbegin(); it != pieces_.rend(); ++it) {
            if (const Matrix *l = std::get_if<Matrix>(&*it)) {
                mul_pair(p0, p1, l->m[0][0], l->m[0][1], l->m[1][0], l->m[1][1]);
                odd = odd != l->odd;
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
        if (m.identity()) {
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
