// Division with remainder: schoolbook (Knuth's Algorithm D) below
// Tuning::div_dc limbs of divisor, recursive divide and conquer above it, and
// division by a reciprocal from Newton's iteration (Barrett) once both the
// divisor and the quotient reach Tuning::div_newton limbs.
#pragma once

#include "kernels/limb.h"
#include "kernels/nat.h"

namespace karvo::kernel {

// q = a / b, r = a mod b for an >= bn >= 1 and b[bn - 1] != 0. q has
// an - bn + 1 limbs, r has bn limbs; neither overlaps a or b.
void divrem(Limb *q, Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn,
            const Tuning &t = default_tuning());

// The building blocks, on a normalised divisor d (top bit set) of dn >= 2
// limbs. Each divides u in place: the quotient's nn - dn low limbs go to q,
// its top limb (0 or 1) is returned, and the remainder is left in u[0, dn).
Limb div_basecase(Limb *q, Limb *u, size_t nn, const Limb *d, size_t dn);
// u of 2n limbs by d of n limbs.
Limb div_dc_n(Limb *q, Limb *u, const Limb *d, size_t n, const Tuning &t);
// Any nn >= dn: schoolbook or blocks of divide and conquer, by Tuning::div_dc.
Limb div_qr(Limb *q, Limb *u, size_t nn, const Limb *d, size_t dn, const Tuning &t);
// Any nn >= dn: blocks of the quotient, each the top of one product by a
// reciprocal of d's top limbs, corrected with one product by d.
Limb div_mu(Limb *q, Limb *u, size_t nn, const Limb *d, size_t dn, const Tuning &t);

// An approximate quotient, for when the remainder is not wanted: q (qn + 1
// limbs, qn = an - dn <= dn) is at least floor(a / d) and at most
// kApproxQuotientError more, for a normalised d (top bit set) of dn >= 2 limbs.
// Each halving of divide and conquer leaves out the product that would correct
// its low half, which costs at most 2; so does cutting d to qn limbs. a is
// overwritten.
constexpr Limb kApproxQuotientError = 64;
void div_appr(Limb *q, Limb *a, size_t an, const Limb *d, size_t dn, const Tuning &t);
// The same for u of 2n limbs by d of n limbs; returns the top limb as
// div_dc_n does.
Limb div_appr_dc_n(Limb *q, Limb *u, const Limb *d, size_t n, const Tuning &t);

// Newton's iteration for a normalised a of n >= 1 limbs: x (n + 1 limbs,
// B^n <= x < 2 B^n) with a x < B^(2n) <= a (x + 2). One division below
// Tuning::inv_newton limbs.
void invert_approx(Limb *x, const Limb *a, size_t n, const Tuning &t);
// floor(B^(dn + qn) / d) exactly, for d of dn limbs without top zero limbs
// and qn >= 1: Newton's iteration and one product to correct it, from both
// Tuning::inv_newton and Tuning::div_newton limbs of result up, one division
// below.
Nat reciprocal_floor(View d, size_t qn, const Tuning &t);

} // namespace karvo::kernel
