// Karatsuba multiplication, from Tuning::karatsuba limbs up to Tuning::toom3:
// a b = z0 + (z0 + z2 - (a0 - a1)(b0 - b1)) X + z2 X^2 with X = B^l, three
// half-size products instead of four.
#include <algorithm>

#include "kernels/arith.h"
#include "kernels/buffer.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// r = |a - b| over an limbs for an >= bn (b padded with zeros); returns
// whether a < b.
bool abs_diff(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    const size_t a_top = normalized_size(a, an), b_top = normalized_size(b, bn);
    if (cmp(a, a_top, b, b_top) >= 0) {
        sub(r, a, an, b, bn);
        return false;
    }
    // b > a: b fits in an limbs too, since a_top <= b_top <= bn <= an.
    LimbBuffer<64> padded(an);
    std::copy(b, b + bn, padded.data());
    sub(r, padded.data(), an, a, an);
    return true;
}

void karatsuba(Limb *r, const Limb *a, const Limb *b, size_t n, bool square, const Tuning &t) {
    const size_t h = n / 2, l = n - h;
    auto product = [&](Limb *out, const Limb *x, const Limb *y, size_t m) {
        if (square)
            sqr(out, x, m, t);
        else
            mul_n(out, x, y, m, t);
    };
    product(r, a, b, l);
    product(r + 2 * l, a + l, b + l, h);

    LimbBuffer<64> da(l), db(l);
    LimbBuffer<128> middle(2 * l), sum(2 * l + 1);
    const bool a_neg = abs_diff(da.data(), a, l, a + l, h);
    const bool b_neg = square ? a_neg : abs_diff(db.data(), b, l, b + l, h);
    product(middle.data(), da.data(), square ? da.data() : db.data(), l);

    // sum = z0 + z2 -+ middle = a0 b1 + a1 b0
    std::copy(r, r + 2 * l, sum.data());
    sum[2 * l] = add(sum.data(), sum.data(), 2 * l, r + 2 * l, 2 * h);
    if (a_neg == b_neg)
        sub(sum.data(), sum.data(), 2 * l + 1, middle.data(), 2 * l);
    else
        add(sum.data(), sum.data(), 2 * l + 1, middle.data(), 2 * l);
    add(r + l, r + l, 2 * n - l, sum.data(), normalized_size(sum.data(), 2 * l + 1));
}

} // namespace

void mul_karatsuba(Limb *r, const Limb *a, const Limb *b, size_t n, const Tuning &t) {
    karatsuba(r, a, b, n, false, t);
}

void sqr_karatsuba(Limb *r, const Limb *a, size_t n, const Tuning &t) {
    karatsuba(r, a, a, n, true, t);
}

} // namespace karvo::kernel
