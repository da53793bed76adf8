// Integer roots by Newton's iteration x' = ((n-1) x + a / x^(n-1)) / n from
// above, started from the root of a with its low half of the root's bits cut
// off (computed the same way), so that two or three full-size steps finish it.
// Square roots use Karatsuba's square root instead. Both serve roots up to
// the crossovers in Tuning; larger ones go to root_newton.cpp.
#include <algorithm>

#include "kernels/nat.h"
#include "kernels/root.h"

namespace karvo::kernel {

namespace {

// Newton's iteration from x >= floor(a^(1/n)) stays at or above the floor of
// the root, so the first iterate whose n-th power does not exceed a is it.
// From a close start one step usually lands there, and the power that proves
// it costs less than the division of a further step.
Nat descend(View a, uint64_t n, Nat x, const Tuning &t) {
    const Nat n_nat = from_u64(n), n_less_one = from_u64(n - 1);
    for (;;) {
        const Nat x_to_n_less_one = pow(x, n - 1, t);
        if (compare(mul(x_to_n_less_one, x, t), a) <= 0)
            return x;
        Nat quotient, y;
        divrem(a, x_to_n_less_one, &quotient, nullptr, t);
        divrem(add(mul(x, n_less_one, t), quotient), n_nat, &y, nullptr, t);
        x = std::move(y);
    }
}

// x mod 2^m
Nat low_bits(const Nat &x, uint64_t m) {
    const size_t limbs = size_t((m + kLimbBits - 1) / kLimbBits);
    Nat r(x.begin(), x.begin() + long(std::min(limbs, x.size())));
    if (m % kLimbBits != 0 && r.size() == limbs)
        r.back() &= (Limb(1) << (m % kLimbBits)) - 1;
    normalize(r);
    return r;
}

// Zimmermann's Karatsuba square root with remainder, for 2^(T-2) <= a < 2^T
// and T divisible by 4 at every level: with a = a3 b^3 + a2 b^2 + a1 b + a0,
// b = 2^(T/4), the root of a3 b + a2 gives the high half of the root, one
// division by twice it the low half, and one squaring the remainder (with at
// most one correction).
void sqrt_rem(const Nat &a, uint64_t T, Nat &s, Nat &r, const Tuning &t) {
    if (T <= 256) {
        s = descend(a, 2, shift_left(Nat{1}, (bit_length(a) + 1) / 2), t);
        r = sub(a, sqr(s, t));
        return;
    }
    const uint64_t m = T / 4;
    Nat s1, r1;
    sqrt_rem(shift_right(a, 2 * m), T / 2, s1, r1, t);
    Nat q, u;
    divrem(add(shift_left(r1, m), low_bits(shift_right(a, m), m)), shift_left(s1, 1), &q, &u, t);
    s = add(shift_left(s1, m), q);
    const Nat plus = add(shift_left(u, m), low_bits(a, m)), minus = sqr(q, t);
    if (compare(plus, minus) >= 0) {
        r = sub(plus, minus);
    } else { // r + 2s - 1 with s one less
        r = sub(add(plus, sub(shift_left(s, 1), Nat{1})), minus);
        s = sub(s, Nat{1});
    }
}

// floor(sqrt(a)), a shifted left by an even count into the range 2^(T-2) <=
// a < 2^T, T a multiple of 2^(d+2) for the d halvings down to 256 bits, and
// the root shifted back.
Nat square_root(View a, const Tuning &t) {
    const uint64_t bits = bit_length(a);
    unsigned d = 0;
    while ((bits >> d) > 256)
        ++d;
    const uint64_t unit = uint64_t(4) << d;
    const uint64_t T = (bits + unit - 1) / unit * unit;
    const uint64_t shift = (T - bits) & ~uint64_t(1);
    Nat s, r;
    sqrt_rem(shift_left(a, shift), T, s, r, t);
    return shift_right(s, shift / 2);
}

} // namespace

Nat root(View a, uint64_t n, const Tuning &t) {
    a = trimmed(a);
    if (a.empty() || n == 1)
        return Nat(a.begin(), a.end());
    const uint64_t bits = bit_length(a);
    if (n >= bits)
        return {1};
    const uint64_t root_bits = (bits + n - 1) / n;
    if (root_bits > 64 && n < (1u << 20) &&
        root_bits > kLimbBits * (n == 2 ? t.sqrt_newton : t.root_newton))
        return root_newton(a, n, t);
    if (n == 2 && bits > 4 * kLimbBits)
        return square_root(a, t);
    if (root_bits <= 64)
        return descend(a, n, shift_left(Nat{1}, root_bits), t);
    // floor(a^(1/n)) <= x0 = c 2^s with c = floor((a >> n s)^(1/n)) + 1. With s
    // a few bits short of half the root, one Newton step from x0 lands at the
    // root or just above it. As x0 ends in s zero bits, x0^(n-1) is a power of
    // the short c, and a / x0^(n-1) = (a >> s (n-1)) / c^(n-1).
    const uint64_t s = root_bits / 2 - 8;
    const Nat c = add(root(shift_right(a, n * s), n, t), Nat{1});
    Nat q, y;
    divrem(shift_right(a, s * (n - 1)), pow(c, n - 1, t), &q, nullptr, t);
    divrem(add(mul(shift_left(c, s), from_u64(n - 1), t), q), from_u64(n), &y, nullptr, t);
    return descend(a, n, std::move(y), t);
}

} // namespace karvo::kernel
