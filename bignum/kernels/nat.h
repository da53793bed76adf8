// Natural numbers as growable word vectors, always normalised (no top zero
// words; zero is empty). The families compute with these and then write the
// record; the algorithms sit on the span kernels of kernels.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "kernels/kernels.h"

namespace karvo::kernel {

using Nat = std::vector<Word>;
using View = std::span<const Word>;

inline void normalize(Nat &a) { a.resize(normalized_size(a.data(), a.size())); }
inline View trimmed(View a) { return a.first(normalized_size(a.data(), a.size())); }
Nat from_u64(uint64_t v);

int compare(View a, View b);
Nat add(View a, View b);
Nat sub(View a, View b); // a >= b
Nat mul(View a, View b);
Nat sqr(View a);
// q = a / b and r = a mod b for b != 0; either pointer may be null.
void divrem(View a, View b, Nat *q, Nat *r);
Nat shift_left(View a, uint64_t bits);
Nat shift_right(View a, uint64_t bits);
uint64_t bit_length(View a);

// base^e; the caller has checked that the result is of a sensible size.
Nat pow(View base, uint64_t e);
// floor(a^(1/n)) for n >= 1.
Nat root(View a, uint64_t n);
// n! for small n.
Nat factorial(uint64_t n);
Nat gcd(View a, View b);

// Digits of a in radix 2..36, most significant first, "0" for zero.
std::string to_digits(View a, unsigned radix);
// The sum of values[i] * radix^(count-1-i) for radix >= 2 and digit values
// below 36 (they may exceed the radix).
Nat from_digits(const uint8_t *values, size_t count, unsigned radix);

} // namespace karvo::kernel
