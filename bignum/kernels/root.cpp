// Integer roots by Newton's iteration x' = ((n-1) x + a / x^(n-1)) / n from
// above, started from the root of a with its low half of the root's bits cut
// off (computed the same way), so that two or three full-size steps finish it.
#include "kernels/nat.h"

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

} // namespace

Nat root(View a, uint64_t n, const Tuning &t) {
    a = trimmed(a);
    if (a.empty() || n == 1)
        return Nat(a.begin(), a.end());
    const uint64_t bits = bit_length(a);
    if (n >= bits)
        return {1};
    const uint64_t root_bits = (bits + n - 1) / n;
    if (root_bits <= 64)
        return descend(a, n, shift_left(Nat{1}, root_bits), t);
    // floor(a^(1/n)) <= (floor((a >> n s)^(1/n)) + 1) 2^s.
    const uint64_t s = root_bits / 2;
    Nat x = root(shift_right(a, n * s), n, t);
    x = shift_left(add(x, Nat{1}), s);
    return descend(a, n, std::move(x), t);
}

} // namespace karvo::kernel
