// Remainder, modular inverse (extended Euclid) and modular power (sliding
// window, Montgomery form for odd moduli).
#include <utility>

#include "bignum.h"
#include "internal/division.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;
using kernel::Nat;

namespace {

// A signed value for the Bézout coefficients.
struct Signed {
    Nat mag;
    bool negative = false;
};

// x - q * y
Signed minus_product(const Signed &x, const Nat &q, const Signed &y) {
    Signed p{kernel::mul(q, y.mag), y.negative};
    if (p.mag.empty())
        return x;
    if (x.negative != p.negative)
        return {kernel::add(x.mag, p.mag), x.negative};
    if (kernel::compare(x.mag, p.mag) >= 0)
        return {kernel::sub(x.mag, p.mag), x.negative};
    return {kernel::sub(p.mag, x.mag), !x.negative};
}

struct Bezout {
    Nat g;
    Signed x, y; // a x + b y = g
};

// The extended Euclidean algorithm on natural numbers a and b.
Bezout extended_gcd(const Nat &a, const Nat &b) {
    Nat old_r = a, r = b;
    Signed old_s{{1}}, s{}, old_t{}, t{{1}};
    while (!r.empty()) {
        Nat q, rem;
        kernel::divrem(old_r, r, &q, &rem);
        old_r = std::exchange(r, std::move(rem));
        old_s = std::exchange(s, minus_product(old_s, q, s));
        old_t = std::exchange(t, minus_product(old_t, q, t));
    }
    return {std::move(old_r), std::move(old_s), std::move(old_t)};
}

} // namespace

extern "C" {

bignum *bignum_mod(bignum *r, bignum *divd, bignum *divs) {
    return divide(nullptr, r, divd, divs, "bignum_mod") ? r : nullptr;
}

// For any signs: g = gcd(|a|, |b|) and a x + b y = g. Inputs are read before
// any output is touched, so outputs may be inputs.
bignum *bignum_modinv(bignum *g, bignum *x, bignum *y, bignum *a, bignum *b) {
    const bool a_negative = is_negative(a), b_negative = is_negative(b);
    Bezout e = extended_gcd(to_nat(a), to_nat(b));
    if (g != nullptr)
        assign(g, e.g, false, "bignum_modinv");
    if (x != nullptr)
        assign(x, e.x.mag, e.x.negative != a_negative, "bignum_modinv");
    if (y != nullptr)
        assign(y, e.y.mag, e.y.negative != b_negative, "bignum_modinv");
    return y;
}

// base^exponent reduced into [0, |modulus|). A negative base or modulus acts
// as its magnitude; a negative exponent raises the inverse of the base.
bignum *bignum_modpow(bignum *dst, bignum *base, bignum *exponent, bignum *modulus) {
    const Nat m = to_nat(modulus);
    if (m.empty()) {
        __bignum_zero(dst);
        report("bignum_modpow", "modulus is zero");
        return nullptr;
    }
    Nat b;
    kernel::divrem(to_nat(base), m, nullptr, &b);
    if (is_negative(exponent)) {
        Bezout e = extended_gcd(b, m);
        if (e.g != Nat{1}) {
            __bignum_zero(dst);
            report("bignum_modpow", "base has no inverse modulo the modulus");
            return nullptr;
        }
        // The coefficient lies in (-m, m); bring it into [0, m).
        b = e.x.negative && !e.x.mag.empty() ? kernel::sub(m, e.x.mag) : e.x.mag;
    }
    Nat result = m == Nat{1} ? Nat{} : kernel::powm(b, to_nat(exponent), m);
    assign(dst, result, false, "bignum_modpow");
    return dst;
}

} // extern "C"
