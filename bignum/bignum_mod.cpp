// Remainder, modular inverse (extended Euclid, see kernels/gcd.cpp) and modular power
// (sliding window, Montgomery form for odd moduli).

#include "bignum.h"
#include "internal/division.h"
#include "internal/record.h"
#include "internal/report.h"
#include "kernels/cancel.h"

using namespace karvo;
using kernel::Nat;

extern "C" {

bignum *bignum_mod(bignum *r, bignum *divd, bignum *divs) {
    return guarded(
        "bignum_mod", [&] { return divide(nullptr, r, divd, divs, "bignum_mod") ? r : nullptr; },
        [&] { return left_at_zero(r); });
}

// For any signs: g = gcd(|a|, |b|) and a x + b y = g. Inputs are read before
// any output is touched, so outputs may be inputs.
static bignum *modinv(bignum *g, bignum *x, bignum *y, bignum *a, bignum *b) {
    const bool a_negative = is_negative(a), b_negative = is_negative(b);
    kernel::Bezout e;
    try {
        e = kernel::gcdext(to_nat(a), to_nat(b));
    } catch (const kernel::Cancelled &) {
        report("bignum_modinv", "cancelled");
        return nullptr;
    }
    // gcd(0, 0) = 0 is reached without a step; 0 = 0 x + 0 y with x = y = 0, as GMP has it.
    if (e.g.empty())
        e.x = {};
    // Room for all three first, so that a failure leaves them as they were.
    if ((g != nullptr && !reserve_for_copy(g, kernel::word_count(e.g))) ||
        (x != nullptr && !reserve_for_copy(x, kernel::word_count(e.x.mag))) ||
        (y != nullptr && !reserve_for_copy(y, kernel::word_count(e.y.mag))))
        return nullptr;
    if (g != nullptr)
        assign(g, e.g, false, "bignum_modinv");
    if (x != nullptr)
        assign(x, e.x.mag, e.x.negative != a_negative, "bignum_modinv");
    if (y != nullptr)
        assign(y, e.y.mag, e.y.negative != b_negative, "bignum_modinv");
    return y;
}

bignum *bignum_modinv(bignum *g, bignum *x, bignum *y, bignum *a, bignum *b) {
    return guarded(
        "bignum_modinv", [&] { return modinv(g, x, y, a, b); },
        [] { return static_cast<bignum *>(nullptr); });
}

// base^exponent reduced into [0, |modulus|). A negative base or modulus acts
// as its magnitude; a negative exponent raises the inverse of the base.
static bignum *modpow(bignum *dst, bignum *base, bignum *exponent, bignum *modulus) {
    const Nat m = to_nat(modulus);
    if (m.empty()) {
        __bignum_zero(dst);
        report("bignum_modpow", "modulus is zero");
        return nullptr;
    }
    Nat b;
    kernel::divrem(to_nat(base), m, nullptr, &b);
    if (is_negative(exponent)) {
        const kernel::Bezout e = kernel::gcdext(b, m);
        if (e.g != Nat{1}) {
            __bignum_zero(dst);
            report("bignum_modpow", "base has no inverse modulo the modulus");
            return nullptr;
        }
        // The coefficient lies in (-m, m); bring it into [0, m).
        b = e.x.negative && !e.x.mag.empty() ? kernel::sub(m, e.x.mag) : e.x.mag;
    }
    Nat result = m == Nat{1} ? Nat{} : kernel::powm(b, to_nat(exponent), m);
    if (!assign(dst, result, false, "bignum_modpow"))
        return nullptr;
    return dst;
}

bignum *bignum_modpow(bignum *dst, bignum *base, bignum *exponent, bignum *modulus) {
    return guarded(
        "bignum_modpow",
        [&]() -> bignum * {
            try {
                return modpow(dst, base, exponent, modulus);
            } catch (const kernel::Cancelled &) {
                __bignum_zero(dst);
                report("bignum_modpow", "cancelled");
                return nullptr;
            }
        },
        [&] { return left_at_zero(dst); });
}

} // extern "C"
