// Linear-time limb operations: carries, single-limb products and shifts.
#pragma once

#include "kernels/limb.h"

namespace karvo::kernel {

// Three-way comparison of two n-limb numbers.
int cmp_n(const Limb *a, const Limb *b, size_t n);
// Three-way comparison of normalised numbers of any lengths.
int cmp(const Limb *a, size_t an, const Limb *b, size_t bn);

// r = a + b over n limbs; returns the carry. r may be a or b.
Limb add_n(Limb *r, const Limb *a, const Limb *b, size_t n);
// r = a + b with an >= bn; r has an limbs; returns the carry. r may be a.
Limb add(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn);
// r = a + w over n limbs; returns the carry. r may be a.
Limb add_1(Limb *r, const Limb *a, size_t n, Limb w);
// r = a - b over n limbs; returns the borrow. r may be a or b.
Limb sub_n(Limb *r, const Limb *a, const Limb *b, size_t n);
// r = a - b with an >= bn; r has an limbs; returns the borrow. r may be a.
Limb sub(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn);
// r = a - w over n limbs; returns the borrow. r may be a.
Limb sub_1(Limb *r, const Limb *a, size_t n, Limb w);

// r = a * w over n limbs; returns the carry limb. r may be a.
Limb mul_1(Limb *r, const Limb *a, size_t n, Limb w);
// r += a * w over n limbs; returns the carry limb.
Limb addmul_1(Limb *r, const Limb *a, size_t n, Limb w);
// r[0, n] += a * (w0 + w1 B) for a of n limbs and r of n + 1 limbs; returns
// the limb above them. Two rows of a product in one pass over r.
Limb addmul_2(Limb *r, const Limb *a, size_t n, Limb w0, Limb w1);
// r -= a * w over n limbs; returns the borrow limb.
Limb submul_1(Limb *r, const Limb *a, size_t n, Limb w);

// r = a << s for 0 < s < 64 over n limbs; returns the bits shifted out. r may
// be a, or lie above it.
Limb lshift(Limb *r, const Limb *a, size_t n, unsigned s);
// r = a >> s for 0 < s < 64 over n limbs; returns the bits shifted out, at the
// top of the limb. r may be a, or lie below it.
Limb rshift(Limb *r, const Limb *a, size_t n, unsigned s);

// Division of a two-limb number (u1 u0), u1 < d, by a normalised d (top bit
// set) with v = floor((B^2 - 1) / d) - B: two multiplications instead of a
// hardware division (Moller and Granlund, "Improved division by invariant
// integers", 2011). Returns the quotient, the remainder goes to r.
inline Limb divide_2_by_1(Limb &r, Limb u1, Limb u0, Limb d, Limb v) {
    const DLimb q = DLimb(v) * u1 + ((DLimb(u1) << kLimbBits) | u0);
    Limb q1 = Limb(q >> kLimbBits) + 1;
    r = u0 - q1 * d;
    if (r > Limb(q)) {
        --q1;
        r += d;
    }
    if (r >= d) {
        ++q1;
        r -= d;
    }
    return q1;
}

// q = a / d over n limbs, returns a mod d; d != 0. q may be a.
Limb divrem_1(Limb *q, const Limb *a, size_t n, Limb d);

} // namespace karvo::kernel
