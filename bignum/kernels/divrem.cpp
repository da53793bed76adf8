// The division entry point: a one-limb divisor, schoolbook for short
// divisors, else blocks of divide and conquer from the top of the quotient.
#include <algorithm>
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/buffer.h"
#include "kernels/div.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// k < dn quotient limbs of a (dn + k)-limb window u whose top dn limbs are
// below d: estimated from the top 2k limbs by the top k limbs of d (at most
// two too large), then corrected with one full product.
void divide_partial(Limb *q, Limb *u, const Limb *d, size_t dn, size_t k, const Tuning &t) {
    std::vector<Limb> top(u + dn - k, u + dn + k);
    if (div_dc_n(q, top.data(), d + dn - k, k, t) != 0)
        std::fill(q, q + k, ~Limb(0));
    std::vector<Limb> product(dn + k);
    mul(product.data(), d, dn, q, k, t);
    Limb borrow = sub_n(u, u, product.data(), dn + k);
    while (borrow != 0) {
        sub_1(q, q, k, 1);
        borrow -= add(u, u, dn + k, d, dn);
    }
}

} // namespace

void divrem(Limb *q, Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn, const Tuning &t) {
    if (bn == 1) {
        r[0] = divrem_1(q, a, an, b[0]);
        return;
    }
    // Normalise so that the divisor's top bit is set; u gets one limb more,
    // whose value keeps u's top bn limbs below d.
    const unsigned s = unsigned(std::countl_zero(b[bn - 1]));
    LimbBuffer<64> d(bn), u(an + 1);
    if (s != 0) {
        lshift(d.data(), b, bn, s);
        u[an] = lshift(u.data(), a, an, s);
    } else {
        std::copy(b, b + bn, d.data());
        std::copy(a, a + an, u.data());
    }
    const size_t qn = an - bn + 1;
    if (bn < t.div_dc || bn < 4) {
        div_basecase(q, u.data(), an + 1, d.data(), bn);
    } else {
        size_t k = qn % bn == 0 ? bn : qn % bn;
        size_t j = qn - k;
        if (k == bn)
            div_dc_n(q + j, u.data() + j, d.data(), bn, t);
        else if (k < t.div_dc || k < 4)
            div_basecase(q + j, u.data() + j, bn + k, d.data(), bn);
        else
            divide_partial(q + j, u.data() + j, d.data(), bn, k, t);
        while (j > 0) {
            j -= bn;
            div_dc_n(q + j, u.data() + j, d.data(), bn, t);
        }
    }
    if (s != 0)
        rshift(r, u.data(), bn, s);
    else
        std::copy(u.data(), u.data() + bn, r);
}

} // namespace karvo::kernel
