// Cube roots by Zimmermann's Karatsuba square root carried over to cubes. With
// b = 2^k and a = a' b^3 + a2 b^2 + a1 b + a0 (a2, a1, a0 below b), the root s'
// of a' with remainder r' = a' - s'^3 gives the high bits of the root, and one
// division (r' b + a2) / 3 s'^2 the low ones, q:
//   a - (s' b + q)^3 = (u b + a1) b + a0 - 3 s' q^2 b - q^3,
// u being that division's remainder. When s' >= 4b, q is the root's low part or
// one above it, so at most one correction follows. Only a' recurses, and the
// square of the root is kept along for the next division, so a cube root costs
// about one division of two thirds of its size and a few products of half.
//
// At the top the remainder is not needed: the root of a 2^96 is taken, whose
// low 32 bits are dropped, and q alone from a division cut to the bits it
// needs. Unless those 32 bits lie within a few units of a multiple of 2^32,
// an error of a unit or two in q cannot reach the bits kept; otherwise (exact
// cubes among them) one cube decides.
#include <algorithm>
#include <cmath>

#include "kernels/nat.h"
#include "kernels/root.h"

namespace karvo::kernel {

namespace {

constexpr uint64_t kGuard = 32; // extra bits of the root at the top

// a mod 2^bits.
Nat low_bits(View a, uint64_t bits) {
    const size_t limbs = size_t((bits + kLimbBits - 1) / kLimbBits);
    Nat r(a.begin(), a.begin() + std::min(a.size(), limbs));
    if (r.size() == limbs && bits % kLimbBits != 0)
        r.back() &= (Limb(1) << (bits % kLimbBits)) - 1;
    normalize(r);
    return r;
}

// (a >> (i k)) mod 2^k.
Nat piece(View a, uint64_t i, uint64_t k) { return low_bits(shift_right(a, i * k), k); }

Nat times(View a, uint64_t m) { return mul(a, from_u64(m)); }

// The split for a root of `root_bits` bits: s' keeps at least k + 3 bits, so
// that s' >= 4b.
uint64_t split_bits(uint64_t root_bits) { return (root_bits - 3) / 2; }

struct RootRem {
    Nat s, r, s2; // the root, a - s^3 and s^2
};

// A root of at most 32 bits, from a double to within one and then exact.
RootRem cbrt_rem_small(View a) {
    using U128 = unsigned __int128;
    const U128 x = a.empty() ? 0 : a.size() == 1 ? a[0] : (U128(a[1]) << kLimbBits) | a[0];
    auto cube = [](uint64_t s) { return U128(s) * s * s; };
    uint64_t s = uint64_t(std::llround(std::cbrt(double(x))));
    while (s > 0 && cube(s) > x)
        --s;
    while (cube(s + 1) <= x)
        ++s;
    auto nat = [](U128 v) {
        Nat r{Limb(v), Limb(v >> kLimbBits)};
        normalize(r);
        return r;
    };
    return {nat(s), nat(x - cube(s)), nat(U128(s) * s)};
}

RootRem cbrt_rem(View a, const Tuning &t) {
    a = trimmed(a);
    const uint64_t root_bits = (bit_length(a) + 2) / 3;
    if (root_bits <= 32)
        return cbrt_rem_small(a);
    const uint64_t k = split_bits(root_bits);
    const RootRem high = cbrt_rem(shift_right(a, 3 * k), t);
    Nat q, u;
    divrem(add(shift_left(high.r, k), piece(a, 2, k)), times(high.s2, 3), &q, &u, t);
    const Nat q2 = sqr(q, t);
    const Nat s_q = mul(high.s, q, t);
    RootRem x;
    x.s = add(shift_left(high.s, k), q);
    x.s2 = add(add(shift_left(high.s2, 2 * k), shift_left(times(s_q, 2), k)), q2);
    // The remainder as the difference of these two.
    const Nat plus = add(shift_left(add(shift_left(u, k), piece(a, 1, k)), k), low_bits(a, k));
    // 3 s' q^2 b + q^3 = q^2 (3 s' b + q), one product of about the root's size.
    const Nat minus = mul(q2, add(shift_left(times(high.s, 3), k), q), t);
    if (compare(plus, minus) >= 0) {
        x.r = sub(plus, minus);
        return x;
    }
    // One too far: s^3 - (s - 1)^3 = 3 s^2 - 3 s + 1, and (s - 1)^2 = s^2 - 2 s + 1.
    const Nat step = add(sub(times(x.s2, 3), times(x.s, 3)), Nat{1});
    x.r = sub(step, sub(minus, plus));
    x.s2 = add(sub(x.s2, times(x.s, 2)), Nat{1});
    x.s = sub(x.s, Nat{1});
    return x;
}

} // namespace

Nat cbrt_karatsuba(View a, const Tuning &t) {
    a = trimmed(a);
    const uint64_t root_bits = (bit_length(a) + 2) / 3;
    if (root_bits <= 64)
        return root(a, 3, t);
    const Nat x = shift_left(a, 3 * kGuard);
    const uint64_t k = split_bits(root_bits + kGuard);
    const RootRem high = cbrt_rem(shift_right(x, 3 * k), t);
    // q to within one: the divisor cut to k + 8 bits and the dividend by as many.
    Nat num = add(shift_left(high.r, k), piece(x, 2, k)), den = times(high.s2, 3);
    const uint64_t den_bits = bit_length(den);
    if (den_bits > k + 8) {
        num = shift_right(num, den_bits - k - 8);
        den = shift_right(den, den_bits - k - 8);
    }
    Nat q;
    divrem(num, den, &q, nullptr, t);
    const Nat s = add(shift_left(high.s, k), q);
    const Limb low = s.empty() ? 0 : s[0] & ((Limb(1) << kGuard) - 1);
    const Nat floor_root = shift_right(s, kGuard);
    if (low >= 4 && low <= (Limb(1) << kGuard) - 4)
        return floor_root;
    // Near a unit: the root is floor_root, one above it or one below.
    Nat c = low < 4 ? floor_root : add(floor_root, Nat{1});
    if (compare(mul(sqr(c, t), c, t), a) > 0)
        c = sub(c, Nat{1});
    return c;
}

} // namespace karvo::kernel
