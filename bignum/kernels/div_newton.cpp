// Division by a reciprocal from Newton's iteration, for long divisors and
// quotients. The reciprocal doubles its limbs each step with products of the
// current length only (Brent and Zimmermann, "Modern Computer Arithmetic",
// Algorithm 3.5), and a division then takes the quotient, block by block, as
// the top of one product by the reciprocal, and the remainder from one
// product by the divisor (Barrett; GMP's mu-division has the same shape).
// With the transforms this costs a few products of the divisor's length,
// where divide and conquer pays a product at each of its levels.
#include <algorithm>
#include <bit>
#include <vector>

#include "kernels/arith.h"
#include "kernels/div.h"
#include "kernels/mul.h"

namespace karvo::kernel {

namespace {

// r = -a mod B^n, in place allowed.
void negate(Limb *r, const Limb *a, size_t n) {
    for (size_t i = 0; i < n; ++i)
        r[i] = ~a[i];
    add_1(r, r, n, 1);
}

// floor((B^(2n) - 1) / a) by one division: it meets invert_approx's bounds.
void invert_by_division(Limb *x, const Limb *a, size_t n, const Tuning &t) {
    if (n == 1) {
        const DLimb quotient = ~DLimb(0) / a[0];
        x[0] = Limb(quotient);
        x[1] = Limb(quotient >> kLimbBits);
        return;
    }
    std::vector<Limb> u(2 * n, ~Limb(0));
    x[n] = div_qr(x, u.data(), 2 * n, a, n, t);
}

// x (in + 1 limbs) with B^(dn + in) / d - 2 < x <= B^(dn + in) / d, for a
// normalised d: the reciprocal of d's top in + 1 limbs, rounded up so that it
// bounds d from above, less its low limb.
void reciprocal_top(Limb *x, const Limb *d, size_t dn, size_t in, const Tuning &t) {
    const size_t n = in + 1;
    std::vector<Limb> top(n, 0), y(n + 1);
    if (dn <= n) {
        std::copy(d, d + dn, top.data() + (n - dn));
    } else if (add_1(top.data(), d + dn - n, n, 1) != 0) {
        // d's top limbs are all ones: B^in is below B^(dn + in) / d by less than one.
        std::fill(x, x + in, 0);
        x[in] = 1;
        return;
    }
    invert_approx(y.data(), top.data(), n, t);
    std::copy(y.begin() + 1, y.end(), x);
}

// Limbs of the reciprocal for a quotient of qn limbs by dn: blocks of about
// equal length, at most dn, each costing a product by d; a quotient shorter
// than the divisor in two blocks, so that the reciprocal is half as long,
// unless it is much shorter.
size_t inverse_limbs(size_t qn, size_t dn) {
    if (qn > dn) {
        const size_t blocks = (qn - 1) / dn + 1;
        return (qn - 1) / blocks + 1;
    }
    if (3 * qn > dn)
        return (qn - 1) / 2 + 1;
    return qn;
}

} // namespace

void invert_approx(Limb *x, const Limb *a, size_t n, const Tuning &t) {
    if (n < std::max<size_t>(t.inv_newton, 3)) {
        invert_by_division(x, a, n, t);
        return;
    }
    // x_h: the reciprocal of a's top h limbs, h + 1 limbs, in x's top.
    const size_t l = (n - 1) / 2, h = n - l;
    Limb *const xh = x + l;
    invert_approx(xh, a + l, h, t);

    // e = a x_h - B^(n+h), from a x_h = a (x_h - B^h) + a B^h. Both bounds
    // on x_h put it in [-2a, 2B^n), so its low n + 1 limbs, read as a signed
    // number, are all of it.
    std::vector<Limb> p(n + h + 1);
    mul(p.data(), a, n, xh, h, t);
    add_n(p.data() + h, p.data() + h, a, l + 1);
    Limb *const e = p.data();
    if (e[n] >> (kLimbBits - 1) == 0) {
        // x_h is too large: a x_h < B^(n+h) + 2B^n <= B^(n+h) + 4a, so at
        // most four steps.
        do {
            sub_1(xh, xh, h + 1, 1);
            sub(e, e, n + 1, a, n);
        } while (e[n] >> (kLimbBits - 1) == 0);
    }
    // r = B^(n+h) - a x_h, in (0, 2a]: the top limb is 0 or 1.
    negate(e, e, n + 1);

    // x = x_h B^l + floor(floor(r / B^l) x_h / B^(2h - l)), the Newton step
    // x_h + x_h (B^(n+h) - a x_h) / B^(n+h) at the doubled precision.
    const Limb *const rm = e + l; // h + 1 limbs
    std::vector<Limb> u(2 * h + 2);
    mul(u.data(), rm, h + 1, xh, h, t);
    u[2 * h + 1] = add_n(u.data() + h, u.data() + h, rm, h + 1);
    // The correction is below 4 B^l: l + 1 limbs.
    const Limb *const c = u.data() + (2 * h - l);
    std::copy(c, c + l, x);
    add_1(xh, xh, h + 1, c[l]);
}

Limb div_mu(Limb *q, Limb *u, size_t nn, const Limb *d, size_t dn, const Tuning &t) {
    Limb qh = 0;
    if (cmp_n(u + nn - dn, d, dn) >= 0) {
        sub_n(u + nn - dn, u + nn - dn, d, dn);
        qh = 1;
    }
    const size_t qn = nn - dn;
    if (qn == 0)
        return qh;
    const size_t in = inverse_limbs(qn, dn);
    std::vector<Limb> x(in + 1), estimate(2 * in), product(dn + in);
    reciprocal_top(x.data(), d, dn, in, t);

    // Blocks from the top, the first taking what whole blocks leave over.
    size_t j = qn;
    size_t k = qn % in == 0 ? in : qn % in;
    while (j > 0) {
        j -= k;
        // The window w = u[j, j + dn + k) is below d B^k. With x_k = the top
        // k + 1 limbs of x (at most B^(dn+k) / d, less by below 3) and w's
        // top k limbs w_h, the estimate w_h x_k / B^k is at most w / d and
        // short of it by below 5: the top k limbs of w for w / B^dn, times
        // x_k - B^k, plus w_h.
        Limb *const w = u + j, *const qk = q + j;
        const Limb *const wh = w + dn, *const xk = x.data() + (in - k);
        mul_n(estimate.data(), wh, xk, k, t);
        add_n(qk, estimate.data() + k, wh, k);

        // The remainder w - q d is below 6d < B^(dn+1): only its low dn + 1
        // limbs are worked out.
        mul(product.data(), d, dn, qk, k, t);
        sub_n(w, w, product.data(), dn + 1);
        while (w[dn] != 0 || cmp_n(w, d, dn) >= 0) {
            w[dn] -= sub_n(w, w, d, dn);
            add_1(qk, qk, k, 1);
        }
        std::fill(w + dn, w + dn + k, 0);
        k = in;
    }
    return qh;
}

Nat reciprocal_floor(View d, size_t qn, const Tuning &t) {
    d = trimmed(d);
    const size_t dn = d.size();
    // Below div_newton the division is divide and conquer, which the
    // iteration and its check product do not beat on every path; above it
    // the division would take a Newton reciprocal itself.
    if (qn + 1 < std::max({t.inv_newton, t.div_newton, size_t(2)})) {
        Nat power(dn + qn + 1, 0), inverse;
        power.back() = 1;
        divrem(power, d, &inverse, nullptr, t);
        return inverse;
    }
    // With D = d 2^s normalised and X within 2 below B^(dn+qn+1) / D,
    // floor(X 2^s / B) is floor(B^(dn+qn) / d) or one less.
    const unsigned s = unsigned(std::countl_zero(d.back()));
    Nat normal(d.begin(), d.end());
    if (s != 0)
        lshift(normal.data(), d.data(), dn, s);
    const size_t in = qn + 1;
    Nat x(in + 2);
    reciprocal_top(x.data(), normal.data(), dn, in, t);
    if (s != 0)
        x[in + 1] = lshift(x.data(), x.data(), in + 1, s);
    Nat y(x.begin() + 1, x.end());
    normalize(y);

    // r = B^(dn+qn) - y d lies in [0, 2d): modulo B^(dn+1) it is -(y d),
    // which takes only y's low dn + 1 limbs.
    const size_t yl = std::min(y.size(), dn + 1);
    Nat product(yl + dn);
    if (yl >= dn)
        mul(product.data(), y.data(), yl, d.data(), dn, t);
    else
        mul(product.data(), d.data(), dn, y.data(), yl, t);
    product.resize(dn + 1);
    negate(product.data(), product.data(), dn + 1);
    if (cmp(product.data(), normalized_size(product.data(), dn + 1), d.data(), dn) >= 0) {
        y.push_back(0);
        add_1(y.data(), y.data(), y.size(), 1);
        normalize(y);
    }
    return y;
}

} // namespace karvo::kernel
