// Chooses the multiplication algorithm by size. Unequal operands go to the
// transform when they are long enough, else to Toom-3/2 or Toom-4/2 when the
// longer is up to three times the shorter, and are otherwise cut into pieces
// of twice (or, below Toom-4/2, once) the shorter one's length.
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

// The size bounds first, then the crossovers; the transform takes any size
// from Karatsuba's crossover on.
MulAlgorithm choose_mul(size_t n, size_t karatsuba, size_t toom3, size_t toom4, size_t ntt) {
    if (n < karatsuba || n < kMinKaratsuba)
        return MulAlgorithm::basecase;
    if (n < toom3 || n < 3)
        return MulAlgorithm::karatsuba;
    if (n >= ntt)
        return MulAlgorithm::ntt;
    if (n < kMinToom3)
        return MulAlgorithm::karatsuba;
    if (n < toom4 || n < kMinToom4)
        return MulAlgorithm::toom3;
    return MulAlgorithm::toom4;
}

MulAlgorithm choose_mul(size_t n, const Tuning &t) {
    return choose_mul(n, t.karatsuba, t.toom3, t.toom4, t.ntt);
}

MulAlgorithm choose_sqr(size_t n, const Tuning &t) {
    return choose_mul(n, t.sqr_karatsuba, t.sqr_toom3, t.sqr_toom4, t.sqr_ntt);
}

void mul_n(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch) {
    switch (choose_mul(n, t)) {
    case MulAlgorithm::basecase:
        return mul_basecase(r, a, n, b, n);
    case MulAlgorithm::karatsuba:
        return mul_karatsuba(r, a, b, n, t, scratch);
    case MulAlgorithm::toom3:
        return mul_toom3(r, a, b, n, t, scratch);
    case MulAlgorithm::toom4:
        return mul_toom4(r, a, b, n, t, scratch);
    case MulAlgorithm::ntt:
        return mul_ntt(r, a, n, b, n);
    }
}

void sqr(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch) {
    switch (choose_sqr(n, t)) {
    case MulAlgorithm::basecase:
        return sqr_basecase(r, a, n);
    case MulAlgorithm::karatsuba:
        return sqr_karatsuba(r, a, n, t, scratch);
    case MulAlgorithm::toom3:
        return sqr_toom3(r, a, n, t, scratch);
    case MulAlgorithm::toom4:
        return sqr_toom4(r, a, n, t, scratch);
    case MulAlgorithm::ntt:
        return sqr_ntt(r, a, n);
    }
}

namespace {

// Whether Toom-3/2 or Toom-4/2 (a in that many pieces) can take an by bn: their
// top pieces must not be empty.
bool toom_fits(size_t an, size_t bn, size_t pieces) {
    const size_t k = toom_unbalanced_piece(an, bn, pieces);
    return an > (pieces - 1) * k && bn > k;
}

// Only the recursive algorithms take scratch.
bool recursive(MulAlgorithm algorithm) {
    return algorithm != MulAlgorithm::basecase && algorithm != MulAlgorithm::ntt;
}

} // namespace

void mul_n(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t) {
    Scratch scratch(recursive(choose_mul(n, t)) ? mul_scratch_size(n) : 0);
    mul_n(r, a, b, n, t, scratch.data());
}

void sqr(Limb *r, const Limb *a, size_t n, const Tuning &t) {
    Scratch scratch(recursive(choose_sqr(n, t)) ? mul_scratch_size(n) : 0);
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
    // The transform handles any shape at once, at a cost that follows an + bn where
    // pieces cost an / bn products of bn limbs; below it, balanced pieces.
    if (bn >= t.ntt || (bn >= t.ntt_unbalanced && an + bn >= 2 * t.ntt)) {
        mul_ntt(r, a, an, b, bn);
        return;
    }
    // Toom-3/2 up to a ratio of 7/4, Toom-4/2 below 3, when their top pieces
    // are not empty. Nearer to balance, and when the shorter operand is below
    // Karatsuba's size (twice that for Toom-4/2, whose pieces are its halves),
    // a balanced product and a short one cost less.
    if (an < 3 * bn && 8 * an >= 9 * bn && bn >= t.karatsuba) {
        const size_t pieces = 4 * an < 7 * bn ? 3 : 4;
        if ((pieces == 3 || bn >= 2 * t.karatsuba) && toom_fits(an, bn, pieces)) {
            if (pieces == 3)
                mul_toom32(r, a, an, b, bn, t);
            else
                mul_toom42(r, a, an, b, bn, t);
            return;
        }
    }
    // Otherwise pieces of twice the shorter length by Toom-4/2, which costs less
    // than two balanced products, while they last; then a balanced piece and a
    // short one.
    const bool twice = bn >= 2 * t.karatsuba && toom_fits(2 * bn, bn, 4);
    std::fill(r, r + an + bn, 0);
    std::vector<Limb> piece(3 * bn);
    Scratch scratch(mul_scratch_size(bn));
    for (size_t off = 0, len = 0; off < an; off += len) {
        const size_t left = an - off;
        if (twice && left >= 2 * bn) {
            len = 2 * bn;
            mul_toom42(piece.data(), a + off, len, b, bn, t);
        } else if (left >= bn) {
            len = bn;
            mul_n(piece.data(), a + off, b, bn, t, scratch.data());
        } else {
            len = left;
            mul(piece.data(), b, bn, a + off, len, t);
        }
        add(r + off, r + off, an + bn - off, piece.data(), len + bn);
    }
}

} // namespace karvo::kernel
