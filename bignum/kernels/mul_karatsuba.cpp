// Karatsuba multiplication, from Tuning::karatsuba limbs up to Tuning::toom3:
// a b = z0 + (z0 + z2 - (a0 - a1)(b0 - b1)) X + z2 X^2 with X = B^l, three
// half-size products instead of four.
#include "kernels/mul.h"
#include "kernels/toom.h"

namespace karvo::kernel {

namespace {

void karatsuba(Limb *r, const Limb *a, const Limb *b, size_t n, bool square, const Tuning &t,
               Limb *scratch) {
    const size_t h = n / 2, l = n - h;
    Limb *middle = scratch, *rest = scratch + 2 * l;

    // (a0 - a1)(b0 - b1) first, its factors in r before the outer products fill it.
    bool negative = abs_sub(r, a, l, a + l, h);
    if (square) {
        sqr(middle, r, l, t, rest);
        negative = false;
    } else {
        negative ^= abs_sub(r + l, b, l, b + l, h);
        mul_n(middle, r, r + l, l, t, rest);
    }
    if (square) {
        sqr(r, a, l, t, rest);
        sqr(r + 2 * l, a + l, h, t, rest);
    } else {
        mul_n(r, a, b, l, t, rest);
        mul_n(r + 2 * l, a + l, b + l, h, t, rest);
    }

    // With z0 = L0 + H0 X and z2 = L1 + H1 X, and Y = H0 + L1:
    // r = L0 + (L0 + Y) X + (Y + H1) X^2 + H1 X^3, less or plus the middle
    // product at X; all modulo B^2n, which the product does not reach.
    const Limb carry_y = add_n(r + 2 * l, r + l, r + 2 * l, l);
    const Limb carry_2 = carry_y + add_n(r + l, r + 2 * l, r, l);
    const Limb carry_3 = carry_y + add(r + 2 * l, r + 2 * l, l, r + 3 * l, 2 * h - l);
    add_1(r + 2 * l, r + 2 * l, 2 * n - 2 * l, carry_2);
    add_1(r + 3 * l, r + 3 * l, 2 * n - 3 * l, carry_3);
    if (negative)
        add(r + l, r + l, 2 * n - l, middle, 2 * l);
    else
        sub(r + l, r + l, 2 * n - l, middle, 2 * l);
}

} // namespace

void mul_karatsuba(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t,
                   Limb *scratch) {
    karatsuba(r, a, b, n, false, t, scratch);
}

void sqr_karatsuba(Limb *r, const Limb *a, size_t n, const Tuning &t, Limb *scratch) {
    karatsuba(r, a, a, n, true, t, scratch);
}

} // namespace karvo::kernel
