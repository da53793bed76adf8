// Natural numbers on word spans, least significant word first. No signs, no
// messages, no growth policy: a source is a pointer and a word count, a
// destination a pointer to enough words. Each function states the sizes it
// assumes and which operands may overlap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace karvo::kernel {

using Word = uint32_t;
using DWord = uint64_t;
constexpr unsigned kWordBits = 32;

// Length of a without its top zero words.
inline size_t normalized_size(const Word *a, size_t n) {
    while (n > 0 && a[n - 1] == 0)
        --n;
    return n;
}
// Three-way comparison of two n-word numbers.
int cmp_n(const Word *a, const Word *b, size_t n);
// Three-way comparison of normalised numbers of any lengths.
int cmp(const Word *a, size_t an, const Word *b, size_t bn);

// r = a + b over n words; returns the carry. r may be a or b.
Word add_n(Word *r, const Word *a, const Word *b, size_t n);
// r = a + b with an >= bn; r has an words; returns the carry. r may be a.
Word add(Word *r, const Word *a, size_t an, const Word *b, size_t bn);
// r = a + w over n words; returns the carry. r may be a.
Word add_1(Word *r, const Word *a, size_t n, Word w);
// r = a - b over n words; returns the borrow. r may be a or b.
Word sub_n(Word *r, const Word *a, const Word *b, size_t n);
// r = a - b with an >= bn; r has an words; returns the borrow. r may be a.
Word sub(Word *r, const Word *a, size_t an, const Word *b, size_t bn);
// r = a - w over n words; returns the borrow. r may be a.
Word sub_1(Word *r, const Word *a, size_t n, Word w);

// r = a * w over n words; returns the carry word. r may be a.
Word mul_1(Word *r, const Word *a, size_t n, Word w);
// r += a * w over n words; returns the carry word.
Word addmul_1(Word *r, const Word *a, size_t n, Word w);
// r -= a * w over n words; returns the borrow word.
Word submul_1(Word *r, const Word *a, size_t n, Word w);

// r = a * b with an >= bn >= 1; r has an + bn words and overlaps neither.
void mul(Word *r, const Word *a, size_t an, const Word *b, size_t bn);
// r = a * a with n >= 1; r has 2n words and does not overlap a.
void sqr(Word *r, const Word *a, size_t n);
// The schoolbook product, the reference the faster paths are checked against.
void mul_basecase(Word *r, const Word *a, size_t an, const Word *b, size_t bn);

// q = a / d over n words, returns a mod d; d != 0. q may be a.
Word divrem_1(Word *q, const Word *a, size_t n, Word d);
// a mod d over n words; d != 0.
Word mod_1(const Word *a, size_t n, Word d);
// q = a / b, r = a mod b for an >= bn >= 2 and b[bn - 1] != 0. q has
// an - bn + 1 words, r has bn words; neither overlaps a or b.
void divrem(Word *q, Word *r, const Word *a, size_t an, const Word *b, size_t bn);

// r = a << s for 0 < s < 32 over n words; returns the bits shifted out. r may be a.
Word lshift(Word *r, const Word *a, size_t n, unsigned s);
// r = a >> s for 0 < s < 32 over n words; returns the bits shifted out (at the top
// of the word). r may be a.
Word rshift(Word *r, const Word *a, size_t n, unsigned s);

} // namespace karvo::kernel
