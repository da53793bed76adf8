// Cube roots by Zimmermann's Karatsuba square root carried over to cubes. With
// b = 2^k and a = a' b^3 + a2 b^2 + a1 b + a0 (a2, a1, a0 below b), the root s'
// of a' with remainder r' = a' - s'^3 gives the high bits of the root, and one
// division (r' b + a2) / 3 s'^2 the low ones, q:
//   a - (s' b + q)^3 = (u b + a1) b + a0 - 3 s' q^2 b - q^3,
// u being that division's remainder. When s' >= 2b, q is the root's low part or
// one above it, so at most one correction follows. Only a' recurses, and the
// square of the root is kept along for the next division, so a cube root costs
// about one division of two thirds of its size and a few products of half.
//
// At the top the remainder is not needed: the root of a B^3 is taken, whose
// low limb is dropped, and q alone, by a division that may leave it some
// dozens of units too large but never too small. Unless that limb lies that
// close above a multiple of B, the error cannot reach the limbs kept;
// otherwise (exact cubes among them) one cube decides.
#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "kernels/arith.h"
#include "kernels/div.h"
#include "kernels/mul.h"
#include "kernels/nat.h"
#include "kernels/root.h"

namespace karvo::kernel {

namespace {

constexpr Limb kSlack = kApproxQuotientError + 2;

Nat times(View a, uint64_t m) { return mul(a, from_u64(m)); }

// The split for a root of `root_bits` bits: s' keeps at least k + 2 bits, so
// that s' >= 2b. With t the root's low part, 3 s'^2 (q - t - 1) b^2 is below
// 3 s' (t + 1)^2 b + (t + 1)^3, so q - t - 1 < b / s' + b / 3s'^2 < 1.
uint64_t split_bits(uint64_t root_bits) { return (root_bits - 2) / 2; }

struct RootRem {
    Nat s, r, s2; // the root, a - s^3 and s^2
};

using U128 = unsigned __int128;

// s^3 as three limbs, for s < 2^64.
void cube_1(Limb s, Limb *c) {
    const U128 square = U128(s) * s;
    const U128 low = U128(Limb(square)) * s;
    const U128 high = U128(Limb(square >> kLimbBits)) * s + (low >> kLimbBits);
    c[0] = Limb(low);
    c[1] = Limb(high);
    c[2] = Limb(high >> kLimbBits);
}

// floor(x^(1/3)) for x of three limbs. The x87 extended double keeps 64 bits,
// so its cube root is within a few units; exact cubes settle it.
Limb cbrt_3_limbs(const Limb *x) {
    auto above = [&](Limb s) { // s^3 > x
        Limb c[3];
        cube_1(s, c);
        return cmp_n(c, x, 3) > 0;
    };
    const long double value =
        (static_cast<long double>(x[2]) * 0x1p64L + static_cast<long double>(x[1])) * 0x1p64L +
        static_cast<long double>(x[0]);
    const long double estimate = std::cbrt(value);
    Limb s = estimate >= 0x1p64L ? ~Limb(0) : Limb(estimate);
    while (s > 0 && above(s))
        --s;
    while (s != ~Limb(0) && !above(s + 1))
        ++s;
    return s;
}

// The root, remainder and square from limbs, each trimmed.
RootRem root_rem(const Limb *s, size_t sn, const Limb *r, size_t rn, const Limb *s2, size_t s2n) {
    RootRem x{Nat(s, s + sn), Nat(r, r + rn), Nat(s2, s2 + s2n)};
    normalize(x.s);
    normalize(x.r);
    normalize(x.s2);
    return x;
}

// A root of at most 64 bits (a below 2^192).
RootRem cbrt_rem_small(View a) {
    Limb x[3] = {0, 0, 0};
    std::copy(a.begin(), a.end(), x);
    const Limb s = cbrt_3_limbs(x);
    Limb c[3], r[3];
    cube_1(s, c);
    sub_n(r, x, c, 3);
    const U128 square = U128(s) * s;
    const Limb s2[2] = {Limb(square), Limb(square >> kLimbBits)};
    return root_rem(&s, 1, r, 3, s2, 2);
}

// r[0, rn) = x[0, xn) >> bits, with zeros above x.
void shift_down(Limb *r, size_t rn, const Limb *x, size_t xn, uint64_t bits) {
    const size_t whole = size_t(bits / kLimbBits);
    const unsigned part = unsigned(bits % kLimbBits);
    auto at = [&](size_t i) { return i < xn ? x[i] : Limb(0); };
    for (size_t i = 0; i < rn; ++i) {
        const Limb low = at(i + whole), high = at(i + whole + 1);
        r[i] = part == 0 ? low : (low >> part) | (high << (kLimbBits - part));
    }
}

// r[0, rn) = x[0, xn) << bits, cut to rn limbs.
void shift_up(Limb *r, size_t rn, const Limb *x, size_t xn, uint64_t bits) {
    const size_t whole = size_t(bits / kLimbBits);
    const unsigned part = unsigned(bits % kLimbBits);
    auto at = [&](size_t i) { return i >= whole && i - whole < xn ? x[i - whole] : Limb(0); };
    for (size_t i = 0; i < rn; ++i)
        r[i] = part == 0 ? at(i) : (at(i) << part) | (i == 0 ? 0 : at(i - 1) >> (kLimbBits - part));
}

// Roots of 65 to kShortRootBits bits: a has at most seven limbs.
constexpr uint64_t kShortRootBits = 129;

// With e = root_bits - 64, the root t of a >> 3e is at least 2^63, and
// s0 = (t + 1) 2^e lies at most 2^e above the root. One Newton step from above,
// floor((2 s0 + floor(a / s0^2)) / 3), never falls below the root (the mean of
// s0, s0 and a / s0^2 is at least their geometric mean) and overshoots by about
// 2^(2e) / s0 <= 4; cubes settle it. s0^2 = (t + 1)^2 2^(2e), so the division
// is of a >> 2e by two limbs.
RootRem cbrt_rem_short(View a, uint64_t root_bits) {
    Limb x[7] = {};
    std::copy(a.begin(), a.end(), x);
    const uint64_t e = root_bits - 64;
    Limb top[3];
    shift_down(top, 3, x, 7, 3 * e);
    const U128 c = U128(cbrt_3_limbs(top)) + 1;
    // q = floor(a / s0^2), below 2^130.
    Limb q[5] = {};
    Limb y[6] = {};
    shift_down(y, 5, x, 7, 2 * e);
    if (c >> kLimbBits != 0) { // c = 2^64: a division by 2^128
        std::copy(y + 2, y + 5, q);
    } else {
        const U128 c2 = c * c; // at least 2^126
        Limb d[2] = {Limb(c2), Limb(c2 >> kLimbBits)};
        const unsigned shift = unsigned(std::countl_zero(d[1]));
        if (shift != 0) {
            lshift(d, d, 2, shift);
            y[5] = lshift(y, y, 5, shift);
        }
        q[4] = div_basecase(q, y, 6, d, 2);
    }
    // s1 = (2 s0 + q) / 3, s0 = c 2^e below 2^130.
    Limb s[5] = {};
    const Limb c_limbs[2] = {Limb(c), Limb(c >> kLimbBits)};
    shift_up(s, 5, c_limbs, 2, e + 1);
    add_n(s, s, q, 5);
    divrem_1(s, s, 5, 3);
    Limb s2[6], cube[9];
    for (;;) {
        sqr_basecase(s2, s, 3);
        mul_basecase(cube, s2, 6, s, 3);
        if (cube[7] == 0 && cube[8] == 0 && cmp_n(cube, x, 7) <= 0)
            break;
        sub_1(s, s, 3, 1);
    }
    Limb r[7];
    sub_n(r, x, cube, 7);
    return root_rem(s, 3, r, 7, s2, 6);
}

// x + y B^j into r, which is zero and long enough; returns the length of the sum.
size_t place(Limb *r, size_t rn, View x, View y, size_t j) {
    std::copy(x.begin(), x.end(), r);
    if (!y.empty())
        add(r + j, r + j, rn - j, y.data(), y.size());
    return normalized_size(r, rn);
}

// The same into a fresh number of `size` limbs.
Nat placed(View x, View y, size_t j, size_t size) {
    Nat r(size, 0);
    r.resize(place(r.data(), size, x, y, j));
    return r;
}

// x holds s = s' b + q one too large, whose remainder falls `deficit` short of
// zero: s^3 - (s - 1)^3 = 3 s^2 - 3 s + 1, and (s - 1)^2 = s^2 - 2 s + 1.
RootRem one_below(RootRem x, const Nat &deficit) {
    x.r = sub(add(sub(times(x.s2, 3), times(x.s, 3)), Nat{1}), deficit);
    x.s2 = add(sub(x.s2, times(x.s, 2)), Nat{1});
    x.s = sub(x.s, Nat{1});
    return x;
}

// floor(num / den) or up to kApproxQuotientError above it, from a division
// that skips the products which would correct it.
Nat quotient_or_above(View num, View den, const Tuning &t) {
    num = trimmed(num);
    den = trimmed(den);
    Nat q;
    if (compare(num, den) < 0)
        return q;
    const unsigned shift = unsigned(std::countl_zero(den.back()));
    Nat u = shift_left(num, shift), d = shift_left(den, shift);
    if (d.size() < 2 || u.size() - d.size() > d.size()) {
        divrem(u, d, &q, nullptr, t);
        return q;
    }
    q.resize(u.size() - d.size() + 1);
    div_appr(q.data(), u.data(), u.size(), d.data(), d.size(), t);
    normalize(q);
    return q;
}

RootRem cbrt_rem(View a, const Tuning &t);

// r = a b, either longer, either empty; returns the product's length without
// top zero limbs. r has an + bn limbs.
size_t product(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t) {
    if (an == 0 || bn == 0)
        return 0;
    if (an < bn) {
        std::swap(a, b);
        std::swap(an, bn);
    }
    if (a == b && an == bn)
        sqr(r, a, an, t);
    else
        mul(r, a, an, b, bn, t);
    return normalized_size(r, an + bn);
}

// One step at a split of k whole limbs: every piece of a is a span of it, and
// the step's numbers share one block, each written once at its final size.
RootRem cbrt_rem_limbs(View a, size_t k, const Tuning &t) {
    const RootRem high = cbrt_rem(a.subspan(3 * k), t);
    const View s1 = high.s, s2 = high.s2;
    // Bounds: q is at most b = B^k, so it has at most k + 1 limbs, though the
    // division writes as many as the lengths allow.
    const size_t num_max = k + high.r.size() + 1, den_max = s2.size() + 1, q_max = k + 1;
    const size_t m_max = k + s1.size() + 1;
    Nat block(2 * num_max + 2 * den_max + 2 * q_max + s1.size() + q_max + m_max + 2 * q_max +
              m_max);
    Limb *num = block.data(), *den = num + num_max, *q = den + den_max, *u = q + num_max,
         *q2 = u + den_max, *s_q = q2 + 2 * q_max, *m = s_q + s1.size() + q_max, *minus = m + m_max;
    // (r' b + a2) / 3 s'^2.
    const size_t num_n = place(num, num_max, trimmed(a.subspan(2 * k, k)), high.r, k);
    den[den_max - 1] = mul_1(den, s2.data(), s2.size(), 3);
    const size_t den_n = normalized_size(den, den_max);
    size_t q_n = 0, u_n = num_n;
    if (cmp(num, num_n, den, den_n) < 0) {
        std::copy(num, num + num_n, u);
    } else {
        divrem(q, u, num, num_n, den, den_n, t);
        q_n = normalized_size(q, num_n - den_n + 1);
        u_n = normalized_size(u, den_n);
    }
    const size_t q2_n = product(q2, q, q_n, q, q_n, t);
    const size_t s_q_n = product(s_q, s1.data(), s1.size(), q, q_n, t);
    const View qv(q, q_n), q2v(q2, q2_n);
    RootRem x;
    x.s.resize(k + s1.size() + 2);
    x.s.resize(place(x.s.data(), x.s.size(), qv, s1, k));
    x.s2.resize(2 * k + s2.size() + 2);
    place(x.s2.data(), x.s2.size(), q2v, s2, 2 * k);
    add(x.s2.data() + k, x.s2.data() + k, x.s2.size() - k, s_q, s_q_n);
    add(x.s2.data() + k, x.s2.data() + k, x.s2.size() - k, s_q, s_q_n);
    normalize(x.s2);
    // The remainder: u b^2 + (a mod b^2) - q^2 (3 s' b + q).
    m[m_max - 1] = mul_1(m + k, s1.data(), s1.size(), 3);
    const size_t m_n = place(m, m_max, {}, qv, 0);
    const size_t minus_n = product(minus, q2, q2_n, m, m_n, t);
    Nat plus(2 * k + u_n + 1);
    plus.resize(place(plus.data(), plus.size(), trimmed(a.first(2 * k)), View(u, u_n), 2 * k));
    const View minus_v(minus, minus_n);
    if (compare(plus, minus_v) >= 0) {
        sub(plus.data(), plus.data(), plus.size(), minus, minus_n);
        normalize(plus);
        x.r = std::move(plus);
        return x;
    }
    return one_below(std::move(x), sub(minus_v, plus));
}

RootRem cbrt_rem(View a, const Tuning &t) {
    a = trimmed(a);
    const uint64_t root_bits = (bit_length(a) + 2) / 3;
    if (root_bits <= 64)
        return cbrt_rem_small(a);
    if (root_bits <= kShortRootBits)
        return cbrt_rem_short(a, root_bits);
    // From 130 bits of root the split is a whole limb or more.
    return cbrt_rem_limbs(a, size_t(split_bits(root_bits) / kLimbBits), t);
}

} // namespace

Nat cbrt_karatsuba(View a, const Tuning &t) {
    a = trimmed(a);
    const uint64_t root_bits = (bit_length(a) + 2) / 3;
    if (root_bits <= kShortRootBits)
        return cbrt_rem(a, t).s;
    // s' b + q for the root of x = a B^3, with q from (r' b + a2) / 3 s'^2 by an
    // approximate division. x is a read three limbs down: its limbs from 3k on
    // are a's from 3k - 3, and a2, its limbs [2k, 3k), is a's [2k - 3, 3k - 3)
    // with the zero limbs below a left out.
    const size_t k = size_t(split_bits(root_bits + kLimbBits) / kLimbBits);
    const RootRem high = cbrt_rem(a.subspan(3 * k - 3), t);
    const View a2 = 2 * k >= 3 ? trimmed(a.subspan(2 * k - 3, k)) : View();
    const Nat num = placed(a2, high.r, k, k + high.r.size() + 1);
    const Nat s =
        placed(quotient_or_above(num, times(high.s2, 3), t), high.s, k, k + high.s.size() + 2);
    // s is below kSlack above the root of x: q is the low part or one above it,
    // and the division may add kApproxQuotientError. Its low limb is the guard.
    const Limb low = s[0];
    const Nat floor_root(s.begin() + 1, s.end());
    if (low >= kSlack)
        return floor_root;
    // Near a unit: the root is floor_root or one below.
    if (compare(pow(floor_root, 3, t), a) <= 0)
        return floor_root;
    return sub(floor_root, Nat{1});
}

} // namespace karvo::kernel
