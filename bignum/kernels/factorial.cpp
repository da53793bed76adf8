// Factorials: n! = 2^(n - popcount(n)) times the product of the odd parts of
// 2..n, multiplied in a balanced tree so that the factors stay of equal size.
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

Nat product(const std::vector<Limb> &factors, size_t lo, size_t hi, const Tuning &t) {
    if (hi - lo <= 8) {
        Nat r{1};
        for (size_t i = lo; i < hi; ++i) {
            const Limb carry = mul_1(r.data(), r.data(), r.size(), factors[i]);
            if (carry != 0)
                r.push_back(carry);
        }
        return r;
    }
    const size_t mid = lo + (hi - lo) / 2;
    return mul(product(factors, lo, mid, t), product(factors, mid, hi, t), t);
}

} // namespace

Nat factorial(uint64_t n, const Tuning &t) {
    if (n < 2)
        return {1};
    // Odd parts of 2..n, packed several to a limb while the product fits.
    std::vector<Limb> factors;
    Limb packed = 1;
    for (uint64_t k = 3; k <= n; ++k) {
        const Limb odd = k >> std::countr_zero(k);
        if (odd == 1)
            continue;
        if (DLimb(packed) * odd >> kLimbBits) {
            factors.push_back(packed);
            packed = 1;
        }
        packed *= odd;
    }
    factors.push_back(packed);
    return shift_left(product(factors, 0, factors.size(), t), n - uint64_t(std::popcount(n)));
}

} // namespace karvo::kernel
