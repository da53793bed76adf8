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
    const uint64_t m = std::max<uint64_t>({a->oofm, b->oofm, 1});
    const kernel::Nat sum = kernel::add(to_nat(a), to_nat(b));
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
