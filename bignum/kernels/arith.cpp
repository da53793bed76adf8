// Textbook carry loops over 128-bit intermediates.
#include "kernels/arith.h"

#include <bit>

namespace karvo::kernel {

int cmp_n(const Limb *a, const Limb *b, size_t n) {
    while (n-- > 0) {
        if (a[n] != b[n])
            return a[n] > b[n] ? 1 : -1;
    }
    return 0;
}

int cmp(const Limb *a, size_t an, const Limb *b, size_t bn) {
    if (an != bn)
        return an > bn ? 1 : -1;
    return cmp_n(a, b, an);
}

Limb portable::add_n(Limb *r, const Limb *a, const Limb *b, size_t n) {
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const Limb s = a[i] + b[i];
        const Limb t = s + carry;
        carry = Limb(s < a[i]) | Limb(t < s);
        r[i] = t;
    }
    return carry;
}

Limb portable::sub_n(Limb *r, const Limb *a, const Limb *b, size_t n) {
    Limb borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        const Limb d = a[i] - b[i];
        const Limb t = d - borrow;
        borrow = Limb(a[i] < b[i]) | Limb(d < borrow);
        r[i] = t;
    }
    return borrow;
}

Limb portable::mul_1(Limb *r, const Limb *a, size_t n, Limb w) {
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * w + carry;
        r[i] = Limb(p);
        carry = Limb(p >> kLimbBits);
    }
    return carry;
}

// (2^64-1)^2 + 2 (2^64-1) = 2^128 - 1: product, old limb and carry fit.
Limb portable::addmul_1(Limb *r, const Limb *a, size_t n, Limb w) {
    Limb carry = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * w + r[i] + carry;
        r[i] = Limb(p);
        carry = Limb(p >> kLimbBits);
    }
    return carry;
}

Limb addmul_2(Limb *r, const Limb *a, size_t n, Limb w0, Limb w1) {
    Limb c0 = 0, c1 = 0; // the carry into limbs i and i + 1
    for (size_t i = 0; i < n; ++i) {
        const DLimb t0 = DLimb(a[i]) * w0 + r[i] + c0;
        r[i] = Limb(t0);
        const DLimb t1 = DLimb(a[i]) * w1 + Limb(t0 >> kLimbBits) + c1;
        c0 = Limb(t1);
        c1 = Limb(t1 >> kLimbBits);
    }
    const DLimb top = DLimb(r[n]) + c0;
    r[n] = Limb(top);
    return c1 + Limb(top >> kLimbBits);
}

Limb portable::submul_1(Limb *r, const Limb *a, size_t n, Limb w) {
    Limb borrow = 0;
    for (size_t i = 0; i < n; ++i) {
        const DLimb p = DLimb(a[i]) * w + borrow;
        const Limb low = Limb(p);
        borrow = Limb(p >> kLimbBits) + Limb(r[i] < low);
        r[i] -= low;
    }
    return borrow;
}

Limb lshift(Limb *r, const Limb *a, size_t n, unsigned s) {
    if (n == 0)
        return 0;
    const Limb out = a[n - 1] >> (kLimbBits - s);
    for (size_t i = n - 1; i > 0; --i)
        r[i] = (a[i] << s) | (a[i - 1] >> (kLimbBits - s));
    r[0] = a[0] << s;
    return out;
}

Limb rshift(Limb *r, const Limb *a, size_t n, unsigned s) {
    if (n == 0)
        return 0;
    const Limb out = a[0] << (kLimbBits - s);
    for (size_t i = 0; i + 1 < n; ++i)
        r[i] = (a[i] >> s) | (a[i + 1] << (kLimbBits - s));
    r[n - 1] = a[n - 1] >> s;
    return out;
}

Limb divrem_1(Limb *q, const Limb *a, size_t n, Limb d) {
    if (n == 0)
        return 0;
    // Normalise: divide a 2^s by d 2^s, whose remainder is the wanted one times 2^s.
    const unsigned s = unsigned(std::countl_zero(d));
    const Limb dn = d << s;
    const Limb v = reciprocal_2_by_1(dn);
    Limb r = s == 0 ? 0 : a[n - 1] >> (kLimbBits - s);
    for (size_t i = n; i-- > 0;) {
        const Limb u0 = s == 0 ? a[i] : (a[i] << s) | (i > 0 ? a[i - 1] >> (kLimbBits - s) : 0);
        q[i] = divide_2_by_1(r, r, u0, dn, v);
    }
    return r >> s;
}

} // namespace karvo::kernel
