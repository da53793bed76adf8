// Integer roots by Newton's iteration x' = ((n-1) x + a / x^(n-1)) / n from
// above, started from the root of a with its low half of the root's bits cut
// off (computed the same way), so that two or three full-size steps finish it.
// Square roots use Karatsuba's square root (sqrt_karatsuba.cpp) instead, cube
// roots its counterpart (cbrt_karatsuba.cpp). All serve roots up to the
// crossovers in Tuning; larger ones go to root_newton.cpp.
#include <algorithm>
#include <cmath>

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

// A root of at most 64 bits. Newton's step from 2^bits shrinks x only by a
// factor (n - 1) / n while x^n is far above a, so a large degree would take
// about n steps; instead a floating-point estimate narrows the bounds and
// bisection finishes, a few dozen powers at most.
Nat short_root(View a, uint64_t n, uint64_t root_bits, const Tuning &t) {
    auto at_most_a = [&](uint64_t x) { return compare(pow(from_u64(x), n, t), a) <= 0; };
    // lo^n <= a < hi^n, as a has fewer than n root_bits bits and at least
    // n (root_bits - 1) + 1.
    uint64_t lo = uint64_t(1) << (root_bits - 1);
    unsigned __int128 hi = static_cast<unsigned __int128>(1) << root_bits;
    // log2(a) from the top two limbs is good to about 2^-52 relative; divided
    // by n and raised, the root is good to far better than 2^-24.
    const size_t m = a.size();
    double top = double(a[m - 1]);
    if (m >= 2)
        top += double(a[m - 2]) * 0x1p-64;
    const double estimate = std::exp2((64.0 * double(m - 1) + std::log2(top)) / double(n));
    const double below = std::floor(estimate * (1 - 0x1p-24)) - 1;
    const double above = std::ceil(estimate * (1 + 0x1p-24)) + 2;
    if (below > double(lo) && below < 0x1p64 && at_most_a(uint64_t(below)))
        lo = uint64_t(below);
    if (above < double(hi) && !at_most_a(uint64_t(above)))
        hi = uint64_t(above);
    while (hi - lo > 1) {
        const uint64_t mid = lo + uint64_t((hi - lo) / 2);
        if (at_most_a(mid))
            lo = mid;
        else
            hi = mid;
    }
    return from_u64(lo);
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
    const size_t newton = n == 2 ? t.sqrt_newton : n == 3 ? t.cbrt_newton : t.root_newton;
    if (root_bits > 64 && n < (1u << 20) && root_bits > kLimbBits * newton)
        return root_newton(a, n, t);
    if (n == 2)
        return sqrt_karatsuba(a, t);
    if (n == 3)
        return cbrt_karatsuba(a, t);
    if (root_bits <= 64)
        return short_root(a, n, root_bits, t);
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
