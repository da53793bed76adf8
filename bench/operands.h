// Operands shared by both sides of a workload: the same value as a Karvo
// record and as a GMP integer.
#pragma once

#include <gmp.h>

#include <cstdint>
#include <string>

#include "bignum.h"

class Operand {
  public:
    Operand();
    ~Operand();
    Operand(const Operand &) = delete;
    Operand &operator=(const Operand &) = delete;

    // A uniformly random value of exactly `words` 32-bit words (top word non-zero).
    static void random(Operand &out, uint64_t words, uint64_t seed);
    // A random value of exactly `digits` decimal digits.
    static void random_digits(Operand &out, uint64_t digits, uint64_t seed);
    void set_u64(uint64_t v);
    void set_mpz(const mpz_t v);

    bignum *bn() const { return bn_; }
    mpz_ptr z() { return z_; }
    std::string text(int radix) const;

  private:
    bignum *bn_;
    mpz_t z_;
};
