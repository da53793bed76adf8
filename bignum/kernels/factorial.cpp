// Factorials by Luschny's prime swing: n! = 2^(n - popcount(n)) times the odd
// part, and the odd part of n! is that of (n/2)! squared times the odd part
// of the swing number n!/((n/2)!)^2, whose prime factors come from a sieve:
// a prime p appears to the power sum over k of (floor(n / p^k) mod 2).
// Products of many small factors are taken in a balanced tree.
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

// The product of factors[lo, hi), each below 2^64.
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

// Collects factors, several to a limb while the product fits.
class Packer {
  public:
    void add(Limb f) {
        if (DLimb(packed_) * f >> kLimbBits) {
            limbs_.push_back(packed_);
            packed_ = 1;
        }
        packed_ *= f;
    }
    std::vector<Limb> take() {
        limbs_.push_back(packed_);
        return std::move(limbs_);
    }

  private:
    std::vector<Limb> limbs_;
    Limb packed_ = 1;
};

// A sieve of the odd numbers only: entry i stands for 2i + 1.
std::vector<uint32_t> odd_primes_up_to(uint64_t n) {
    const uint64_t odds = (n + 1) / 2;
    std::vector<uint8_t> composite(odds, 0);
    std::vector<uint32_t> primes;
    for (uint64_t i = 1; i < odds; ++i) {
        if (composite[i] != 0)
            continue;
        const uint64_t p = 2 * i + 1;
        primes.push_back(uint32_t(p));
        for (uint64_t m = p * p / 2; m < odds; m += p)
            composite[m] = 1;
    }
    return primes;
}

// The odd part of n!/((n/2)!)^2. Most primes need no division: those above
// n/2 appear once (floor(n/p) = 1), those in (n/3, n/2] not at all (2).
Nat odd_swing(uint64_t n, const std::vector<uint32_t> &primes, const Tuning &t) {
    Packer packer;
    for (uint32_t p : primes) {
        if (p > n)
            break;
        if (p > n / 2) {
            packer.add(p);
            continue;
        }
        if (3 * uint64_t(p) > n)
            continue;
        uint64_t exponent = 0;
        for (uint64_t q = n / p; q > 0; q /= p)
            exponent += q & 1;
        for (uint64_t i = 0; i < exponent; ++i)
            packer.add(p);
    }
    const std::vector<Limb> factors = packer.take();
    return product(factors, 0, factors.size(), t);
}

Nat odd_factorial(uint64_t n, const std::vector<uint32_t> &primes, const Tuning &t) {
    if (n < 64) {
        Packer packer;
        for (uint64_t k = 3; k <= n; k += 2)
            for (uint64_t j = k; j <= n; j *= 2) // k appears once per power of two up to n
                packer.add(k);
        const std::vector<Limb> factors = packer.take();
        return product(factors, 0, factors.size(), t);
    }
    const Nat half = odd_factorial(n / 2, primes, t);
    const Nat swing = odd_swing(n, primes, t);
    // Once half takes the transform, whose cost follows the sum of the lengths, half
    // times (half times swing) costs less than the square and then a product of very
    // unequal lengths.
    if (half.size() >= t.ntt)
        return mul(half, mul(half, swing, t), t);
    return mul(sqr(half, t), swing, t);
}

} // namespace

Nat factorial(uint64_t n, const Tuning &t) {
    if (n < 2)
        return {1};
    const std::vector<uint32_t> primes = odd_primes_up_to(n);
    return shift_left(odd_factorial(n, primes, t), n - uint64_t(std::popcount(n)));
}

} // namespace karvo::kernel
