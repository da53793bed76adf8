// Subtraction. The destination is cleared before the operands are read; mixed
// signs become an addition of magnitudes. A difference of magnitudes is
// trimmed; subtracting zero copies the other operand as it is.
#include "bignum.h"
#include "internal/record.h"
#include "internal/signed_ops.h"

namespace karvo {

namespace {

// dst = |big| - |small| for |big| > |small|, over the words in use of big.
bignum *subtract_magnitudes(bignum *dst, const bignum *big, const bignum *small) {
    if (!reserve_ascending(dst, big->oofm))
        return nullptr;
    write_magnitude(dst, kernel::sub(to_nat(big), to_nat(small)));
    return dst;
}

} // namespace

bignum *sub_signed(bignum *dst, bignum *a, bignum *b, const char *function) {
    __bignum_zero(dst);
    if (a->sign == kNegative && b->sign == kPositive) {
        // -(|a| + b)
        a->sign = kPositive;
        bignum *r = add_signed(dst, a, b, function);
        a->sign = kNegative;
        if (r != nullptr)
            dst->sign = kNegative;
        return r;
    }
    if (a->sign == kPositive && b->sign == kNegative) {
        // a + |b|
        b->sign = kPositive;
        bignum *r = add_signed(dst, a, b, function);
        b->sign = kNegative;
        if (r != nullptr)
            dst->sign = kPositive;
        return r;
    }
    const bool both_negative = a->sign == kNegative;
    const int order = bignum_cmp(a, b);
    if (order == 0)
        return dst;
    if (order > 0) {
        if (bignum_iszero(b))
            return bignum_set_bn(dst, a);
        if (subtract_magnitudes(dst, a, b) == nullptr)
            return nullptr;
        dst->sign = both_negative ? kNegative : kPositive;
        return dst;
    }
    // |b| - |a|, with the opposite sign
    if (bignum_iszero(a))
        bignum_set_bn(dst, b);
    else if (subtract_magnitudes(dst, b, a) == nullptr)
        return nullptr;
    dst->sign = both_negative ? kPositive : kNegative;
    return dst;
}

} // namespace karvo

extern "C" bignum *bignum_sub(bignum *dst, bignum *a, bignum *b) {
    return karvo::sub_signed(dst, a, b, "bignum_sub");
}
