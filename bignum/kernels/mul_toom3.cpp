// Toom-3 multiplication, from Tuning::toom3 limbs up to Tuning::toom4: each
// operand is split in three pieces of k limbs (the top one s <= k), the
// product polynomial is evaluated at 0, 1, -1, 2 and infinity (five products
// instead of nine) and interpolated with Bodrato's sequence, in place.
#include "kernels/mul.h"
#include "kernels/toom.h"

namespace karvo::kernel {

namespace {

// p1 = a(1), p2 = a(2) and pm1 = |a(-1)| of k + 1 limbs each; returns whether
// a(-1) < 0.
bool evaluate(Limb *p1, Limb *pm1, Limb *p2, const Limb *a, size_t k, size_t s) {
    const Limb *a0 = a, *a1 = a + k, *a2 = a + 2 * k;
    const size_t m = k + 1;
    p2[k] = add(p2, a0, k, a2, s); // a0 + a2, for the moment
    p1[k] = p2[k] + add_n(p1, p2, a1, k);
    const bool negative = abs_sub(pm1, p2, m, a1, k);
    // a(2) = 2 (a(1) + a2) - a0
    add(p2, p1, m, a2, s);
    lshift(p2, p2, m, 1);
    sub(p2, p2, m, a0, k);
    return negative;
}

void toom3(Limb *r, const Limb *a, const Limb *b, size_t n, bool square, const Tuning &t,
           Limb *scratch) {
    const size_t k = (n + 2) / 3, s = n - 2 * k, m = k + 1, w = 2 * m;
    // a's values in r, b's in scratch, then the three products of values.
    Limb *as1 = r, *asm1 = r + m, *as2 = r + 2 * m;
    Limb *bs1 = scratch, *bsm1 = scratch + m, *bs2 = scratch + 2 * m;
    Limb *v1 = scratch + 3 * m, *vm1 = v1 + w, *v2 = vm1 + w, *rest = v2 + w;

    bool negative = evaluate(as1, asm1, as2, a, k, s);
    if (square) {
        sqr(vm1, asm1, m, t, rest);
        sqr(v2, as2, m, t, rest);
        sqr(v1, as1, m, t, rest);
        negative = false;
        sqr(r, a, k, t, rest);
        sqr(r + 4 * k, a + 2 * k, s, t, rest);
    } else {
        negative ^= evaluate(bs1, bsm1, bs2, b, k, s);
        mul_n(vm1, asm1, bsm1, m, t, rest);
        mul_n(v2, as2, bs2, m, t, rest);
        mul_n(v1, as1, bs1, m, t, rest);
        mul_n(r, a, b, k, t, rest);
        mul_n(r + 4 * k, a + 2 * k, b + 2 * k, s, t, rest);
    }
    toom_interpolate_5(r, 2 * n, k, v1, vm1, v2, negative, k + s + 1); // c3 < 2 B^(k+s)
}

} // namespace

// Each step leaves a non-negative number below B^(2k + 2), as the product's
// coefficients are non-negative.
void toom_interpolate_5(Limb *r, size_t rn, size_t k, Limb *v1, Limb *vm1, Limb *v2, bool negative,
                        size_t c3_limbs) {
    const size_t w = 2 * k + 2, top = rn - 4 * k;
    const Limb *v0 = r, *vinf = r + 4 * k;
    add_or_sub_n(v2, v2, vm1, w, !negative); // 3 (c1 + c2 + 3 c3 + 5 c4)
    divexact_by3_fast(v2, v2, w);
    add_or_sub_n(vm1, v1, vm1, w, !negative); // 2 (c1 + c3)
    rshift(vm1, vm1, w, 1);
    sub(v1, v1, w, v0, 2 * k); // c1 + c2 + c3 + c4
    sub_n(v2, v2, v1, w);      // 2 c3 + 4 c4
    rshift(v2, v2, w, 1);      // c3 + 2 c4
    sub_n(v1, v1, vm1, w);     // c2 + c4
    sub(v1, v1, w, vinf, top); // c2
    sub(v2, v2, w, vinf, top); // c3 + c4
    sub(v2, v2, w, vinf, top); // c3
    sub_n(vm1, vm1, v2, w);    // c1

    // r = c0 + c1 B^k + ... + c4 B^4k: c0 and c4 are in place, c2 < 3 B^2k
    // fills the gap between them and spills a limb, c1 and c3 overlap.
    std::copy(v1, v1 + 2 * k, r + 2 * k);
    add_1(r + 4 * k, r + 4 * k, top, v1[2 * k]);
    add(r + k, r + k, rn - k, vm1, 2 * k + 1);
    add(r + 3 * k, r + 3 * k, rn - 3 * k, v2, c3_limbs);
}

void mul_toom3(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch) {
    toom3(r, a, b, n, false, t, scratch);
}

void sqr_toom3(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch) {
    toom3(r, a, a, n, true, t, scratch);
}

} // namespace karvo::kernel
