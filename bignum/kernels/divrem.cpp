// The division entry point: a one-limb divisor, schoolbook for short
// divisors, blocks of divide and conquer from the top of the quotient, or,
// when divisor and quotient are both long, division by a Newton reciprocal.
#include <algorithm>
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/buffer.h"
#include "kernels/div.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// The building block for 2k limbs by k >= 2, by size.
Limb divide_top(Limb *q, Limb *u, const Limb *d, size_t k, const Tuning &t) {
    if (k < t.div_dc || k < 4)
        return div_basecase(q, u, 2 * k, d, k);
    return k >= std::max<size_t>(t.div_newton, 2) ? div_mu(q, u, 2 * k, d, k, t)
                                                  : div_dc_n(q, u, d, k, t);
}

// k < dn quotient limbs of a (dn + k)-limb window u whose top dn limbs are
// below d: u's top 2k limbs by d's top k limbs, which leaves a quotient at
// most two too large and the remainder in place, then the quotient times the
// dn - k limbs of d below them taken off, and d added back while negative
// (the shape of GMP's dcpi1_div_qr for short quotients).
void divide_partial(Limb *q, Limb *u, const Limb *d, size_t dn, size_t k, const Tuning &t) {
    const size_t low = dn - k;
    Limb qh = divide_top(q, u + low, d + low, k, t);
    std::vector<Limb> product(dn);
    if (low >= k)
        mul(product.data(), d, low, q, k, t);
    else
        mul(product.data(), q, k, d, low, t);
    Limb borrow = sub_n(u, u, product.data(), dn);
    if (qh != 0)
        borrow += sub_n(u + k, u + k, d, low);
    while (borrow != 0) {
        qh -= sub_1(q, q, k, 1);
        borrow -= add_n(u, u, d, dn);
    }
}

} // namespace

Limb div_qr(Limb *q, Limb *u, size_t nn, const Limb *d, size_t dn, const Tuning &t) {
    if (dn < t.div_dc || dn < 4)
        return div_basecase(q, u, nn, d, dn);
    Limb qh = 0;
    if (cmp_n(u + nn - dn, d, dn) >= 0) {
        sub_n(u + nn - dn, u + nn - dn, d, dn);
        qh = 1;
    }
    const size_t qn = nn - dn;
    if (qn == 0)
        return qh;
    // The top block takes what is left over by whole blocks of dn limbs.
    const size_t k = qn % dn == 0 ? dn : qn % dn;
    size_t j = qn - k;
    if (k == dn)
        div_dc_n(q + j, u + j, d, dn, t);
    else if (k < 2 || ((k < t.div_dc || k < 4) && dn - k < t.karatsuba))
        // A short top block under a divisor too short for a faster product of
        // the quotient by its low limbs than schoolbook's rows.
        div_basecase(q + j, u + j, dn + k, d, dn);
    else
        divide_partial(q + j, u + j, d, dn, k, t);
    while (j > 0) {
        j -= dn;
        div_dc_n(q + j, u + j, d, dn, t);
    }
    return qh;
}

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
    // Without a limb shifted out, the quotient's top limb is the 0 or 1 that
    // the algorithms return, and they work on one limb less.
    const size_t qn = an - bn + 1;
    const size_t nn = u[an] == 0 ? an : an + 1;
    // A quotient under half the divisor's length is cheaper from the
    // divisor's top limbs (see divide_partial) than from blocks by all of it.
    const bool mu = std::min(bn, qn) >= std::max<size_t>(t.div_newton, 2) && 2 * qn >= bn;
    const Limb qh =
        mu ? div_mu(q, u.data(), nn, d.data(), bn, t) : div_qr(q, u.data(), nn, d.data(), bn, t);
    if (nn == an)
        q[qn - 1] = qh;
    if (s != 0)
        rshift(r, u.data(), bn, s);
    else
        std::copy(u.data(), u.data() + bn, r);
}

void div_appr(Limb *q, Limb *a, size_t an, const Limb *d, size_t dn, const Tuning &t) {
    const size_t qn = an - dn;
    q[qn] = 0;
    if (cmp_n(a + qn, d, dn) >= 0) {
        sub_n(a + qn, a + qn, d, dn);
        q[qn] = 1;
    }
    if (qn == 0)
        return;
    // The top qn + k limbs of a by the top k of d, k = qn but at least the two
    // that schoolbook division takes.
    const size_t k = std::max<size_t>(qn, 2);
    Limb *const u = a + dn - k;
    const Limb *const top = d + dn - k;
    const Limb high = k == qn && qn >= std::max<size_t>(t.div_dc, 4)
                          ? div_appr_dc_n(q, u, top, qn, t)
                          : div_basecase(q, u, qn + k, top, k);
    // Below the top limb, the quotient is below B^qn.
    if (high != 0)
        std::fill(q, q + qn, ~Limb(0));
}

} // namespace karvo::kernel
