// Chooses the multiplication algorithm by size. Unbalanced operands are cut
// into pieces of the shorter one's length, each multiplied balanced.
#include <algorithm>
#include <vector>

#include "kernels/arith.h"
#include "kernels/buffer.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// Scratch for products up to about 160 limbs stays on the stack.
using Scratch = ScratchBuffer<1024>;

} // namespace

// Toom-3 and Toom-4 need a non-empty top piece: at 4 limbs Toom-3 would have
// none, so Karatsuba serves there, and Toom-3 below 13 limbs.
void mul_n(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch) {
    if (n < t.karatsuba || n < 2)
        mul_basecase(r, a, n, b, n);
    else if (n < t.toom3 || n < 3)
        mul_karatsuba(r, a, b, n, t, scratch);
    else if (n >= t.ntt)
        mul_ntt(r, a, n, b, n);
    else if (n < 5)
        mul_karatsuba(r, a, b, n, t, scratch);
    else if (n < t.toom4 || n < 13)
        mul_toom3(r, a, b, n, t, scratch);
    else
        mul_toom4(r, a, b, n, t, scratch);
}

void sqr(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch) {
    if (n < t.sqr_karatsuba || n < 2)
        sqr_basecase(r, a, n);
    else if (n < t.sqr_toom3 || n < 3)
        sqr_karatsuba(r, a, n, t, scratch);
    else if (n >= t.sqr_ntt)
        sqr_ntt(r, a, n);
    else if (n < 5)
        sqr_karatsuba(r, a, n, t, scratch);
    else if (n < t.sqr_toom4 || n < 13)
        sqr_toom3(r, a, n, t, scratch);
    else
        sqr_toom4(r, a, n, t, scratch);
}

// The scratch is left out where schoolbook or the transform does the whole product.
void mul_n(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t) {
    const bool recursive = n >= t.karatsuba && !(n >= t.toom3 && n >= 3 && n >= t.ntt);
    Scratch scratch(recursive ? mul_scratch_size(n) : 0);
    mul_n(r, a, b, n, t, scratch.data());
}

void sqr(Limb *r, const Limb *a, size_t n, const Tuning &t) {
    const bool recursive = n >= t.sqr_karatsuba && !(n >= t.sqr_toom3 && n >= 3 && n >= t.sqr_ntt);
    Scratch scratch(recursive ? mul_scratch_size(n) : 0);
    sqr(r, a, n, t, scratch.data());
}

void mul(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t) {
    if (an == bn) {
        mul_n(r, a, b, an, t);
        return;
    }
    if (bn < t.karatsuba) {
        mul_basecase(r, a, an, b, bn);
        return;
    }
    // The transform handles any shape at once; below it, balanced pieces.
    if (bn >= t.ntt) {
        mul_ntt(r, a, an, b, bn);
        return;
    }
    std::fill(r, r + an + bn, 0);
    std::vector<Limb> piece(2 * bn);
    Scratch scratch(mul_scratch_size(bn));
    for (size_t off = 0; off < an; off += bn) {
        const size_t len = std::min(bn, an - off);
        if (len == bn)
            mul_n(piece.data(), a + off, b, bn, t, scratch.data());
        else
            mul(piece.data(), b, bn, a + off, len, t);
        add(r + off, r + off, an + bn - off, piece.data(), len + bn);
    }
}

} // namespace karvo::kernel
