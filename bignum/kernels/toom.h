// Steps shared by Karatsuba and the Toom algorithms: signed differences of
// evaluations, kept as a magnitude and a sign.
#pragma once

#include <algorithm>

#include "kernels/arith.h"

namespace karvo::kernel {

// r = |a - b| over an limbs for an >= bn; returns whether a < b. r may be a
// or b.
inline bool abs_sub(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    const bool less = normalized_size(a + bn, an - bn) == 0 && cmp_n(a, b, bn) < 0;
    if (!less) {
        sub(r, a, an, b, bn);
    } else {
        sub_n(r, b, a, bn);
        std::fill(r + bn, r + an, 0);
    }
    return less;
}

// r = a + b or a - b over n limbs; r may be a or b.
inline void add_or_sub_n(Limb *r, const Limb *a, const Limb *b, size_t n, bool subtract) {
    if (subtract)
        sub_n(r, a, b, n);
    else
        add_n(r, a, b, n);
}

// q = a / d for a multiple of d over n limbs, d a divisor of B - 1 (3, 5, 15)
// given as (B - 1) / d: a d = q (B - 1), so q is minus the running sum of
// the limbs of a (B - 1) / d. Unlike multiplying by the inverse of d, the
// products stay off the chain of borrows, which makes it twice as fast.
// q may be a.
inline void divexact_by_divisor_of_bm1(Limb *q, const Limb *a, size_t n, Limb bm1_over_d) {
    // h - low, then h - high less that borrow: two steps of the chain a limb.
    Limb h = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * bm1_over_d;
        unsigned char borrow = 0;
        h = sub_borrow(h, Limb(p), borrow);
        q[i] = h;
        h = sub_borrow(h, Limb(p >> kLimbBits), borrow);
    }
}

// Toom's interpolation from the values at 0, 1, -1, 2 and infinity of a
// product of degree 4 in X = B^k (mul_toom3.cpp): r (rn limbs) holds the value
// at 0 in its first 2k limbs and the one at infinity from limb 4k; v1, vm1
// (the magnitude of the value at -1, `negative` when it is below zero) and v2
// have 2k + 2 limbs and are overwritten; the coefficient of X^3 is below
// B^c3_limbs.
void toom_interpolate_5(Limb *r, size_t rn, size_t k, Limb *v1, Limb *vm1, Limb *v2, bool negative,
                        size_t c3_limbs);

inline void divexact_by3_fast(Limb *q, const Limb *a, size_t n) {
    divexact_by_divisor_of_bm1(q, a, n, ~Limb(0) / 3);
}

} // namespace karvo::kernel
