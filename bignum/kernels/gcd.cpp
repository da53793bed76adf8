// Greatest common divisor by Lehmer's algorithm (Knuth, TAOCP 4.5.2, L): the
// quotients of many Euclid steps are found from the leading 126 bits alone
// and applied to the full numbers at once as a 2x2 matrix of single-limb
// cofactors; a full division step is taken when the leading bits decide
// nothing or the lengths differ.
#include <algorithm>
#include <bit>
#include <utility>

#include "kernels/arith.h"
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

// X x + Y y for signed coefficients x, y and single-limb cofactors X, Y. In
// the Euclid sequence the two terms have the same sign, so their magnitudes
// add up in one pass; other signs take the general path.
Cofactor combine_signed(const Cofactor &x, SLimb2 X, const Cofactor &y, SLimb2 Y) {
    const Limb p = Limb(X < 0 ? -X : X), q = Limb(Y < 0 ? -Y : Y);
    const bool x_term_negative = x.negative != (X < 0), y_term_negative = y.negative != (Y < 0);
    const bool x_zero = x.mag.empty() || p == 0, y_zero = y.mag.empty() || q == 0;
    if (x_zero || y_zero || x_term_negative == y_term_negative) {
        const size_t n = std::max(x.mag.size(), y.mag.size());
        Nat r(n + 1, 0);
        Limb carry = 0, carry2 = 0;
        for (size_t i = 0; i < n; ++i) {
            const DLimb t = DLimb(i < x.mag.size() ? x.mag[i] : 0) * p + carry;
            const DLimb u = DLimb(i < y.mag.size() ? y.mag[i] : 0) * q + Limb(t) + carry2;
            r[i] = Limb(u);
            carry = Limb(t >> kLimbBits);
            carry2 = Limb(u >> kLimbBits);
        }
        r[n] = carry + carry2;
        normalize(r);
        const bool negative = !r.empty() && (x_zero ? y_term_negative : x_term_negative);
        return {std::move(r), negative};
    }
    auto term = [](const Cofactor &c, Limb k, bool negative) {
        Nat t(c.mag.size() + 1, 0);
        t[c.mag.size()] = mul_1(t.data(), c.mag.data(), c.mag.size(), k);
        normalize(t);
        return Cofactor{std::move(t), negative};
    };
    const Cofactor s = term(x, p, x_term_negative), t = term(y, q, y_term_negative);
    const bool s_larger = compare(s.mag, t.mag) >= 0;
    Nat d = s_larger ? sub(s.mag, t.mag) : sub(t.mag, s.mag);
    const bool negative = !d.empty() && (s_larger ? s.negative : t.negative);
    return {std::move(d), negative};
}

// (x0, x1) := (A x0 + B x1, C x0 + D x1) for the cofactors. In the Euclid
// sequence both terms of a row have the same sign, so magnitudes add and both
// rows go in one pass; otherwise each row takes the general path.
void apply_matrix_to_cofactors(Cofactor &x0, Cofactor &x1, const Matrix &m) {
    auto same_signs = [&](SLimb2 X, SLimb2 Y) {
        const bool zero0 = x0.mag.empty() || X == 0, zero1 = x1.mag.empty() || Y == 0;
        return zero0 || zero1 || (x0.negative != (X < 0)) == (x1.negative != (Y < 0));
    };
    if (!same_signs(m.A, m.B) || !same_signs(m.C, m.D)) {
        Cofactor n0 = combine_signed(x0, m.A, x1, m.B);
        x1 = combine_signed(x0, m.C, x1, m.D);
        x0 = std::move(n0);
        return;
    }
    // The sign of a row: that of whichever term is not zero.
    auto sign = [&](SLimb2 X, SLimb2 Y) {
        if (!x0.mag.empty() && X != 0)
            return x0.negative != (X < 0);
        return !x1.mag.empty() && Y != 0 && x1.negative != (Y < 0);
    };
    const bool negative0 = sign(m.A, m.B), negative1 = sign(m.C, m.D);
    auto mag = [](SLimb2 k) { return Limb(k < 0 ? -k : k); };
    mul_pair(x0.mag, x1.mag, mag(m.A), mag(m.B), mag(m.C), mag(m.D));
    x0.negative = negative0 && !x0.mag.empty();
    x1.negative = negative1 && !x1.mag.empty();
}

