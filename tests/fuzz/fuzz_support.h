// What the differential fuzzers share: GMP values, a reader of the fuzz input, operands decoded
// from it (any size class, sign marker, zero words above the top, near the crossovers of the
// kernel path that runs and near the word limit), operands in read-only memory, the records'
// expected states, and the check of what a call printed. A mismatch prints both sides and
// aborts, which libFuzzer records.
#pragma once

#include <gmp.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bignum.h"
#include "support/mpz.h"

namespace fz {

constexpr uint64_t kMaxWords = BIGNUM_MAX_WORDS;
constexpr uint64_t kAny = ~0ull;

using kt::Mpz;
using kt::word_count;
std::string hex(const Mpz &v); // signed hexadecimal, shortened when long
std::string digits(const Mpz &v, int radix);

// The fuzz input read front to back; past its end every read gives zeros.
class Input {
  public:
    Input(const uint8_t *data, size_t size) : p_(data), n_(size) {}
    bool more() const { return i_ < n_; }
    uint8_t byte() { return i_ < n_ ? p_[i_++] : 0; }
    uint32_t u16() { return byte() | uint32_t(byte()) << 8; }
    uint32_t u32() { return u16() | u16() << 16; }
    uint64_t u64() { return u32() | uint64_t(u32()) << 32; }
    // A value in [0, n), from as few bytes as n needs.
    uint64_t below(uint64_t n);
    uint64_t range(uint64_t lo, uint64_t hi) { return lo + below(hi - lo + 1); }
    // Up to n raw bytes.
    std::vector<uint8_t> bytes(size_t n);

  private:
    const uint8_t *p_;
    size_t n_, i_ = 0;
};

// Many words from a seed of a few input bytes (splitmix64).
class Stream {
  public:
    explicit Stream(uint64_t seed) : s_(seed) {}
    uint64_t next();
    uint32_t word() { return uint32_t(next() >> 16); }

  private:
    uint64_t s_;
};

// Sizes in 32-bit words at which the kernels of the running path change algorithm (their
// crossovers are in 64-bit limbs), with the stack-buffer sizes of the families.
const std::vector<uint64_t> &crossover_words();
// The instruction-set path the kernels run, and what the environment asked for.
std::string kernel_path();

// A number of words: mostly a few, sometimes near a crossover, rarely near the word limit.
// `large` caps the classes that can take thousands of words.
uint64_t decode_words(Input &in, bool large = true);
// A magnitude of exactly `words` words (top word non-zero) in a pattern the input picks:
// uniform, all ones, runs of ones and zeros, a power of two plus or minus a little, the
// input's own bytes.
Mpz decode_magnitude(Input &in, uint64_t words);

// An owned record from bignum_alloc().
class Rec {
  public:
    Rec();
    ~Rec() { bignum_free(p_); }
    Rec(const Rec &) = delete;
    Rec &operator=(const Rec &) = delete;
    bignum *get() const { return p_; }
    operator bignum *() const { return p_; } // NOLINT
    bignum *operator->() const { return p_; }

  private:
    bignum *p_;
};

// Stores the magnitude of `value` (its low 100000 words) with marker `sign` and `pad` zero words
// above its top; the storage above the words in use is filled with junk when `junk`, which no
// call may read.
void load(bignum *b, const Mpz &value, uint8_t sign, uint64_t pad = 0, bool junk = false);
// Decodes an operand into b: magnitude, marker (negative zero included), zero words above.
void decode_operand(Input &in, bignum *b, bool large = true);

// Copies of operands in read-only memory: the operands of every call are only read, so a call
// that writes one faults. The same record asked for twice gives the same copy, so that operands
// shared with each other stay shared. Destinations must never be frozen.
class Frozen {
  public:
    explicit Frozen(bool active) : active_(active) {}
    ~Frozen();
    Frozen(const Frozen &) = delete;
    Frozen &operator=(const Frozen &) = delete;
    // The read-only copy of b (b itself when inactive or null).
    bignum *operator()(bignum *b);

  private:
    struct Copy {
        const bignum *original;
        bignum *record;
        void *words;
        size_t record_bytes, word_bytes;
    };
    bool active_;
    std::vector<Copy> copies_;
};

Mpz magnitude_of(const bignum *b); // the words below oofm
Mpz value_of(const bignum *b);     // negative when the marker is 2

// What a record holds: the words below oofm (as a magnitude), the marker and the count.
struct State {
    State() = default;
    explicit State(const bignum *b) : mag(magnitude_of(b)), sign(b->sign), oofm(b->oofm) {}
    State(Mpz m, uint8_t s, uint64_t n) : mag(m), sign(s), oofm(n) {}
    Mpz value() const { return sign == 2 ? -mag : mag; }
    bool negative() const { return sign == 2 && mag.sgn() != 0; } // negative in value
    bool looks_zero() const { return oofm == 0 || (oofm == 1 && mag.sgn() == 0); } // iszero
    Mpz mag;
    uint8_t sign = 1;
    uint64_t oofm = 0;
};
inline State cleared() { return {0, 1, 0}; } // as __bignum_zero leaves a record
// A trimmed result: marker 1 for zero and positive values.
inline State trimmed(const Mpz &v) { return {abs(v), uint8_t(v.sgn() < 0 ? 2 : 1), word_count(v)}; }

std::string describe(const bignum *b);
std::string describe(const State &s);
// The line bignum_print() writes for a record.
std::string dump(const bignum *b);

// The result a + b (or a - b) must leave in the destination; `words` is the magnitude's word
// count, which decides a refusal above the limit (the destination is then cleared).
State add_model(bool subtract, const State &a, const State &b, uint64_t *words);

// Names the call under test and its operands for a failure report.
void context(const std::string &what);
[[noreturn]] void fail(const std::string &what);
void expect(bool ok, const std::string &what);
// The record must be sound (marker 1 or 2, oofm <= size <= 100000, the fixed fields) and hold
// `want`, its count included unless that is kAny.
void expect_holds(const std::string &name, const bignum *b, const State &want);
void expect_sound(const std::string &name, const bignum *b);

// What a call prints. Standard output is captured from the start; the messages are on or off
// for the whole input (bignum_set_messages), decided by its first byte.
void capture_stdout();
std::string take_stdout();
void set_messages(bool on);
bool messages_on();
// The call printed nothing (and, when `refused` is null, reported nothing).
void expect_quiet();
// The call reported `function().. text`: printed when messages are on, always kept in
// bignum_last_message().
void expect_line(const std::string &function, const std::string &text);
// The call reported several lines: `printed` when messages are on, the last one's text kept.
void expect_lines(const std::string &printed, const std::string &last_text);
// The call printed exactly `printed`, whatever the messages setting (the debug dumps), and
// reported nothing.
void expect_printed(const std::string &printed);
// Makes the library report a line of its own (a division by zero), so that the next report of
// the same text as the one before can be told apart.
void reset_last_message();
// The call refused a result of more than 100000 words, naming a count above the limit and at
// most `at_most` (the result's words, or a bound of them).
void expect_too_large(const std::string &function, uint64_t at_most);

// Runs before the first input: captures standard output, checks the constants are null before
// bignum_init() and calls it, and names the kernel path on standard error.
void initialize(const char *harness);
// Starts an input: messages on or off, and operands frozen or not, from its first byte.
void begin_input(Input &in);
bool freeze_operands();

} // namespace fz
