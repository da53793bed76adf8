// Greatest common divisor of the magnitudes, always non-negative. The
// destination is written last, so it may be one of the operands.
#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
#include "kernels/cancel.h"

using namespace karvo;

extern "C" bignum *bignum_gcd(bignum *dst, bignum *a, bignum *b) {
    // With a zero operand the other one is the answer, copied as it stands.
    const bignum *only = magnitude_is_zero(b) ? a : magnitude_is_zero(a) ? b : nullptr;
    if (only != nullptr) {
        bignum_set_bn(dst, only);
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
    assign(dst, g, false, "bignum_gcd");
    return dst;
}

extern "C" void bignum_set_cancel_flag(const int *flag) { kernel::cancel_flag = flag; }
