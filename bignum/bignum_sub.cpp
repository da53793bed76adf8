// Subtraction. The destination is cleared before the operands are read; mixed
// signs become an addition of magnitudes. A difference of magnitudes is
// trimmed; subtracting zero copies the other operand as it is. The operands
// are never written.
#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
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

// A copy of src's words and words in use, under the marker `sign`; null
// (dst at zero) when dst could not grow to hold it.
bignum *copy_as(bignum *dst, SignedOperand src) {
    if (bignum_set_bn(dst, src.record)->oofm != src.record->oofm)
        return left_at_zero(dst);
    dst->sign = src.sign;
    return dst;
}

} // namespace

int compare_magnitudes(const bignum *a, const bignum *b) {
    const auto ma = magnitude(a), mb = magnitude(b);
    if (ma.size() != mb.size())
        return ma.size() > mb.size() ? 1 : -1;
    for (size_t i = ma.size(); i-- > 0;) {
        if (ma[i] != mb[i])
            return ma[i] > mb[i] ? 1 : -1;
    }
    return 0;
}

bignum *sub_cleared(bignum *dst, SignedOperand a, SignedOperand b, const char *function) {
    if (a.sign == kNegative && b.sign == kPositive) {
        // -(|a| + b)
        bignum *r = add_cleared(dst, {a.record, kPositive}, b, function);
        if (r != nullptr)
            dst->sign = kNegative;
        return r;
    }
    if (a.sign == kPositive && b.sign == kNegative) {
        // a + |b|
        bignum *r = add_cleared(dst, a, {b.record, kPositive}, function);
        if (r != nullptr)
            dst->sign = kPositive;
        return r;
    }
    // Markers that are not mixed: the library order is that of the magnitudes.
    const bool both_negative = a.sign == kNegative;
    const int order = compare_magnitudes(a.record, b.record);
    if (order == 0)
        return dst;
    if (order > 0) {
        if (bignum_iszero(b.record))
            return copy_as(dst, a);
        if (subtract_magnitudes(dst, a.record, b.record) == nullptr)
            return nullptr;
        dst->sign = both_negative ? kNegative : kPositive;
        return dst;
    }
    // |b| - |a|, with the opposite sign
    if (bignum_iszero(a.record) ? copy_as(dst, b) == nullptr
                                : subtract_magnitudes(dst, b.record, a.record) == nullptr)
        return nullptr;
    dst->sign = both_negative ? kPositive : kNegative;
    return dst;
}

bignum *sub_signed(bignum *dst, const bignum *a, const bignum *b, const char *function) {
    __bignum_zero(dst);
    return sub_cleared(dst, {a, a->sign}, {b, b->sign}, function);
}

} // namespace karvo

extern "C" bignum *bignum_sub(bignum *dst, bignum *a, bignum *b) {
    return karvo::guarded(
        "bignum_sub", [&] { return karvo::sub_signed(dst, a, b, "bignum_sub"); },
        [&] { return karvo::left_at_zero(dst); });
}
