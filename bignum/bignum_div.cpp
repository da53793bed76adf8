// Division. The quotient of the magnitudes is rounded toward zero and is
// negative when exactly one operand is; the remainder is that of the
// magnitudes and never negative. Both outputs are cleared before the
// operands are read, and the operands' sign markers are positive for the
// length of the call.
#include <cstdio>

#include "bignum.h"
#include "internal/division.h"
#include "internal/record.h"
#include "internal/report.h"
#include "kernels/buffer.h"
#include "kernels/div.h"

namespace karvo {

namespace {

// Quotient and remainder of the magnitudes a and b (a's words at least b's,
// b not zero), handed to `use` as limb views; small operands stay on the stack.
template <class Use>
void divide_words(std::span<const uint32_t> a, std::span<const uint32_t> b, Use use) {
    kernel::LimbBuffer<32> x((a.size() + 1) / 2), y((b.size() + 1) / 2);
    const size_t xn = kernel::pack_words(a, x.data()), yn = kernel::pack_words(b, y.data());
    kernel::LimbBuffer<32> quotient(xn - yn + 1), remainder(yn);
    kernel::divrem(quotient.data(), remainder.data(), x.data(), xn, y.data(), yn);
    use(kernel::View(quotient.data(), kernel::normalized_size(quotient.data(), xn - yn + 1)),
        kernel::View(remainder.data(), kernel::normalized_size(remainder.data(), yn)));
}

// The single-word division; operands are known to be non-negative and the
// divisor word non-zero. The quotient's storage grows as if its top word
// were written first; the remainder is written to word 0 alone.
bignum *divide_by_word(bignum *q, bignum *r, const bignum *divd, uint32_t w) {
    bool ok = true;
    uint32_t rem = 0;
    if (!magnitude_is_zero(divd)) {
        divide_words(magnitude(divd), std::span<const uint32_t>(&w, 1),
                     [&](kernel::View quotient, kernel::View remainder) {
                         if (q != nullptr && (ok = reserve_top_first(q, divd->oofm)))
                             write_magnitude(q, quotient);
                         rem = remainder.empty() ? 0 : uint32_t(remainder[0]);
                     });
    }
    if (r != nullptr) {
        r->numb[0] = rem;
        if (rem != 0)
            r->oofm = 1;
    }
    return ok ? q : nullptr;
}

// Divisors of two or more words, |divd| > |divs|.
void divide_long(bignum *q, bignum *r, const bignum *divd, const bignum *divs) {
    const auto b = magnitude(divs);
    divide_words(magnitude(divd), b, [&](kernel::View quotient, kernel::View remainder) {
        if (q != nullptr && reserve_top_first(q, divd->oofm - b.size() + 1))
            write_magnitude(q, quotient);
        if (r != nullptr && reserve_top_first(r, kernel::word_count(remainder)))
            write_magnitude(r, remainder);
    });
}

} // namespace

bool divide(bignum *q, bignum *r, bignum *divd, bignum *divs, const char *function) {
    const uint8_t divd_sign = divd->sign, divs_sign = divs->sign;
    const bool negative_quotient = (divd_sign == kNegative) != (divs_sign == kNegative);
    divd->sign = kPositive;
    divs->sign = kPositive;
    if (q != nullptr)
        __bignum_zero(q);
    if (r != nullptr)
        __bignum_zero(r);

    bool ok = true;
    if (magnitude_is_zero(divs)) {
        report(function, "division by zero");
        ok = false;
    } else if (bignum_lt(divd, divs)) {
        if (q != nullptr)
            bignum_set(q, 0);
        if (r != nullptr)
            bignum_set_bn(r, divd);
    } else if (bignum_eq(divd, divs)) {
        if (q != nullptr)
            bignum_set(q, 1);
        if (r != nullptr)
            bignum_set(r, 0);
    } else if (magnitude(divs).size() == 1) {
        divide_by_word(q, r, divd, divs->numb[0]);
    } else {
        divide_long(q, r, divd, divs);
    }

    divd->sign = divd_sign;
    divs->sign = divs_sign;
    if (ok && q != nullptr && negative_quotient && !bignum_iszero(q))
        q->sign = kNegative;
    return ok;
}

} // namespace karvo

using namespace karvo;

extern "C" {

bignum *bignum_div(bignum *q, bignum *r, bignum *divd, bignum *divs) {
    return divide(q, r, divd, divs, "bignum_div") ? q : nullptr;
}

// Divides by word 0 of divs alone; expects non-negative operands and an r
// that holds zero (only its word 0 is written).
bignum *bignum_div_aux(bignum *q, bignum *r, bignum *divd, bignum *divs) {
    if (divd->sign == kNegative) {
        std::printf("%s().. divd is negative! ", "bignum_div_aux");
        bignum_print(divd);
        return nullptr;
    }
    if (divs->sign == kNegative) {
        std::printf("%s().. divs is negative! ", "bignum_div_aux");
        bignum_print(divs);
        return nullptr;
    }
    if (q != nullptr)
        __bignum_zero(q);
    const uint32_t w = __bignum_get(divs, 0);
    if (w == 0) {
        report("bignum_div_aux", "division by zero");
        return nullptr;
    }
    return divide_by_word(q, r, divd, w);
}

// Its value is always zero: the destination is cleared and returned.
bignum *bignum_rshift_multi(bignum *dst, bignum *src, bignum *count) {
    if (src == nullptr || count == nullptr)
        return nullptr;
    if (dst == nullptr && (dst = bignum_alloc()) == nullptr)
        return nullptr;
    __bignum_zero(dst);
    return dst;
}

} // extern "C"
