// Schoolbook multiplication and squaring: the reference every faster path is
// checked against, and the fastest below Tuning::karatsuba limbs.
#include <algorithm>

#include "kernels/arith.h"
#include "kernels/arith_x86.h"
#include "kernels/mul.h"

namespace karvo::kernel {

// Rows of b's limbs two at a time: half the passes over r. With mulx and adx
// a row at a time is faster still, its loop inlined here so that a short row
// costs no call.
void mul_basecase(Limb *r, const Limb *a, size_t an, const Limb *b, size_t bn) {
#ifdef KARVO_HAVE_X86_ROWS
    if (x86::has_rows()) {
        if (an == 8 && bn == 8) {
            x86::mul_8(r, a, b);
            return;
        }
        r[an] = x86::mul_1(r, a, an, b[0]);
        for (size_t j = 1; j < bn; ++j)
            r[an + j] = x86::addmul_1(r + j, a, an, b[j]);
        return;
    }
#endif
    r[an] = mul_1(r, a, an, b[0]);
    size_t j = 1;
    for (; j + 1 < bn; j += 2) {
        r[an + j] = 0;
        r[an + j + 1] = addmul_2(r + j, a, an, b[j], b[j + 1]);
    }
    if (j < bn)
        r[an + j] = addmul_1(r + j, a, an, b[j]);
}

namespace {

// r = 2 r + the squares a[i]^2 at limb 2i, in one pass: r holds the
// off-diagonal products, with r[0] and r[2n - 1] zero.
void add_diagonal(Limb *r, const Limb *a, size_t n) {
    Limb shifted = 0, carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const Limb lo = r[2 * i], hi = r[2 * i + 1];
        const DLimb square = DLimb(a[i]) * a[i];
        const DLimb low = DLimb((lo << 1) | shifted) + Limb(square) + carry;
        const DLimb high = DLimb((hi << 1) | (lo >> (kLimbBits - 1))) + Limb(square >> kLimbBits) +
                           Limb(low >> kLimbBits);
        shifted = hi >> (kLimbBits - 1);
        r[2 * i] = Limb(low);
        r[2 * i + 1] = Limb(high);
        carry = Limb(high >> kLimbBits);
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
#ifdef KARVO_HAVE_X86_ROWS
    if (x86::has_rows()) {
        if (n == 8) {
            x86::sqr_8(r, a);
            return;
        }
        // Short triangles cost more than the full product's rows.
        if (n < 8) {
            mul_basecase(r, a, n, a, n);
            return;
        }
        // Row i: a[i] times the limbs above it, from limb 2i + 1; the last
        // eight rows unrolled.
        r[0] = 0;
        r[n] = x86::mul_1(r + 1, a + 1, n - 1, a[0]);
        for (size_t i = 1; i + 8 < n; ++i)
            r[n + i] = x86::addmul_1(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
        x86::add_triangle_8(r + 2 * (n - 8), a + n - 8);
        r[2 * n - 1] = 0;
        x86::add_diagonal(r, a, n);
        return;
    }
#endif
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
