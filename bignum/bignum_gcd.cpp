// Greatest common divisor of the magnitudes, always non-negative. The
// destination is written last, so it may be one of the operands.
#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
#include "kernels/cancel.h"

using namespace karvo;

static bignum *gcd(bignum *dst, bignum *a, bignum *b) {
    // With a zero operand the other one is the answer, copied as it stands.
    const bignum *only = magnitude_is_zero(b) ? a : magnitude_is_zero(a) ? b : nullptr;
    if (only != nullptr) {
        if (bignum_set_bn(dst, only)->oofm != only->oofm) // cut short
            return left_at_zero(dst);
        dst->sign = kPositive;
        return dst;
    }
    kernel::Nat g;
    try {
        g = kernel::gcd(to_nat(a), to_nat(b));
    } catch (const kernel::Cancelled &) {
        __bignum_zero(dst);
        report("bignum_gcd", "cancelled");
        return nullptr;
    }
    if (!assign(dst, g, false, "bignum_gcd"))
        return nullptr;
    return dst;
}

extern "C" bignum *bignum_gcd(bignum *dst, bignum *a, bignum *b) {
    return guarded(
        "bignum_gcd", [&] { return gcd(dst, a, b); }, [&] { return left_at_zero(dst); });
}

extern "C" void bignum_set_cancel_flag(const int *flag) { kernel::cancel_flag = flag; }
