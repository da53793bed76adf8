// Square roots by Zimmermann's Karatsuba square root on limb spans, split at
// limb boundaries. For a = a_h B^(2l) + a_1 B^l + a_0 with a_h of 2h limbs
// (h = l or l + 1) and its top limb at least B/4: the root s' of a_h with
// remainder r' gives the high limbs of the root, one division (r' B^l + a_1)
// / 2s' the low ones, q, and a_0 and q^2 the remainder, with at most one
// correction. Only the top of a_h recurses, so a square root costs about one
// division of its size plus one squaring of half of it.
#include <algorithm>
#include <bit>
#include <cmath>

#include "kernels/arith.h"
#include "kernels/buffer.h"
#include "kernels/div.h"
#include "kernels/mul.h"
#include "kernels/root.h"

namespace karvo::kernel {

namespace {

// s = floor(sqrt(a)) for a of two limbs with a[1] >= B/4; a[0] gets the low
// limb of a - s^2 (at most 2s), whose bit above it is returned. A double
// gives the root to within about 2^11; one integer Newton step from there
// lands at or (rarely) just above it, never below.
Limb sqrtrem_2(Limb *s, Limb *a) {
    const DLimb x = (DLimb(a[1]) << kLimbBits) | a[0];
    const double estimate = std::sqrt(double(x));
    DLimb y = estimate >= 0x1p64 ? ~Limb(0) : Limb(estimate);
    y = std::min((y + x / y) / 2, DLimb(~Limb(0)));
    while (y * y > x)
        --y;
    const DLimb r = x - y * y;
    *s = Limb(y);
    a[0] = Limb(r);
    return Limb(r >> kLimbBits);
}

// s = floor(sqrt(a)) for a of 2n limbs whose top limb is at least B/4: s has
// n limbs, the low n limbs of a get those of a - s^2 (at most 2s), and its
// bit at limb n is returned. The high n limbs of a are left undefined.
// scratch has n + 1 limbs. When only the bits of s above those in `spare`
// matter, a root whose spare bits are not all zero is returned as it comes,
// perhaps one too large, and without the remainder: one less would not change
// the bits that matter.
Limb sqrtrem_n(Limb *s, Limb *a, size_t n, Limb *scratch, const Tuning &t, Limb spare = 0) {
    if (n == 1)
        return sqrtrem_2(s, a);
    const size_t l = n / 2, h = n - l;
    Limb *const q = scratch, *const u = scratch + l + 1;

    // s' and r' = c B^h + a[2l, 2l + h). As r' <= 2s', r' - c s' fits h limbs,
    // and (r' B^l + a_1) / s' is c B^l more than its quotient by s'.
    const Limb c = sqrtrem_n(s + l, a + 2 * l, h, scratch, t);
    if (c != 0)
        sub_n(a + 2 * l, a + 2 * l, s + l, h);
    divrem(q, u, a + l, n, s + l, h, t);

    // The quotient by 2s' is half that by s'; the odd half of s' goes back to
    // the remainder. q_high is the quotient's limb at l (0 or 1).
    const Limb top = q[l] + c, odd = q[0] & 1;
    rshift(s, q, l, 1);
    s[l - 1] |= top << (kLimbBits - 1);
    const Limb q_high = top >> 1;
    if ((s[0] & spare) != 0) // never with q_high, whose low limbs are zero
        return 0;
    std::copy(u, u + h, a + l);
    const Limb carry = odd != 0 ? add_n(a + l, a + l, s + l, h) : 0;

    // r = carry B^n + a[0, n) - q^2, with q^2 = B^(2l) when q_high is set.
    Limb borrow = q_high;
    if (q_high == 0) {
        sqr(scratch, s, l, t);
        borrow = sub_n(a, a, scratch, 2 * l);
    }
    if (h > l)
        borrow = sub_1(a + 2 * l, a + 2 * l, 1, borrow);
    const Limb s_carry = q_high != 0 ? add_1(s + l, s + l, h, 1) : 0;
    if (carry >= borrow)
        return carry - borrow;
    // r < 0: the root is one less, and r + 2s - 1 the remainder. s was at
    // most B^n (its s_carry), and the sum comes back up through zero.
    Limb r_top = carry - borrow;
    r_top += add_n(a, a, s, n) + s_carry;
    r_top += add_n(a, a, s, n) + s_carry;
    r_top -= sub_1(a, a, n, 1);
    sub_1(s, s, n, 1);
    return r_top;
}

// The root alone, when only its bits above those in the mask `spare` matter:
// the top level's quotient comes from an approximate division, which skips
// the products its remainder would need, and neither the remainder nor the
// square of the low half is made. The root s' of the high half is exact and
// the quotient at most kApproxQuotientError too large, so the root is at most
// that (plus the one that the remainder would have corrected) above the
// floor. Returns false, with a and s spoilt, when that could reach the bits
// that matter, or when the quotient reaches B^l.
bool sqrt_n_approx(Limb *s, Limb *a, size_t n, Limb *scratch, const Tuning &t, Limb spare) {
    const size_t l = n / 2, h = n - l;
    const Limb c = sqrtrem_n(s + l, a + 2 * l, h, scratch, t);
    if (c != 0)
        sub_n(a + 2 * l, a + 2 * l, s + l, h);
    Limb *const q = scratch;
    div_appr(q, a + l, n, s + l, h, t);
    const Limb top = q[l] + c;
    if (top > 1)
        return false;
    rshift(s, q, l, 1);
    s[l - 1] |= top << (kLimbBits - 1);
    return (s[0] & spare) > kApproxQuotientError;
}

} // namespace

Nat sqrt_karatsuba(View a, const Tuning &t) {
    a = trimmed(a);
    if (a.empty())
        return {};
    // 2n limbs with a at the top, shifted left by an even count so that one of
    // the top two bits is set: the root comes out with `spare` bits below its
    // units. A zero limb or two below a give it at least 16, so that the top
    // level can mostly skip its remainder.
    const unsigned zeros = unsigned(std::countl_zero(a.back())) & ~1u;
    const size_t pad = a.size() % 2 != 0 ? 1 : zeros < 32 ? 2 : 0;
    const size_t n = (a.size() + pad) / 2;
    const unsigned spare = zeros / 2 + unsigned(pad) * kLimbBits / 2;
    LimbBuffer<64> x(2 * n), scratch(n + 1);
    auto load = [&] {
        std::fill(x.data(), x.data() + pad, 0);
        if (zeros != 0)
            lshift(x.data() + pad, a.data(), a.size(), zeros);
        else
            std::copy(a.begin(), a.end(), x.data() + pad);
    };
    load();
    Nat s(n);
    // From the first divide-and-conquer division up, the approximate top
    // level pays; the rare root whose spare bits it cannot vouch for (exact
    // squares among them) is made again exactly.
    const Limb mask = spare >= kLimbBits ? ~Limb(0) : (Limb(1) << spare) - 1;
    const bool approximate = n / 2 >= std::max<size_t>(t.div_dc, 4);
    if (!approximate || !sqrt_n_approx(s.data(), x.data(), n, scratch.data(), t, mask)) {
        if (approximate)
            load();
        sqrtrem_n(s.data(), x.data(), n, scratch.data(), t, mask);
    }
    if (spare % kLimbBits != 0)
        rshift(s.data(), s.data(), n, spare % kLimbBits);
    s.erase(s.begin(), s.begin() + spare / kLimbBits);
    normalize(s);
    return s;
}

} // namespace karvo::kernel
