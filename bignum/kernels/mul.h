// Multiplication: schoolbook, Karatsuba, Toom-3, Toom-4 and a number-theoretic
// transform, chosen by size (see Tuning), and Toom-3/2 and Toom-4/2 for
// operands of unequal lengths.
#pragma once

#include "kernels/limb.h"

namespace karvo::kernel {

// r = a * b for an >= bn >= 1; r has an + bn limbs and overlaps neither.
void mul(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn,
         const Tuning &t = default_tuning());
// r = a * b for n-limb a and b, n >= 1; r has 2n limbs and overlaps neither.
void mul_n(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t = default_tuning());
// r = a * a for n >= 1; r has 2n limbs and does not overlap a.
void sqr(Limb *r, const Limb *a, size_t n, const Tuning &t = default_tuning());

// The algorithm for an n-limb product or square under t: the one the
// dispatch runs and the one whose scratch it sizes.
enum class MulAlgorithm { basecase, karatsuba, toom3, toom4, ntt };
MulAlgorithm choose_mul(size_t n, const Tuning &t);
MulAlgorithm choose_sqr(size_t n, const Tuning &t);

// Working space for the recursive algorithms at n limbs, their recursion
// included, whatever the Tuning. Each level takes at most 15 (n / 4 + 2)
// limbs and recurses on at most n / 3 + 2, so 6n covers every level from
// about 50 limbs on; below, the constant covers the worst chain of levels
// (checked exhaustively).
constexpr size_t mul_scratch_size(size_t n) { return 6 * n + 64; }

// As above, with scratch of mul_scratch_size(n) limbs.
void mul_n(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch);
void sqr(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch);

// The algorithms themselves, each for balanced n-limb operands.
void mul_basecase(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn);
void sqr_basecase(Limb *r, const Limb *a, size_t n);
// n >= kMinKaratsuba.
void mul_karatsuba(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch);
void sqr_karatsuba(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch);
// n >= kMinToom3, so that the top piece is not empty.
void mul_toom3(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch);
void sqr_toom3(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch);
// n >= kMinToom4, likewise.
void mul_toom4(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch);
void sqr_toom4(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch);
// Unbalanced operands, r of an + bn limbs: Toom-3/2 and Toom-4/2 on pieces of
// toom_unbalanced_piece(an, bn, 3 or 4) limbs = k, for an > bn, with a's top
// piece (an - 2k or an - 3k limbs) and b's (bn - k limbs) not empty.
size_t toom_unbalanced_piece(size_t an, size_t bn, size_t a_pieces);
void mul_toom32(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t);
void mul_toom42(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t);
// Any lengths an >= bn >= 1, r of an + bn limbs. The transforms use vector
// instructions where the processor has them; tests can ask for each kind (a
// request for vector gets scalar on processors without them). `vector` is
// the path's own kind, IFMA on the avx512 path; `doubles` the AVX2 doubles,
// which the avx512 path also has; `best` chooses between them by
// Tuning::ntt_ifma.
enum class NttArithmetic { best, scalar, vector, doubles };
void mul_ntt(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn,
             NttArithmetic arithmetic = NttArithmetic::best);
void sqr_ntt(Limb *r, const Limb *a, size_t n, NttArithmetic arithmetic = NttArithmetic::best);

} // namespace karvo::kernel
