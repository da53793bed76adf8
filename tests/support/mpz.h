// A GMP integer with value semantics, shared by the test suite and the
// fuzzers (which run without GoogleTest).
#pragma once

#include <gmp.h>

#include <cstdint>
#include <string>

namespace kt {

// A GMP integer with value semantics; converts to mpz_ptr for the mpz_ functions.
class Mpz {
  public:
    Mpz() { mpz_init(v_); }
    Mpz(long v) { mpz_init_set_si(v_, v); } // NOLINT: implicit on purpose
    Mpz(int v) : Mpz(long(v)) {}            // NOLINT
    explicit Mpz(const char *text, int base = 10) { mpz_init_set_str(v_, text, base); }
    Mpz(const Mpz &o) { mpz_init_set(v_, o.v_); }
    Mpz &operator=(const Mpz &o) { return mpz_set(v_, o.v_), *this; }
    ~Mpz() { mpz_clear(v_); }
    operator mpz_ptr() { return v_; }          // NOLINT
    operator mpz_srcptr() const { return v_; } // NOLINT
    mpz_srcptr get() const { return v_; }
    int sgn() const { return mpz_sgn(v_); }
    std::string str(int base = 10) const {
        std::string s(mpz_sizeinbase(v_, base) + 2, '\0');
        mpz_get_str(s.data(), base, v_);
        return s.c_str();
    }
    static Mpz pow2(uint64_t bits) {
        Mpz r;
        mpz_setbit(r, bits);
        return r;
    }
    static Mpz ones(uint64_t words) { return pow2(32 * words) - 1; } // 2^(32*words) - 1
    friend bool operator==(const Mpz &a, const Mpz &b) { return mpz_cmp(a, b) == 0; }
    friend bool operator!=(const Mpz &a, const Mpz &b) { return mpz_cmp(a, b) != 0; }
    friend Mpz operator+(const Mpz &a, const Mpz &b) { return op<mpz_add>(a, b); }
    friend Mpz operator-(const Mpz &a, const Mpz &b) { return op<mpz_sub>(a, b); }
    friend Mpz operator*(const Mpz &a, const Mpz &b) { return op<mpz_mul>(a, b); }
    // Mixed with plain integers (the conversion to mpz_ptr would otherwise make pointer sums).
    friend Mpz operator+(const Mpz &a, long b) { return a + Mpz(b); }
    friend Mpz operator-(const Mpz &a, long b) { return a - Mpz(b); }
    friend Mpz operator*(long a, const Mpz &b) { return Mpz(a) * b; }
    friend Mpz operator-(const Mpz &a) { return Mpz() - a; }
    friend Mpz abs(const Mpz &a) { return a.sgn() < 0 ? -a : a; }

  private:
    template <void (*F)(mpz_ptr, mpz_srcptr, mpz_srcptr)>
    static Mpz op(const Mpz &a, const Mpz &b) {
        Mpz r;
        F(r, a, b);
        return r;
    }
    mpz_t v_;
};

// Words of the trimmed magnitude.
inline uint64_t word_count(const Mpz &v) {
    return v.sgn() == 0 ? 0 : (mpz_sizeinbase(v, 2) + 31) / 32;
}

} // namespace kt
