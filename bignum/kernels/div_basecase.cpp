// Schoolbook division, Knuth's Algorithm D (TAOCP 4.3.1): a two-limb quotient
// estimate refined by the divisor's second limb, then added back if too large.
#include "kernels/arith.h"
#include "kernels/div.h"

namespace karvo::kernel {

Limb div_basecase(Limb *q, Limb *u, size_t nn, const Limb *d, size_t dn) {
    Limb qh = 0;
    if (cmp_n(u + nn - dn, d, dn) >= 0) {
        sub_n(u + nn - dn, u + nn - dn, d, dn);
        qh = 1;
    }
    const Limb d1 = d[dn - 1], d0 = d[dn - 2];
    for (size_t j = nn - dn; j-- > 0;) {
        // The window u[j, j + dn] is below d B: the quotient limb fits a limb.
        const Limb u2 = u[j + dn], u1 = u[j + dn - 1], u0 = u[j + dn - 2];
        Limb qhat;
        if (u2 >= d1) {
            qhat = ~Limb(0);
        } else {
            const DLimb num = (DLimb(u2) << kLimbBits) | u1;
            qhat = Limb(num / d1);
            DLimb rhat = num % d1;
            while (DLimb(qhat) * d0 > ((rhat << kLimbBits) | u0)) {
                --qhat;
                rhat += d1;
                if (rhat >> kLimbBits)
                    break;
            }
        }
        // qhat is at most two too large: add d back while the window is negative.
        Limb top = u2 - submul_1(u + j, d, dn, qhat);
        while (top != 0) {
            --qhat;
            top += add_n(u + j, u + j, d, dn);
        }
        u[j + dn] = 0;
        q[j] = qhat;
    }
    return qh;
}

} // namespace karvo::kernel
