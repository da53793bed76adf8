// Greatest common divisor by Lehmer's algorithm (Knuth, TAOCP 4.5.2, L): the
// quotients of many Euclid steps are found from the leading 126 bits alone
// and applied to the full numbers at once as a 2x2 matrix of single-limb
// cofactors; a full division step is taken when the leading bits decide
// nothing or the lengths differ.
#include <algorithm>
#include <bit>
#include <utility>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

using SLimb2 = __int128;

// (X x + Y y) for cofactors of opposite signs whose result is non-negative,
// x and y of n limbs (y padded with zeros): one pass, two products a limb.
Nat combine(const Nat &x, SLimb2 X, const Nat &y, SLimb2 Y, size_t n) {
    const bool x_positive = X >= 0 && Y <= 0;
    const Nat &plus = x_positive ? x : y, &minus = x_positive ? y : x;
    const Limb p = Limb(x_positive ? X : Y), m = Limb(x_positive ? -Y : -X);
    Nat r(n);
    Limb carry = 0, borrow = 0; // carry of p plus, borrow of m minus
    for (size_t i = 0; i < n; ++i) {
        const DLimb add_term = DLimb(i < plus.size() ? plus[i] : 0) * p + carry;
        const DLimb sub_term = DLimb(i < minus.size() ? minus[i] : 0) * m + borrow;
        const Limb lo_add = Limb(add_term), lo_sub = Limb(sub_term);
        r[i] = lo_add - lo_sub;
        carry = Limb(add_term >> kLimbBits);
        borrow = Limb(sub_term >> kLimbBits) + Limb(lo_add < lo_sub);
    }
    // The result fits n limbs: the top carry and borrow cancel.
    normalize(r);
    return r;
}

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

// Knuth's step L2-L3: the cofactors of the Euclid steps that the leading bits
// of u >= v determine, kept below 2^63 so that they fit a limb. B == 0 means
// none: a full division step is needed.
struct Matrix {
    SLimb2 A = 1, B = 0, C = 0, D = 1;
};

Matrix lehmer_matrix(const Nat &u, const Nat &v) {
    constexpr SLimb2 kBound = SLimb2(1) << 63;
    Matrix m;
    if (u.size() <= 2 || u.size() != v.size())
        return m;
    auto [x, y] = leading_bits(u, v);
    while (y + m.C != 0 && y + m.D != 0) {
        const SLimb2 q = (x + m.A) / (y + m.C);
        if (q != (x + m.B) / (y + m.D))
            break;
        const SLimb2 next_c = m.A - q * m.C, next_d = m.B - q * m.D;
        if (next_c >= kBound || next_c <= -kBound || next_d >= kBound || next_d <= -kBound)
            break;
        m.A = std::exchange(m.C, next_c);
        m.B = std::exchange(m.D, next_d);
        x = std::exchange(y, x - q * y);
    }
    return m;
}

// X x + Y y for signed coefficients x, y and single-limb cofactors X, Y.
Cofactor combine_signed(const Cofactor &x, SLimb2 X, const Cofactor &y, SLimb2 Y) {
    auto term = [](const Cofactor &c, SLimb2 k) {
        const Limb mag = Limb(k < 0 ? -k : k);
        Nat p(c.mag.size() + 1, 0);
        if (!c.mag.empty())
            p[c.mag.size()] = mul_1(p.data(), c.mag.data(), c.mag.size(), mag);
        normalize(p);
        return Cofactor{std::move(p), !c.mag.empty() && mag != 0 && (c.negative != (k < 0))};
    };
    const Cofactor s = term(x, X), t = term(y, Y);
    if (s.negative == t.negative)
        return {add(s.mag, t.mag), s.negative && !(s.mag.empty() && t.mag.empty())};
    const bool s_larger = compare(s.mag, t.mag) >= 0;
    Nat d = s_larger ? sub(s.mag, t.mag) : sub(t.mag, s.mag);
    const bool negative = !d.empty() && (s_larger ? s.negative : t.negative);
    return {std::move(d), negative};
}

// The Euclid sequence from u >= v down to v = 0, leaving the gcd in u. With
// cofactors, it carries those of a alongside: u = a x0, v = a x1 (mod b).
void euclid(Nat &u, Nat &v, Cofactor *x0, Cofactor *x1, const Tuning &t) {
    while (!v.empty()) {
        const Matrix m = lehmer_matrix(u, v);
        if (m.B == 0) {
            Nat q, r;
            divrem(u, v, x0 ? &q : nullptr, &r, t);
            u = std::exchange(v, std::move(r));
            if (x0) { // x0 - q x1
                Cofactor next = combine_signed(*x0, 1, {mul(q, x1->mag, t), x1->negative}, -1);
                *x0 = std::exchange(*x1, std::move(next));
            }
        } else {
            const size_t n = u.size();
            Nat nu = combine(u, m.A, v, m.B, n), nv = combine(u, m.C, v, m.D, n);
            u = std::move(nu);
            v = std::move(nv);
            if (x0) {
                Cofactor n0 = combine_signed(*x0, m.A, *x1, m.B);
                *x1 = combine_signed(*x0, m.C, *x1, m.D);
                *x0 = std::move(n0);
            }
        }
    }
}

} // namespace

Nat gcd(View a, View b, const Tuning &t) {
    Nat u(trimmed(a).begin(), trimmed(a).end()), v(trimmed(b).begin(), trimmed(b).end());
    if (compare(u, v) < 0)
        std::swap(u, v);
    euclid(u, v, nullptr, nullptr, t);
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
    euclid(u, v, &x0, &x1, t);
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
