// Divide-and-conquer division of 2n limbs by n limbs (Burnikel and Ziegler;
// the shape of GMP's dcpi1_div_qr_n), from Tuning::div_dc limbs of divisor
// up: the high half of the quotient comes from the divisor's high half, is
// corrected with one product by the low half, then the same for the low half
// of the quotient. Its cost is that of a few multiplications of n limbs.
#include <algorithm>

#include "kernels/arith.h"
#include "kernels/buffer.h"
#include "kernels/div.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

Limb divide_block(Limb *q, Limb *u, const Limb *d, size_t n, const Tuning &t) {
    return n < t.div_dc || n < 4 ? div_basecase(q, u, 2 * n, d, n) : div_dc_n(q, u, d, n, t);
}

// High quotient half: u[2lo, 2n) by d's top hi limbs, then take off q_hi d_lo.
// Leaves the remainder in u[lo, lo + n).
Limb high_half(Limb *q, Limb *u, const Limb *d, size_t n, Limb *product, const Tuning &t) {
    const size_t lo = n / 2, hi = n - lo;
    Limb qh = divide_block(q + lo, u + 2 * lo, d + lo, hi, t);
    mul(product, q + lo, hi, d, lo, t);
    Limb borrow = sub_n(u + lo, u + lo, product, n);
    if (qh != 0)
        borrow += sub_n(u + n, u + n, d, lo);
    while (borrow != 0) {
        qh -= sub_1(q + lo, q + lo, hi, 1);
        borrow -= add_n(u + lo, u + lo, d, n);
    }
    return qh;
}

} // namespace

Limb div_dc_n(Limb *q, Limb *u, const Limb *d, size_t n, const Tuning &t) {
    const size_t lo = n / 2, hi = n - lo;
    ScratchBuffer<256> product(n); // both products fill all n limbs
    const Limb qh = high_half(q, u, d, n, product.data(), t);

    // Low quotient half: u[hi, hi + 2lo) by d's top lo limbs, then take off q_lo d_hi.
    Limb ql = divide_block(q, u + hi, d + hi, lo, t);
    mul(product.data(), d, hi, q, lo, t);
    Limb borrow = sub_n(u, u, product.data(), n);
    if (ql != 0)
        borrow += sub_n(u + lo, u + lo, d, hi);
    while (borrow != 0) {
        sub_1(q, q, lo, 1);
        borrow -= add_n(u, u, d, n);
    }
    return qh;
}

// The high half exactly; the low half from the top 2lo limbs of the remainder
// by d's top lo limbs, recursively approximate, without the product by d's low
// limbs that would correct it. That quotient is never too small and at most 2
// too large (Burnikel and Ziegler), plus what its own recursion adds.
Limb div_appr_dc_n(Limb *q, Limb *u, const Limb *d, size_t n, const Tuning &t) {
    const size_t lo = n / 2, hi = n - lo;
    ScratchBuffer<256> product(n);
    const Limb qh = high_half(q, u, d, n, product.data(), t);
    const Limb ql = lo < t.div_dc || lo < 4 ? div_basecase(q, u + hi, 2 * lo, d + hi, lo)
                                            : div_appr_dc_n(q, u + hi, d + hi, lo, t);
    // The low half of the quotient is below B^lo, as the remainder is below d.
    if (ql != 0)
        std::fill(q, q + lo, ~Limb(0));
    return qh;
}

} // namespace karvo::kernel
