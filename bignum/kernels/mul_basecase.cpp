// Schoolbook multiplication and squaring: the reference every faster path is
// checked against, and the fastest below Tuning::karatsuba limbs.
#include "kernels/arith.h"
#include "kernels/mul.h"

namespace karvo::kernel {

// Rows of b's limbs two at a time: half the passes over r.
void mul_basecase(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    r[an] = mul_1(r, a, an, b[0]);
    size_t j = 1;
    for (; j + 1 < bn; j += 2) {
        r[an + j] = 0;
        r[an + j + 1] = addmul_2(r + j, a, an, b[j], b[j + 1]);
    }
    if (j < bn)
        r[an + j] = addmul_1(r + j, a, an, b[j]);
}

// The off-diagonal products once, doubled, then the squares on the diagonal.
void sqr_basecase(Limb *r, const Limb *a, size_t n) {
    if (n == 1) {
        const DLimb p = DLimb(a[0]) * a[0];
        r[0] = Limb(p);
        r[1] = Limb(p >> kLimbBits);
        return;
    }
    r[0] = 0;
    r[n] = mul_1(r + 1, a + 1, n - 1, a[0]);
    for (size_t i = 1; i + 1 < n; ++i)
        r[n + i] = addmul_1(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
    r[2 * n - 1] = lshift(r + 1, r + 1, 2 * n - 2, 1);
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * a[i];
        DLimb lo = DLimb(r[2 * i]) + Limb(p) + carry;
        r[2 * i] = Limb(lo);
        DLimb hi = DLimb(r[2 * i + 1]) + Limb(p >> kLimbBits) + Limb(lo >> kLimbBits);
        r[2 * i + 1] = Limb(hi);
        carry = Limb(hi >> kLimbBits);
    }
}

} // namespace karvo::kernel
