// Addition. The destination is cleared before the operands are read; mixed
// signs become a subtraction of magnitudes. The sum of magnitudes is not
// trimmed: it has as many words as the longer operand (at least one), plus
// one for a carry.
#include <algorithm>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
#include "internal/signed_ops.h"

namespace karvo {

namespace {

bignum *add_magnitudes(bignum *dst, const bignum *a, const bignum *b, const char *function) {
    const bignum *longer = a->oofm >= b->oofm ? a : b;
    const bignum *shorter = longer == a ? b : a;
    const uint64_t m = std::max<uint64_t>(longer->oofm, 1);
    if (!reserve_ascending(dst, m))
        return nullptr;
    dst->numb[0] = 0;
    uint32_t carry =
        kernel::add(dst->numb, longer->numb, longer->oofm, shorter->numb, shorter->oofm);
    if (carry != 0) {
        if (m + 1 > kMaxWords) {
            report_too_large(function, m + 1);
            __bignum_zero(dst);
            return nullptr;
        }
        if (!reserve_ascending(dst, m + 1))
            return nullptr;
        dst->numb[m] = carry;
    }
    dst->oofm = carry != 0 ? m + 1 : m;
    if (a->sign == kNegative && b->sign == kNegative)
        dst->sign = kNegative;
    return dst;
}

} // namespace

bignum *add_signed(bignum *dst, bignum *a, bignum *b, const char *function) {
    __bignum_zero(dst);
    if (a->sign == kNegative && b->sign == kPositive) {
        // -(|a| - b)
        a->sign = kPositive;
        bignum *r = sub_signed(dst, a, b, function);
        a->sign = kNegative;
        if (r != nullptr)
            flip_sign(dst);
        return r;
    }
    if (a->sign == kPositive && b->sign == kNegative) {
        // a - |b|
        b->sign = kPositive;
        bignum *r = sub_signed(dst, a, b, function);
        b->sign = kNegative;
        return r;
    }
    return add_magnitudes(dst, a, b, function);
}

} // namespace karvo

extern "C" bignum *bignum_add(bignum *dst, bignum *a, bignum *b) {
    return karvo::add_signed(dst, a, b, "bignum_add");
}
