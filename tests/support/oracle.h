// Shared support for the Karvo tests: GMP values, owned records, one check of a call's printed
// line, returned record and result record, and a seeded generator of awkward operands.
#pragma once

#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "bignum.h"
#include "support/mpz.h"

namespace kt {

constexpr uint64_t kMaxWords = 100000, kAny = ~0ull;
using Result = ::testing::AssertionResult;

// Whether the constant accessors answered null before the suite called bignum_init().
extern bool g_constants_null_before_init;

// The library's division: the quotient rounded toward zero, and the remainder
// of the magnitudes.
inline Mpz tdiv_q(const Mpz &n, const Mpz &d) {
    Mpz q;
    mpz_tdiv_q(q, n, d);
    return q;
}
inline Mpz mod_abs(const Mpz &n, const Mpz &d) {
    Mpz r;
    mpz_tdiv_r(r, n, d);
    return abs(r);
}

// An owned record from bignum_alloc; converts to bignum *.
class Num {
  public:
    Num();
    // The value v with `pad` zero words above its top word (an untrimmed record).
    explicit Num(const Mpz &v, uint64_t pad = 0);
    Num(long v) : Num(Mpz(v)) {} // NOLINT: implicit on purpose
    Num(Num &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~Num() { bignum_free(p_); }
    bignum *get() const { return p_; }
    operator bignum *() const { return p_; } // NOLINT
    bignum *operator->() const { return p_; }
    Mpz value() const;

  private:
    bignum *p_;
};

// A record holding exactly these words (least significant first), with oofm their count.
Num words(std::initializer_list<uint32_t> lsf, uint8_t sign = 1);
// Writes v into an existing record (cleared first) with `pad` zero words above it.
void load(bignum *b, const Mpz &v, uint64_t pad = 0);
Mpz value_of(const bignum *b); // the words below oofm, negative when sign is 2
std::vector<uint32_t> words_of(const bignum *b);
std::string describe(const bignum *b);
// Size a fresh record reaches when words 0 .. n-1 are written one after another.
uint64_t grown_size(uint64_t n);

// A sound record holding `want`; sign 0 asks for the value's marker (1 for zero), kAny skips
// the words-in-use check.
Result Holds(const bignum *b, const Mpz &want, uint8_t sign = 0, uint64_t oofm = kAny);
inline Result IsClearZero(const bignum *b) { return Holds(b, 0, 1, 0); }
// Value, sign marker and words in use of an operand, to compare after a call.
struct Snapshot {
    explicit Snapshot(const bignum *b) : rec(b), value(value_of(b)), sign(b->sign), oofm(b->oofm) {}
    Result Unchanged() const;
    const bignum *rec;
    Mpz value;
    uint8_t sign;
    uint64_t oofm;
};

// Runs f with standard output captured and returns what it printed.
template <class F> std::string Stdout(F &&f) {
    fflush(stdout);
    ::testing::internal::CaptureStdout();
    f();
    fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}
// The refusal of a result of `words` words; without a count the line matches any count above
// 100000 (a "*" in an expected line stands for such a count).
std::string TooLarge(const std::string &function, uint64_t words = 0);
Result PrintedLine(const std::string &out, const std::string &want);

// What a call must leave: the printed line (empty: none, and the call returns the destination;
// else it returns null) and the destination's value, sign marker and words in use.
struct Want {
    Want(Mpz v, uint8_t s = 0, uint64_t n = kAny, std::string m = "") // NOLINT: implicit
        : value(std::move(v)), sign(s), oofm(n), message(std::move(m)) {}
    Mpz value;
    uint8_t sign;
    uint64_t oofm;
    std::string message;
};
inline Want Refusal(const std::string &message) { return {0, 1, 0, message}; } // dst cleared
template <class F> Result Gives(F &&call, bignum *dst, const Want &w) {
    const bignum *ret = nullptr;
    if (auto ok = PrintedLine(Stdout([&] { ret = call(); }), w.message); !ok)
        return ok;
    if (ret != (w.message.empty() ? dst : nullptr))
        return ::testing::AssertionFailure() << "returned the wrong record";
    return Holds(dst, w.value, w.sign, w.oofm);
}

// Seeded generator of operands. The seed comes from KARVO_TEST_SEED when set, else from the
// test's name; it is recorded as the test property "seed" and traced in every failure.
class Rng {
  public:
    Rng();
    ~Rng() { gmp_randclear(st_); }
    uint64_t below(uint64_t n) { return n <= 1 ? 0 : gmp_urandomm_ui(st_, n); } // [0, n)
    uint64_t range(uint64_t lo, uint64_t hi) { return lo + below(hi - lo + 1); }
    bool chance(unsigned percent) { return below(100) < percent; }
    Mpz below(const Mpz &n); // uniform in [0, n), n > 0
    // A word count in [0, max]: mostly a few words, one time in ten up to max.
    uint64_t words(uint64_t max);
    // A magnitude of exactly n words: uniform bits, long runs of ones and zeros (mpz_rrandomb)
    // or all-ones words, its top word now and then 1.
    Mpz magnitude(uint64_t n);
    // A value of up to max_words words, negative half the time when `negative`.
    Mpz value(uint64_t max_words, bool negative = true);
    // A record holding v, now and then with zero words above its top.
    Num record(const Mpz &v) { return Num(v, chance(20) ? range(1, 3) : 0); }
    Num operand(uint64_t max_words) { return record(value(max_words)); }

  private:
    uint64_t seed_;
    ::testing::ScopedTrace trace_;
    gmp_randstate_t st_;
};

} // namespace kt
