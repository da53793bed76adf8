// Schoolbook division, Knuth's Algorithm D (TAOCP 4.3.1), with each quotient
// limb from the top three limbs by the divisor's top two through a reciprocal
// (Moller and Granlund): no hardware division, and at most one add-back.
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
    const Limb v = reciprocal_3_by_2(d1, d0);
    for (size_t j = nn - dn; j-- > 0;) {
        // The window u[j, j + dn] is below d B: the quotient limb fits a limb.
        const Limb u2 = u[j + dn], u1 = u[j + dn - 1], u0 = u[j + dn - 2];
        Limb qhat;
        if (u2 == d1 && u1 == d0) {
            // The top limbs equal d's: B - 1 is the quotient or one too large.
            qhat = ~Limb(0);
            Limb top = u2 - submul_1(u + j, d, dn, qhat);
            while (top != 0) {
                --qhat;
                top += add_n(u + j, u + j, d, dn);
            }
        } else {
            // The quotient of the top three limbs by d's top two is exact for
            // them and at most one too large for the whole window.
            Limb r1 = 0, r0 = 0;
            qhat = divide_3_by_2(r1, r0, u2, u1, u0, d1, d0, v);
            const Limb borrow = dn > 2 ? submul_1(u + j, d, dn - 2, qhat) : 0;
            const Limb below = r0 < borrow;
            u[j + dn - 2] = r0 - borrow;
            u[j + dn - 1] = r1 - below;
            if (r1 < below) { // the window went negative: add d back once
                --qhat;
                u[j + dn - 1] += d1 + add_n(u + j, u + j, d, dn - 1);
            }
        }
        u[j + dn] = 0;
        q[j] = qhat;
    }
    return qh;
}

} // namespace karvo::kernel
