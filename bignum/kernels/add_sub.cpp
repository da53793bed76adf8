// Addition, subtraction and single-word multiply-accumulate with carries:
// textbook loops over 64-bit intermediates.
#include "kernels/kernels.h"

namespace karvo::kernel {

int cmp_n(const Word *a, const Word *b, size_t n) {
    while (n-- > 0) {
        if (a[n] != b[n])
            return a[n] > b[n] ? 1 : -1;
    }
    return 0;
}

int cmp(const Word *a, size_t an, const Word *b, size_t bn) {
    if (an != bn)
        return an > bn ? 1 : -1;
    return cmp_n(a, b, an);
}

Word add_n(Word *r, const Word *a, const Word *b, size_t n) {
    DWord carry = 0;
    for (size_t i = 0; i < n; ++i) {
        carry += DWord(a[i]) + b[i];
        r[i] = Word(carry);
        carry >>= kWordBits;
    }
    return Word(carry);
}

Word add_1(Word *r, const Word *a, size_t n, Word w) {
    DWord carry = w;
    size_t i = 0;
    for (; i < n && carry != 0; ++i) {
        carry += a[i];
        r[i] = Word(carry);
        carry >>= kWordBits;
    }
    if (r != a) {
        for (; i < n; ++i)
            r[i] = a[i];
    }
    return Word(carry);
}

Word add(Word *r, const Word *a, size_t an, const Word *b, size_t bn) {
    Word carry = add_n(r, a, b, bn);
    return add_1(r + bn, a + bn, an - bn, carry);
}

Word sub_n(Word *r, const Word *a, const Word *b, size_t n) {
    DWord borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        DWord t = DWord(a[i]) - b[i] - borrow;
        r[i] = Word(t);
        borrow = (t >> kWordBits) & 1;
    }
    return Word(borrow);
}

Word sub_1(Word *r, const Word *a, size_t n, Word w) {
    Word borrow = w;
    size_t i = 0;
    for (; i < n && borrow != 0; ++i) {
        Word ai = a[i];
        r[i] = ai - borrow;
        borrow = ai < borrow ? 1 : 0;
    }
    if (r != a) {
        for (; i < n; ++i)
            r[i] = a[i];
    }
    return borrow;
}

Word sub(Word *r, const Word *a, size_t an, const Word *b, size_t bn) {
    Word borrow = sub_n(r, a, b, bn);
    return sub_1(r + bn, a + bn, an - bn, borrow);
}

Word mul_1(Word *r, const Word *a, size_t n, Word w) {
    DWord carry = 0;
    for (size_t i = 0; i < n; ++i) {
        carry += DWord(a[i]) * w;
        r[i] = Word(carry);
        carry >>= kWordBits;
    }
    return Word(carry);
}

// (2^32-1)^2 + 2 (2^32-1) = 2^64 - 1: product, old word and carry fit in 64 bits.
Word addmul_1(Word *r, const Word *a, size_t n, Word w) {
    DWord carry = 0;
    for (size_t i = 0; i < n; ++i) {
        carry += DWord(a[i]) * w + r[i];
        r[i] = Word(carry);
        carry >>= kWordBits;
    }
    return Word(carry);
}

Word submul_1(Word *r, const Word *a, size_t n, Word w) {
    DWord borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        DWord p = DWord(a[i]) * w + borrow;
        Word low = Word(p);
        borrow = p >> kWordBits;
        if (r[i] < low)
            ++borrow;
        r[i] -= low;
    }
    return Word(borrow);
}

} // namespace karvo::kernel
