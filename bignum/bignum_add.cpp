// Addition. The destination is cleared before the operands are read; mixed
// signs become a subtraction of magnitudes. The sum of magnitudes is not
// trimmed: it has as many words as the longer operand (at least one), plus
// one for a carry. The operands are never written.
#include <algorithm>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
#include "internal/signed_ops.h"

namespace karvo {

namespace {

bignum *add_magnitudes(bignum *dst, SignedOperand a, SignedOperand b, const char *function) {
    const uint64_t m = std::max<uint64_t>({a.record->oofm, b.record->oofm, 1});
    const kernel::Nat sum = kernel::add(to_nat(a.record), to_nat(b.record));
    const uint64_t words = kernel::word_count(sum); // m + 1 after a carry
    if (words > kMaxWords) {
        report_too_large(function, words);
        __bignum_zero(dst);
        return nullptr;
    }
    const uint64_t in_use = std::max(m, words);
    if (!reserve_ascending(dst, in_use))
        return nullptr;
    write_magnitude(dst, sum);
    std::fill(dst->numb + words, dst->numb + in_use, 0);
    dst->oofm = in_use;
    if (a.sign == kNegative && b.sign == kNegative)
        dst->sign = kNegative;
    return dst;
}

} // namespace

bignum *add_cleared(bignum *dst, SignedOperand a, SignedOperand b, const char *function) {
    if (a.sign == kNegative && b.sign == kPositive) {
        // -(|a| - b); a zero result keeps the flipped marker: -3 + 3 is a negative zero
        bignum *r = sub_cleared(dst, {a.record, kPositive}, b, function);
        if (r != nullptr)
            flip_sign(dst);
        return r;
    }
    if (a.sign == kPositive && b.sign == kNegative) // a - |b|
        return sub_cleared(dst, a, {b.record, kPositive}, function);
    return add_magnitudes(dst, a, b, function);
}

bignum *add_signed(bignum *dst, const bignum *a, const bignum *b, const char *function) {
    __bignum_zero(dst);
    return add_cleared(dst, {a, a->sign}, {b, b->sign}, function);
}

} // namespace karvo

extern "C" bignum *bignum_add(bignum *dst, bignum *a, bignum *b) {
    return karvo::guarded(
        "bignum_add", [&] { return karvo::add_signed(dst, a, b, "bignum_add"); },
        [&] { return karvo::left_at_zero(dst); });
}
