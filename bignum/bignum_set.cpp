// Assignment: from a machine integer, from words, from another record, and
// from text in a radix up to 36.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"
#include "internal/signed_ops.h"

using namespace karvo;

extern "C" {

bignum *bignum_set(bignum *bn, uint64_t v) {
    __bignum_zero(bn);
    const uint32_t low = uint32_t(v), high = uint32_t(v >> 32);
    if (high != 0) {
        __bignum_set(bn, 0, low);
        __bignum_set(bn, 1, high);
        bn->oofm = 2;
    } else if (low != 0) {
        __bignum_set(bn, 0, low);
        bn->oofm = 1;
    }
    return bn;
}

// Adds the words to a record expected to hold zero; all-zero words leave
// `oofm` as it was.
bignum *bignum_set_ui8(bignum *bn, uint64_t n, const uint32_t *words_msf) {
    for (uint64_t i = 0; i < n; ++i) {
        __bignum_set(bn, i, words_msf[n - 1 - i]);
        if (i < bn->size && bn->numb[i] != 0)
            bn->oofm = i + 1;
    }
    return bn;
}

// Copies value, `oofm` and sign. A source of the full 100000 words is copied
// too: the destination grows to the limit.
bignum *bignum_set_bn(bignum *dst, const bignum *src) {
    if (dst == nullptr) {
        dst = bignum_alloc();
        if (dst == nullptr)
            return nullptr;
    }
    if (dst == src)
        return dst;
    if (dst->size <= src->oofm) {
        if (src->oofm < kMaxWords)
            __bignum_grow(dst, src->oofm);
        else
            reserve_for_copy(dst, src->oofm);
    }
    const uint64_t words = src->oofm <= dst->size ? src->oofm : dst->size;
    std::memcpy(dst->numb, src->numb, words * src->wsize);
    dst->sign = src->sign;
    dst->oofm = words;
    return dst;
}

} // extern "C"

namespace {

bignum *parse(bignum *dst, uint32_t radix, const char *text) {
    const size_t length = std::strlen(text);
    std::vector<uint8_t> digits(length);
    // Decimal digits, the usual text, in a pass the compiler vectorizes; any
    // other byte sends the text through the table.
    uint8_t other = 0;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t d = uint8_t(uint8_t(text[i]) - uint8_t('0'));
        digits[i] = d;
        other |= uint8_t(d > 9);
    }
    if (other != 0) {
        for (size_t i = 0; i < length; ++i)
            digits[i] = BIGNUM_BASE_CHAR_INV[uint8_t(text[i])];
    }

    kernel::Nat value;
    if (radix == 0) {
        value = kernel::from_u64(digits.back());
    } else if (radix == 1) {
        uint64_t sum = 0;
        for (uint8_t d : digits)
            sum += d;
        value = kernel::from_u64(sum);
    } else {
        size_t first = 0;
        while (first < length && digits[first] == 0)
            ++first;
        // The leading digit times radix^(count - 1) bounds the value from below.
        const size_t count = length - first;
        const double bits = count == 0 ? 0 : double(count - 1) * std::log2(double(radix));
        const double words = std::floor(bits / 32.0) + 1.0;
        if (words > double(kMaxWords)) {
            __bignum_zero(dst);
            report_too_large("bignum_set_str", words >= 1.8e19 ? UINT64_MAX : uint64_t(words));
            return nullptr;
        }
        value = kernel::from_digits(digits.data() + first, count, radix);
    }
    if (kernel::word_count(value) > kMaxWords) {
        __bignum_zero(dst);
        report_too_large("bignum_set_str", kernel::word_count(value));
        return nullptr;
    }
    if (dst->oofm == 0 && dst->sign == kPositive) {
        // The usual case, a destination holding zero: the sum is the value
        // itself, in at least one word, copied as a copy grows its destination.
        const uint64_t words = std::max<uint64_t>(kernel::word_count(value), 1);
        if (!reserve_for_copy(dst, words))
            return nullptr;
        dst->numb[0] = 0;
        write_magnitude(dst, value);
        dst->oofm = words;
        return dst;
    }
    ScopedRecord parsed, sum;
    if (!parsed || !sum)
        throw std::bad_alloc();
    if (!assign(parsed.get(), value, false, "bignum_set_str"))
        return left_at_zero(dst);
    if (add_signed(sum.get(), dst, parsed.get(), "bignum_set_str") == nullptr)
        return left_at_zero(dst);
    // A copy cut short by a failed growth is no result.
    if (bignum_set_bn(dst, sum.get())->oofm != sum.get()->oofm)
        return left_at_zero(dst);
    return dst;
}

} // namespace

extern "C" {

// The digits' value is added to what dst holds (callers pass zero). Every
// byte counts with its table value, also at or above the radix; radix 0 keeps
// only the last byte's digit and radix 1 sums the digits.
bignum *bignum_set_str(bignum *dst, uint32_t radix, const char *text) {
    if (radix > 36 || text == nullptr || text[0] == '\0')
        return nullptr;
    return guarded(
        "bignum_set_str", [&] { return parse(dst, radix, text); },
        [&] { return left_at_zero(dst); });
}

} // extern "C"
