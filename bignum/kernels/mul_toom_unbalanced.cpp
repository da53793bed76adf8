// Products of operands of unequal lengths below the transforms: Toom-3/2 cuts
// a in three pieces and b in two, four products of pieces instead of six;
// Toom-4/2 cuts a in four and b in two, five products instead of eight, and
// shares Toom-3's interpolation, its product having the same degree. Both
// take pieces of k limbs, k = max(an / pieces, bn / 2) rounded up, so that
// each top piece is at most k limbs.
#include <algorithm>

#include "kernels/buffer.h"
#include "kernels/mul.h"
#include "kernels/toom.h"

namespace karvo::kernel {

namespace {

// r = x + y for xn >= yn, r of xn + 1 limbs.
void add_into(Limb *r, const Limb *x, size_t xn, const Limb *y, size_t yn) {
    r[xn] = add(r, x, xn, y, yn);
}

// r = x y for any lengths, r of xn + yn limbs.
void mul_any(Limb *r, const Limb *x, size_t xn, const Limb *y, size_t yn, const Tuning &t) {
    if (xn >= yn)
        mul(r, x, xn, y, yn, t);
    else
        mul(r, y, yn, x, xn, t);
}

// b(1) = b0 + b1 and |b(-1)| = |b0 - b1| (top limb zero) for b = b0 + b1 X,
// each of k + 1 limbs; returns whether b(-1) < 0.
bool evaluate_halves(Limb *p1, Limb *m1, const Limb *b, size_t k, size_t u) {
    add_into(p1, b, k, b + k, u);
    const bool negative = abs_sub(m1, b, k, b + k, u);
    m1[k] = 0;
    return negative;
}

} // namespace

size_t toom_unbalanced_piece(size_t an, size_t bn, size_t a_pieces) {
    return std::max((an + a_pieces - 1) / a_pieces, (bn + 1) / 2);
}

void mul_toom32(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t) {
    // a = a0 + a1 X + a2 X^2 and b = b0 + b1 X, X = B^k, the top pieces of s
    // and u limbs.
    const size_t k = toom_unbalanced_piece(an, bn, 3), s = an - 2 * k, u = bn - k;
    const size_t m = k + 1, w = 2 * m, rn = an + bn;
    ScratchBuffer<1024> space(4 * m + 3 * w + mul_scratch_size(m));
    Limb *ap1 = space.data(), *am1 = ap1 + m, *bp1 = am1 + m, *bm1 = bp1 + m;
    Limb *v1 = bm1 + m, *vm1 = v1 + w, *sum = vm1 + w, *rest = sum + w;
    const Limb *a0 = a, *a1 = a + k, *a2 = a + 2 * k;

    add_into(am1, a0, k, a2, s); // a0 + a2, for the moment
    ap1[k] = am1[k] + add_n(ap1, am1, a1, k);
    bool negative = abs_sub(am1, am1, m, a1, k);
    negative ^= evaluate_halves(bp1, bm1, b, k, u);
    mul_n(v1, ap1, bp1, m, t, rest);
    mul_n(vm1, am1, bm1, m, t, rest);
    mul_n(r, a0, b, k, t, rest);            // c0
    mul_any(r + 3 * k, a2, s, b + k, u, t); // c3
    std::fill(r + 2 * k, r + 3 * k, Limb(0));

    // v(1) = c0 + c1 + c2 + c3 and v(-1) = c0 - c1 + c2 - c3: half their sum
    // is c0 + c2, half their difference c1 + c3. v(1) >= |v(-1)|.
    add_n(sum, v1, vm1, w);
    sub_n(vm1, v1, vm1, w);
    Limb *even = negative ? vm1 : sum, *odd = negative ? sum : vm1;
    rshift(even, even, w, 1);
    rshift(odd, odd, w, 1);
    sub(even, even, w, r, 2 * k);       // c2
    sub(odd, odd, w, r + 3 * k, s + u); // c1 < 2 B^2k
    add(r + k, r + k, rn - k, odd, 2 * k + 1);
    // c2 < 2 B^(k + max(s, u)) and r ends k + s + u limbs above it.
    add(r + 2 * k, r + 2 * k, rn - 2 * k, even, k + std::max(s, u) + 1);
}

void mul_toom42(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t) {
    // a = a0 + a1 X + a2 X^2 + a3 X^3 and b = b0 + b1 X, X = B^k, the top
    // pieces of s and u limbs.
    const size_t k = toom_unbalanced_piece(an, bn, 4), s = an - 3 * k, u = bn - k;
    const size_t m = k + 1, w = 2 * m;
    ScratchBuffer<1024> space(6 * m + 3 * w + mul_scratch_size(m));
    Limb *ap1 = space.data(), *am1 = ap1 + m, *ap2 = am1 + m, *bp1 = ap2 + m, *bm1 = bp1 + m,
         *bp2 = bm1 + m;
    Limb *v1 = bp2 + m, *vm1 = v1 + w, *v2 = vm1 + w, *rest = v2 + w;
    const Limb *a0 = a, *a1 = a + k, *a2 = a + 2 * k, *a3 = a + 3 * k;

    // a(1) and |a(-1)| from a0 + a2 and a1 + a3; a(2) by Horner's rule.
    add_into(ap2, a0, k, a2, k);
    add_into(bp2, a1, k, a3, s);
    add_n(ap1, ap2, bp2, m);
    bool negative = abs_sub(am1, ap2, m, bp2, m);
    std::copy(a3, a3 + s, ap2);
    std::fill(ap2 + s, ap2 + m, Limb(0));
    for (const Limb *piece : {a2, a1, a0}) {
        lshift(ap2, ap2, m, 1);
        add(ap2, ap2, m, piece, k);
    }
    negative ^= evaluate_halves(bp1, bm1, b, k, u);
    add(bp2, bp1, m, b + k, u); // b0 + 2 b1

    mul_n(v1, ap1, bp1, m, t, rest);
    mul_n(vm1, am1, bm1, m, t, rest);
    mul_n(v2, ap2, bp2, m, t, rest);
    mul_n(r, a0, b, k, t, rest);            // c0
    mul_any(r + 4 * k, a3, s, b + k, u, t); // c4
    // c3 = a2 b1 + a3 b0 < 2 B^(k + max(s, u)).
    toom_interpolate_5(r, an + bn, k, v1, vm1, v2, negative, k + std::max(s, u) + 1);
}

} // namespace karvo::kernel
