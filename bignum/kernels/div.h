// Division with remainder: schoolbook (Knuth's Algorithm D) below
// Tuning::div_dc limbs of divisor, recursive divide and conquer above it.
#pragma once

#include "kernels/limb.h"

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

} // namespace karvo::kernel
