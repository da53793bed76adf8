// Factorial. 0! = 1; a negative argument is refused, and so is a result
// beyond the word limit, from its size before any work is done.
#include <cmath>
#include <cstdint>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

namespace {

// Words of n!, from log2(n!) = lgamma(n + 1) / ln 2; saturates.
uint64_t estimated_words(uint64_t n) {
    int sign = 0; // lgamma_r, because lgamma writes the global signgam
    const double bits = ::lgamma_r(double(n) + 1.0, &sign) / std::log(2.0);
    const double words = std::floor(bits / 32.0) + 1.0;
    return words >= 1.8e19 ? UINT64_MAX : uint64_t(words);
}

bignum *factorial(bignum *dst, bignum *n, const char *function) {
    // dst is cleared before n is read: a record taken into itself gives 0! = 1.
    __bignum_zero(dst);
    if (is_negative(n)) {
        report(function, "factorial of a negative number");
        return nullptr;
    }
    uint64_t v = 0;
    const uint64_t estimate = magnitude_to_u64(n, &v) ? estimated_words(v) : UINT64_MAX;
    // The estimate is within a word of the truth; the product is checked again.
    if (estimate > kMaxWords + 1) {
        report_too_large(function, estimate);
        return nullptr;
    }
    if (!assign(dst, kernel::factorial(v), false, function))
        return nullptr;
    return dst;
}

} // namespace

extern "C" {

bignum *bignum_factorial(bignum *dst, bignum *n) {
    return guarded(
        "bignum_factorial", [&] { return factorial(dst, n, "bignum_factorial"); },
        [&] { return left_at_zero(dst); });
}

bignum *bignum_factorial_poor(bignum *dst, bignum *n) {
    return guarded(
        "bignum_factorial_poor", [&] { return factorial(dst, n, "bignum_factorial_poor"); },
        [&] { return left_at_zero(dst); });
}

} // extern "C"
