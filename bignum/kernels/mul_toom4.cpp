// Toom-4 multiplication, from Tuning::toom4 limbs up to Tuning::ntt: each
// operand is split in four pieces of k limbs (the top one s <= k), the
// product polynomial is evaluated at 0, 1, -1, 2, -2, 1/2 and infinity (seven
// products instead of sixteen) and interpolated in place.
#include "kernels/mul.h"
#include "kernels/toom.h"

namespace karvo::kernel {

namespace {

struct Signs {
    bool minus1, minus2; // whether a(-1) and a(-2) are negative
};

// Values of k + 1 limbs: p1 = a(1), pm1 = |a(-1)|, p2 = a(2), pm2 = |a(-2)|
// and ph = 8 a(1/2); each below 15 B^k.
Signs evaluate(Limb *p1, Limb *pm1, Limb *p2, Limb *pm2, Limb *ph, const Limb *a, size_t k,
               size_t s) {
    const Limb *a0 = a, *a1 = a + k, *a2 = a + 2 * k, *a3 = a + 3 * k;
    const size_t m = k + 1;
    Signs signs;
    // a(+-1) = (a0 + a2) +- (a1 + a3), the even part in p2 for the moment.
    p2[k] = add_n(p2, a0, a2, k);
    pm1[k] = add(pm1, a1, k, a3, s);
    add_n(p1, p2, pm1, m);
    signs.minus1 = abs_sub(pm1, p2, m, pm1, m);
    // a(+-2) = (a0 + 4 a2) +- 2 (a1 + 4 a3), the even part in ph.
    ph[k] = lshift(ph, a2, k, 2);
    ph[k] += add_n(ph, ph, a0, k);
    std::fill(pm2 + s, pm2 + m, 0);
    pm2[s] = lshift(pm2, a3, s, 2);
    add(pm2, pm2, m, a1, k);
    lshift(pm2, pm2, m, 1);
    add_n(p2, ph, pm2, m);
    signs.minus2 = abs_sub(pm2, ph, m, pm2, m);
    // 8 a(1/2) = ((2 a0 + a1) 2 + a2) 2 + a3
    ph[k] = lshift(ph, a0, k, 1);
    ph[k] += add_n(ph, ph, a1, k);
    lshift(ph, ph, m, 1);
    add(ph, ph, m, a2, k);
    lshift(ph, ph, m, 1);
    add(ph, ph, m, a3, s);
    return signs;
}

// r -= 2^e c for c of cn <= rn limbs, 0 < e < 64.
void sub_shifted(Limb *r, size_t rn, const Limb *c, size_t cn, unsigned e) {
    const Limb borrow = submul_1(r, c, cn, Limb(1) << e);
    sub_1(r + cn, r + cn, rn - cn, borrow);
}

void toom4(Limb *r, const Limb *a, const Limb *b, size_t n, bool square, const Tuning &t,
           Limb *scratch) {
    const size_t k = (n + 3) / 4, s = n - 3 * k, m = k + 1, w = 2 * m;
    // a's values in r, b's in scratch, then the five products of values.
    Limb *as[5], *bs[5], *v[5];
    for (size_t i = 0; i < 5; ++i) {
        as[i] = r + i * m;
        bs[i] = scratch + i * m;
        v[i] = scratch + 5 * m + i * w;
    }
    Limb *rest = scratch + 15 * m;

    Signs signs = evaluate(as[0], as[1], as[2], as[3], as[4], a, k, s);
    if (square) {
        for (size_t i = 0; i < 5; ++i)
            sqr(v[i], as[i], m, t, rest);
        signs = {false, false};
        sqr(r, a, k, t, rest);
        sqr(r + 6 * k, a + 3 * k, s, t, rest);
    } else {
        const Signs b_signs = evaluate(bs[0], bs[1], bs[2], bs[3], bs[4], b, k, s);
        signs.minus1 ^= b_signs.minus1;
        signs.minus2 ^= b_signs.minus2;
        for (size_t i = 0; i < 5; ++i)
            mul_n(v[i], as[i], bs[i], m, t, rest);
        mul_n(r, a, b, k, t, rest);
        mul_n(r + 6 * k, a + 3 * k, b + 3 * k, s, t, rest);
    }
    const Limb *c0 = r, *c6 = r + 6 * k;
    Limb *v1 = v[0], *vm1 = v[1], *v2 = v[2], *vm2 = v[3], *vh = v[4];

    // From the values to the coefficients c0..c6 of the product, each step
    // leaving a non-negative number below B^w.
    add_or_sub_n(vm1, v1, vm1, w, !signs.minus1); // 2 (c1 + c3 + c5)
    rshift(vm1, vm1, w, 1);
    sub_n(v1, v1, vm1, w);                        // c0 + c2 + c4 + c6
    add_or_sub_n(vm2, v2, vm2, w, !signs.minus2); // 4 (c1 + 4 c3 + 16 c5)
    rshift(vm2, vm2, w, 1);
    sub_n(v2, v2, vm2, w); // c0 + 4 c2 + 16 c4 + 64 c6
    rshift(vm2, vm2, w, 1);
    sub(v1, v1, w, c0, 2 * k);
    sub(v1, v1, w, c6, 2 * s); // c2 + c4
    sub(v2, v2, w, c0, 2 * k);
    sub_shifted(v2, w, c6, 2 * s, 6);
    rshift(v2, v2, w, 2); // c2 + 4 c4
    sub_n(v2, v2, v1, w);
    divexact_by3_fast(v2, v2, w); // c4
    sub_n(v1, v1, v2, w);         // c2
    sub_shifted(vh, w, c0, 2 * k, 6);
    sub(vh, vh, w, c6, 2 * s);
    sub_shifted(vh, w, v1, w, 4);
    sub_shifted(vh, w, v2, w, 2);
    rshift(vh, vh, w, 1); // 16 c1 + 4 c3 + c5
    sub_n(vm2, vm2, vm1, w);
    divexact_by3_fast(vm2, vm2, w); // c3 + 5 c5
    lshift(vm1, vm1, w, 4);
    sub_n(vm1, vm1, vh, w);
    divexact_by3_fast(vm1, vm1, w); // 4 c3 + 5 c5
    sub_n(vm1, vm1, vm2, w);
    divexact_by3_fast(vm1, vm1, w); // c3
    sub_n(vm2, vm2, vm1, w);
    divexact_by_divisor_of_bm1(vm2, vm2, w, ~Limb(0) / 5); // c5
    sub_shifted(vh, w, vm1, w, 2);
    sub_n(vh, vh, vm2, w);
    rshift(vh, vh, w, 4); // c1

    // r = c0 + c1 B^k + ... + c6 B^6k: c0 and c6 are in place, c2 and c4
    // (below 4 B^2k) fill the gaps and spill a limb, the odd ones overlap.
    std::copy(v1, v1 + 2 * k, r + 2 * k);
    std::copy(v2, v2 + 2 * k, r + 4 * k);
    add_1(r + 4 * k, r + 4 * k, 2 * n - 4 * k, v1[2 * k]);
    add_1(r + 6 * k, r + 6 * k, 2 * s, v2[2 * k]);
    add(r + k, r + k, 2 * n - k, vh, 2 * k + 1);
    add(r + 3 * k, r + 3 * k, 2 * n - 3 * k, vm1, 2 * k + 1);
    add(r + 5 * k, r + 5 * k, 2 * n - 5 * k, vm2, k + s + 1); // c5 < 2 B^(k+s)
}

} // namespace

void mul_toom4(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t, Limb *scratch) {
    toom4(r, a, b, n, false, t, scratch);
}

void sqr_toom4(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch) {
    toom4(r, a, a, n, true, t, scratch);
}

} // namespace karvo::kernel
