// Integer power. A negative exponent truncates: 1/base^|e| is 0 unless the
// base is 1 or -1, and zero has no negative power. A result beyond the word
// limit is refused from its size before any work is done.
#include <cstdint>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;
using kernel::Nat;

namespace {

// Words needed by base^e for a base of `bits` bits >= 2: at least
// (bits - 1) e + 1 bits. Saturates instead of overflowing.
uint64_t words_at_least(uint64_t bits, uint64_t e) {
    const unsigned __int128 low_bits = (unsigned __int128)(bits - 1) * e + 1;
    const unsigned __int128 words = (low_bits + 31) / 32;
    return words > UINT64_MAX ? UINT64_MAX : uint64_t(words);
}

bignum *power(bignum *dst, bignum *base, bignum *exponent) {
    // The exponent is read before dst is written, so dst may be the exponent.
    const bool negative_exponent = is_negative(exponent);
    const auto e_words = magnitude(exponent);
    const bool odd = !e_words.empty() && (e_words[0] & 1);
    uint64_t e = 0;
    const bool e_fits = magnitude_to_u64(exponent, &e);
    const bool e_zero = e_words.empty();

    bignum_set(dst, 1);
    if (e_zero)
        return dst;
    const Nat b = to_nat(base);
    const bool negative_result = is_negative(base) && odd;
    const bool unit = b == Nat{1};

    if (negative_exponent) {
        if (b.empty()) {
            __bignum_zero(dst);
            report("bignum_pow", "zero to a negative power");
            return nullptr;
        }
        assign(dst, unit ? b : Nat{}, negative_result, "bignum_pow");
        return dst;
    }
    if (b.empty() || unit) {
        assign(dst, b, negative_result, "bignum_pow");
        return dst;
    }
    const uint64_t bits = kernel::bit_length(b);
    const uint64_t needed = e_fits ? words_at_least(bits, e) : UINT64_MAX;
    if (needed > kMaxWords) {
        __bignum_zero(dst);
        report_too_large("bignum_pow", needed);
        return nullptr;
    }
    const Nat result = kernel::pow(b, e);
    if (!assign(dst, result, negative_result, "bignum_pow"))
        return nullptr;
    return dst;
}

} // namespace

extern "C" bignum *bignum_pow(bignum *dst, bignum *base, bignum *exponent) {
    return guarded(
        "bignum_pow", [&] { return power(dst, base, exponent); },
        [&] { return left_at_zero(dst); });
}
