// Linear-time limb operations: carries, single-limb products and shifts.
#pragma once

#include "kernels/arith_x86.h"
#include "kernels/limb.h"

namespace karvo::kernel {

// Three-way comparison of two n-limb numbers.
int cmp_n(const Limb *a, const Limb *b, size_t n);
// Three-way comparison of normalised numbers of any lengths.
int cmp(const Limb *a, size_t an, const Limb *b, size_t bn);

// Plain C++ loops: the rows below on processors without mulx and adx, and
// under KARVO_ISA=portable.
namespace portable {
Limb add_n(Limb *r, const Limb *a, const Limb *b, size_t n);
Limb sub_n(Limb *r, const Limb *a, const Limb *b, size_t n);
Limb mul_1(Limb *r, const Limb *a, size_t n, Limb w);
Limb addmul_1(Limb *r, const Limb *a, size_t n, Limb w);
Limb submul_1(Limb *r, const Limb *a, size_t n, Limb w);
} // namespace portable

// The rows are inline: a Toom product makes thousands of short ones, and a
// call with its processor check cost as much as a row of 16 limbs.
#ifdef KARVO_HAVE_X86_ROWS
#define KARVO_ROW(name, ...)                                                                       \
    if (n > 0 && x86::has_rows())                                                                  \
        return x86::name(__VA_ARGS__);                                                             \
    return portable::name(__VA_ARGS__)
#else
#define KARVO_ROW(name, ...) return portable::name(__VA_ARGS__)
#endif

// r = a + b over n limbs; returns the carry. r may be a or b.
inline Limb add_n(Limb *r, const Limb *a, const Limb *b, size_t n) { KARVO_ROW(add_n, r, a, b, n); }
// r = a - b over n limbs; returns the borrow. r may be a or b.
inline Limb sub_n(Limb *r, const Limb *a, const Limb *b, size_t n) { KARVO_ROW(sub_n, r, a, b, n); }
// r = a * w over n limbs; returns the carry limb. r may be a.
inline Limb mul_1(Limb *r, const Limb *a, size_t n, Limb w) { KARVO_ROW(mul_1, r, a, n, w); }
// r += a * w over n limbs; returns the carry limb.
inline Limb addmul_1(Limb *r, const Limb *a, size_t n, Limb w) { KARVO_ROW(addmul_1, r, a, n, w); }
// r -= a * w over n limbs; returns the borrow limb.
inline Limb submul_1(Limb *r, const Limb *a, size_t n, Limb w) { KARVO_ROW(submul_1, r, a, n, w); }
#undef KARVO_ROW

// r = a + w over n limbs; returns the carry. r may be a. The carry mostly
// stops at once, so in place this is a load or two.
inline Limb add_1(Limb *r, const Limb *a, size_t n, Limb w) {
    size_t i = 0;
    for (; i < n && w != 0; ++i) {
        const Limb t = a[i] + w;
        w = Limb(t < w);
        r[i] = t;
    }
    if (r != a) {
        for (; i < n; ++i)
            r[i] = a[i];
    }
    return w;
}
// r = a - w over n limbs; returns the borrow. r may be a.
inline Limb sub_1(Limb *r, const Limb *a, size_t n, Limb w) {
    size_t i = 0;
    for (; i < n && w != 0; ++i) {
        const Limb ai = a[i];
        r[i] = ai - w;
        w = Limb(ai < w);
    }
    if (r != a) {
        for (; i < n; ++i)
            r[i] = a[i];
    }
    return w;
}
// r = a + b with an >= bn; r has an limbs; returns the carry. r may be a.
inline Limb add(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    return add_1(r + bn, a + bn, an - bn, add_n(r, a, b, bn));
}
// r = a - b with an >= bn; r has an limbs; returns the borrow. r may be a.
inline Limb sub(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    return sub_1(r + bn, a + bn, an - bn, sub_n(r, a, b, bn));
}

// r[0, n] += a * (w0 + w1 B) for a of n limbs and r of n + 1 limbs; returns
// the limb above them. Two rows of a product in one pass over r.
Limb addmul_2(Limb *r, const Limb *a, size_t n, Limb w0, Limb w1);

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
    // (q1 q0) = v u1 + (u1 u0), the carry taken limb by limb.
    const DLimb p = DLimb(v) * u1;
    unsigned char carry = 0;
    const Limb q0 = add_carry(Limb(p), u0, carry);
    Limb q1 = add_carry(Limb(p >> kLimbBits), u1, carry) + 1;
    r = u0 - q1 * d;
    // Taken about half the time on varied data: a mask, not a branch.
    const Limb over = -Limb(r > q0);
    q1 += over;
    r += over & d;
    if (r >= d) [[unlikely]] {
        ++q1;
        r -= d;
    }
    return q1;
}

// v = floor((B^2 - 1) / d) - B for a normalised d: the reciprocal of the
// divisions above.
inline Limb reciprocal_2_by_1(Limb d) { return Limb(((DLimb(~d) << kLimbBits) | ~Limb(0)) / d); }

// v = floor((B^3 - 1) / (d1 B + d0)) - B for a normalised d1: the reciprocal
// of a two-limb divisor, from that of d1 (Moller and Granlund, algorithm 6).
inline Limb reciprocal_3_by_2(Limb d1, Limb d0) {
    Limb v = reciprocal_2_by_1(d1);
    Limb p = d1 * v + d0;
    if (p < d0) {
        --v;
        if (p >= d1) {
            --v;
            p -= d1;
        }
        p -= d1;
    }
    const DLimb t = DLimb(v) * d0;
    const Limb t1 = Limb(t >> kLimbBits), t0 = Limb(t);
    p += t1;
    if (p < t1) {
        --v;
        if (p > d1 || (p == d1 && t0 >= d0))
            --v;
    }
    return v;
}

// Division of (u2 u1 u0) by a normalised (d1 d0), with (u2 u1) below (d1 d0),
// by the reciprocal above (Moller and Granlund, algorithm 5). Returns the
// quotient; the two-limb remainder goes to (r1 r0).
inline Limb divide_3_by_2(Limb &r1, Limb &r0, Limb u2, Limb u1, Limb u0, Limb d1, Limb d0, Limb v) {
    const DLimb q = DLimb(v) * u2 + ((DLimb(u2) << kLimbBits) | u1);
    Limb q1 = Limb(q >> kLimbBits);
    const Limb q0 = Limb(q);
    const DLimb d = (DLimb(d1) << kLimbBits) | d0;
    DLimb r = (DLimb(Limb(u1 - q1 * d1)) << kLimbBits) | u0;
    r -= d;
    r -= DLimb(d0) * q1;
    ++q1;
    const Limb over = -Limb(Limb(r >> kLimbBits) >= q0);
    q1 += over;
    r += d & ((DLimb(over) << kLimbBits) | over);
    if (r >= d) [[unlikely]] {
        ++q1;
        r -= d;
    }
    r1 = Limb(r >> kLimbBits);
    r0 = Limb(r);
    return q1;
}

// q = a / d over n limbs, returns a mod d; d != 0. q may be a.
Limb divrem_1(Limb *q, const Limb *a, size_t n, Limb d);

} // namespace karvo::kernel
