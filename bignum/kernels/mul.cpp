// Multiplication: schoolbook below kKaratsubaThreshold words, Karatsuba's
// three half-size products above it. Unbalanced operands are cut into
// pieces of the shorter one's length.
#include <algorithm>
#include <cstring>
#include <vector>

#include "kernels/kernels.h"

namespace karvo::kernel {

namespace {

constexpr size_t kKaratsubaThreshold = 32;

void mul_n(Word *r, const Word *a, const Word *b, size_t n);

// r (2n words) = a * b, both n words, n >= kKaratsubaThreshold.
void mul_karatsuba(Word *r, const Word *a, const Word *b, size_t n) {
    const size_t lo = (n + 1) / 2, hi = n - lo;
    // z0 = a0 b0 in r[0, 2lo), z2 = a1 b1 in r[2lo, 2n).
    mul_n(r, a, b, lo);
    mul(r + 2 * lo, a + lo, hi, b + lo, hi);
    // z1 = (a0 + a1)(b0 + b1) - z0 - z2, added at word lo.
    std::vector<Word> sa(lo + 1), sb(lo + 1), z1(2 * lo + 2);
    sa[lo] = add(sa.data(), a, lo, a + lo, hi);
    sb[lo] = add(sb.data(), b, lo, b + lo, hi);
    mul_n(z1.data(), sa.data(), sb.data(), lo + 1);
    sub(z1.data(), z1.data(), z1.size(), r, 2 * lo);
    sub(z1.data(), z1.data(), z1.size(), r + 2 * lo, 2 * hi);
    size_t z1n = normalized_size(z1.data(), z1.size());
    add(r + lo, r + lo, 2 * n - lo, z1.data(), std::min(z1n, 2 * n - lo));
}

void mul_n(Word *r, const Word *a, const Word *b, size_t n) {
    if (n < kKaratsubaThreshold)
        mul_basecase(r, a, n, b, n);
    else
        mul_karatsuba(r, a, b, n);
}

} // namespace

void mul_basecase(Word *r, const Word *a, size_t an, const Word *b, size_t bn) {
    r[an] = mul_1(r, a, an, b[0]);
    for (size_t j = 1; j < bn; ++j)
        r[an + j] = addmul_1(r + j, a, an, b[j]);
}

void mul(Word *r, const Word *a, size_t an, const Word *b, size_t bn) {
    if (bn < kKaratsubaThreshold) {
        mul_basecase(r, a, an, b, bn);
        return;
    }
    if (an == bn) {
        mul_n(r, a, b, an);
        return;
    }
    // Pieces of a, bn words each, multiplied by b and accumulated.
    std::memset(r, 0, (an + bn) * sizeof(Word));
    std::vector<Word> piece(2 * bn);
    for (size_t off = 0; off < an; off += bn) {
        const size_t len = std::min(bn, an - off);
        if (len == bn)
            mul_n(piece.data(), a + off, b, bn);
        else
            mul(piece.data(), b, bn, a + off, len);
        add(r + off, r + off, an + bn - off, piece.data(), len + bn);
    }
}

void sqr(Word *r, const Word *a, size_t n) { mul_n(r, a, a, n); }

} // namespace karvo::kernel