// p x - q y, negated when negate.
Cofactor sub_products(const Nat &p, const Cofactor &x, const Nat &q, const Cofactor &y, bool negate,
                      const Tuning &t) {
    const Nat s = mul(p, x.mag, t), r = mul(q, y.mag, t);
    const bool s_negative = x.negative != negate, r_negative = y.negative == negate;
    if (s_negative == r_negative) {
        Nat sum = add(s, r);
        const bool negative = s_negative && !sum.empty();
        return {std::move(sum), negative};
    }
    const bool s_larger = compare(s, r) >= 0;
    Nat d = s_larger ? sub(s, r) : sub(r, s);
    const bool negative = !d.empty() && (s_larger ? s_negative : r_negative);
    return {std::move(d), negative};
}

// (x0, x1) := M^-1 (x0, x1) = det M [[m11, -m01], [-m10, m00]] (x0, x1).
void apply_half_gcd(Cofactor &x0, Cofactor &x1, const HalfGcdMatrix &h, const Tuning &t) {
    const auto &[r0, r1] = h.m;
    Cofactor next0 = sub_products(r1[1], x0, r0[1], x1, h.odd, t);
    x1 = sub_products(r0[0], x1, r1[0], x0, h.odd, t);
    x0 = std::move(next0);
}

// Steps taken on u and v, carried to their cofactors.
class CofactorSink final : public StepSink {
  public:
    CofactorSink(Cofactor &x0, Cofactor &x1, const Tuning &t) : x0_(x0), x1_(x1), t_(t) {}
    void quotient(const Nat &q) override { // x0 - q x1
        Cofactor next = combine_signed(x0_, 1, {mul(q, x1_.mag, t_), x1_.negative}, -1);
        x0_ = std::exchange(x1_, std::move(next));
    }
    void lehmer(const Matrix &l) override { apply_matrix_to_cofactors(x0_, x1_, l); }
    void steps(const HalfGcdMatrix &m) override { apply_half_gcd(x0_, x1_, m, t_); }
    size_t cofactor_size() const { return std::max(x0_.mag.size(), x1_.mag.size()); }

  private:
    Cofactor &x0_, &x1_;
    const Tuning &t_;
};

// The Euclid sequence from u >= v down to v = 0, leaving the gcd in u. With
// a sink, it carries the cofactors of a alongside: u = a x0, v = a x1 (mod b).
// From Tuning::hgcd limbs the half-gcd halves the numbers at a time; when it
// finds nothing to do, the next quotient is large and one division takes it.
void euclid(Nat &u, Nat &v, CofactorSink *sink, const Tuning &t) {
    while (!v.empty()) {
        const bool large = v.size() >= t.hgcd;
        if (large && sink && sink->cofactor_size() >= u.size()) {
            // Cofactors longer than the matrix: one product of the steps
            // costs less than applying them one piece at a time.
            MatrixSink steps(t);
            if (hgcd(u, v, t, &steps)) {
                sink->steps(steps.m);
                continue;
            }
        } else if (large && hgcd(u, v, t, sink)) {
            continue;
        }
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

// The cofactor of b comes at the end from y = (g - a x) / b.
Bezout gcdext(View a, View b, const Tuning &t) {
    const Nat a_nat(trimmed(a).begin(), trimmed(a).end()),
        b_nat(trimmed(b).begin(), trimmed(b).end());
    Nat u = a_nat, v = b_nat;
    Cofactor x0{{1}, false}, x1{{}, false};
    if (compare(u, v) < 0) { // the first step's quotient is 0
        std::swap(u, v);
        std::swap(x0, x1);
    }
    CofactorSink sink(x0, x1, t);
    euclid(u, v, &sink, t);
    Bezout result{std::move(u), std::move(x0), {}};
    if (!b_nat.empty()) {
        // b y = g - a x
        const Nat ax = mul(a_nat, result.x.mag, t);
        Cofactor rhs = combine_signed({result.g, false}, 1, {ax, result.x.negative}, -1);
        Nat y;
        divrem(rhs.mag, b_nat, &y, nullptr, t);
        result.y = {std::move(y), rhs.negative && !rhs.mag.empty()};
    }
    return result;
}

} // namespace karvo::kernel
