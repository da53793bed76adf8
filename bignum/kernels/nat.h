// Natural numbers as growable limb vectors, always normalised (no top zero
// limbs; zero is empty). The families compute with these and then write the
// record; the algorithms sit on the span kernels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "kernels/limb.h"

namespace karvo::kernel {

using Nat = std::vector<Limb>;
using View = std::span<const Limb>;

inline void normalize(Nat &a) { a.resize(normalized_size(a.data(), a.size())); }
inline View trimmed(View a) { return a.first(normalized_size(a.data(), a.size())); }
Nat from_u64(uint64_t v);

// The record's 32-bit words (least significant first) and back.
Nat from_words(std::span<const uint32_t> words);
size_t word_count(View a);              // 32-bit words without top zero words
size_t to_words(View a, uint32_t *out); // writes word_count(a) words, returns that count
// Packs the words into out (room for (words + 1) / 2 limbs); returns the
// limbs written.
size_t pack_words(std::span<const uint32_t> words, Limb *out);

int compare(View a, View b);
Nat add(View a, View b);
Nat sub(View a, View b); // a >= b
Nat mul(View a, View b, const Tuning &t = default_tuning());
Nat sqr(View a, const Tuning &t = default_tuning());
// q = a / b and r = a mod b for b != 0; either pointer may be null.
void divrem(View a, View b, Nat *q, Nat *r, const Tuning &t = default_tuning());
// Division by a fixed d with a reciprocal computed once (Barrett), for
// dividends of at most `dividend_limbs` limbs: two products per division.
class Reciprocal {
  public:
    Reciprocal(View d, size_t dividend_limbs, const Tuning &t = default_tuning());
    void divrem(View x, Nat *q, Nat *r) const;
    size_t capacity() const { return d_.size() + qn_ - 1; } // the longest dividend

  private:
    Nat d_, inverse_;
    size_t qn_;
    Tuning t_; // a copy: a reciprocal may outlive the caller's tuning
};
Nat shift_left(View a, uint64_t bits);
Nat shift_right(View a, uint64_t bits);
// a >>= bits, in a's own storage.
void shift_right_in_place(Nat &a, uint64_t bits);
uint64_t bit_length(View a);

// base^e; the caller has checked that the result is of a sensible size.
Nat pow(View base, uint64_t e, const Tuning &t = default_tuning());
// floor(a^(1/n)) for n >= 1.
Nat root(View a, uint64_t n, const Tuning &t = default_tuning());
// n! for n whose factorial the caller has checked to be of a sensible size.
Nat factorial(uint64_t n, const Tuning &t = default_tuning());
Nat gcd(View a, View b, const Tuning &t = default_tuning());
// A signed cofactor: the magnitude and whether it is negative (never for zero).
struct Cofactor {
    Nat mag;
    bool negative = false;
};
// g = gcd(a, b) with a x + b y = g: the cofactors of the textbook extended
// Euclidean algorithm (x = 1, y = 0 when b is zero).
struct Bezout {
    Nat g;
    Cofactor x, y;
};
Bezout gcdext(View a, View b, const Tuning &t = default_tuning());
// base^e mod m for m > 1 and base < m.
Nat powm(View base, View e, View m, const Tuning &t = default_tuning());

// Digits of a in radix 2..36, most significant first, "0" for zero.
std::string to_digits(View a, unsigned radix, const Tuning &t = default_tuning());
// The first `count` digits of a (all of them when it has fewer), and the
// number of digits of a, without producing the others.
struct LeadingDigits {
    std::string digits;
    uint64_t total;
};
LeadingDigits leading_digits(View a, unsigned radix, size_t count,
                             const Tuning &t = default_tuning());
// The sum of values[i] * radix^(count-1-i) for radix >= 2 and digit values
// below 36 (they may exceed the radix).
Nat from_digits(const uint8_t *values, size_t count, unsigned radix,
                const Tuning &t = default_tuning());

} // namespace karvo::kernel
