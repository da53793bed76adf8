// Schoolbook multiplication and squaring: the reference every faster path is
// checked against, and the fastest below Tuning::karatsuba limbs.
#include <algorithm>

#include "kernels/arith.h"
#include "kernels/arith_x86.h"
#include "kernels/mul.h"

namespace karvo::kernel {

// Rows of b's limbs two at a time: half the passes over r. With mulx and adx
// a row at a time is faster still.
void mul_basecase(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
    r[an] = mul_1(r, a, an, b[0]);
    size_t j = 1;
    if (an >= 4 && x86::has_rows()) {
        for (; j < bn; ++j)
            r[an + j] = addmul_1(r + j, a, an, b[j]);
        return;
    }
    for (; j + 1 < bn; j += 2) {
        r[an + j] = 0;
        r[an + j + 1] = addmul_2(r + j, a, an, b[j], b[j + 1]);
    }
    if (j < bn)
        r[an + j] = addmul_1(r + j, a, an, b[j]);
}

namespace {

// r = 2 r + the squares a[i]^2 at limb 2i: r holds the off-diagonal products.
void add_diagonal(Limb *r, const Limb *a, size_t n) {
    lshift(r, r, 2 * n, 1);
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * a[i];
        const DLimb lo = DLimb(r[2 * i]) + Limb(p) + carry;
        r[2 * i] = Limb(lo);
        const DLimb hi = DLimb(r[2 * i + 1]) + Limb(p >> kLimbBits) + Limb(lo >> kLimbBits);
        r[2 * i + 1] = Limb(hi);
        carry = Limb(hi >> kLimbBits);
    }
}

} // namespace

// The off-diagonal products once, two rows at a time, doubled, then the
// squares on the diagonal.
void sqr_basecase(Limb *r, const Limb *a, size_t n) {
    if (n == 1) {
        const DLimb p = DLimb(a[0]) * a[0];
        r[0] = Limb(p);
        r[1] = Limb(p >> kLimbBits);
        return;
    }
    if (n < 12 && x86::has_rows()) {
        // Short rows of the triangle cost more than the full product's.
        mul_basecase(r, a, n, a, n);
        return;
    }
    if (x86::has_rows()) {
        // Row i: a[i] times the limbs above it, from limb 2i + 1.
        r[0] = 0;
        r[n] = mul_1(r + 1, a + 1, n - 1, a[0]);
        for (size_t i = 1; i + 1 < n; ++i)
            r[n + i] = addmul_1(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
        r[2 * n - 1] = 0;
        add_diagonal(r, a, n);
        return;
    }
    std::fill(r, r + 2 * n, 0);
    for (size_t i = 0; i + 1 < n; i += 2) {
        // Rows i and i + 1: a[i] a[i+1] at limb 2i + 1, then a[k] (a[i] + a[i+1] B)
        // for k > i + 1 from limb 2i + 2.
        const DLimb p = DLimb(a[i]) * a[i + 1];
        const Limb low[2] = {Limb(p), Limb(p >> kLimbBits)};
        add(r + 2 * i + 1, r + 2 * i + 1, 2 * n - 2 * i - 1, low, 2);
        const size_t m = n - i - 2;
        if (m > 0) {
            const Limb carry = addmul_2(r + 2 * i + 2, a + i + 2, m, a[i], a[i + 1]);
            add_1(r + n + i + 1, r + n + i + 1, n - i - 1, carry);
        }
    }
    add_diagonal(r, a, n);
}

} // namespace karvo::kernel
