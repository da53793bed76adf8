// What the kernel tests share: GMP integers made from and turned back into
// limbs, and a seeded generator of awkward operands (a fixed seed, so a
// failure replays).
#pragma once

#include <gmp.h>

#include <cstdint>

#include "kernels/nat.h"

namespace karvo::kernel {

class Mpz {
  public:
    Mpz() { mpz_init(z_); }
    explicit Mpz(const Nat &a) : Mpz() {
        mpz_import(z_, a.size(), -1, sizeof(Limb), 0, 0, a.data());
    }
    ~Mpz() { mpz_clear(z_); }
    Mpz(const Mpz &) = delete;
    operator mpz_ptr() { return z_; }
    Nat nat() const {
        Nat r((mpz_sizeinbase(z_, 2) + 63) / 64);
        size_t n = 0;
        mpz_export(r.data(), &n, -1, sizeof(Limb), 0, 0, z_);
        r.resize(n);
        return r;
    }

  private:
    mpz_t z_;
};

class Random {
  public:
    explicit Random(unsigned long seed) {
        gmp_randinit_default(state_);
        gmp_randseed_ui(state_, seed);
    }
    ~Random() { gmp_randclear(state_); }
    Random(const Random &) = delete;
    Random &operator=(const Random &) = delete;

    // A number of exactly `limbs` limbs: long runs of equal bits, uniform bits or all ones.
    Nat number(size_t limbs) {
        const size_t kind = limbs ? below(5) : 4;
        if (kind == 4)
            return Nat(limbs, ~Limb(0));
        Mpz z;
        (kind < 2 ? mpz_rrandomb : mpz_urandomb)(z, state_, limbs * 64);
        mpz_setbit(z, limbs * 64 - 1 - (mpz_get_ui(z) % 7));
        return z.nat();
    }
    // Exactly `bits` bits: uniform, or long runs of equal bits.
    Nat bits(uint64_t bits, bool runs) {
        Mpz z;
        (runs ? mpz_rrandomb : mpz_urandomb)(z, state_, bits);
        mpz_setbit(z, bits - 1);
        return z.nat();
    }
    // n limbs, the top one partly used.
    Nat limbs(size_t n) { return n == 0 ? Nat{} : bits(64 * n - below(64), below(2) == 0); }
    size_t below(size_t n) { return gmp_urandomm_ui(state_, n); }

  private:
    gmp_randstate_t state_;
};

} // namespace karvo::kernel
