// Division. The quotient of the magnitudes is rounded toward zero and is
// negative when exactly one operand is; the remainder is that of the
// magnitudes and never negative. Both outputs are cleared before the
// operands are read; the operands themselves are never written.
#include <cstdio>

#include "bignum.h"
#include "internal/division.h"
#include "internal/record.h"
#include "internal/report.h"
#include "internal/signed_ops.h"
#include "kernels/buffer.h"
#include "kernels/div.h"

namespace karvo {

namespace {

// Quotient and remainder of the magnitudes a and b (a's words at least b's,
// b not zero), handed to `use` as limb views; small operands stay on the stack.
// The four share one buffer: the less stack a short division touches, the
// less often its stores fall on the addresses, modulo 4 KiB, of the record
// fields and words the next call reads first.
template <class Use>
void divide_words(std::span<const uint32_t> a, std::span<const uint32_t> b, Use use) {
    const size_t xn = (a.size() + 1) / 2, yn = (b.size() + 1) / 2, qn = xn - yn + 1;
    kernel::LimbBuffer<64> space(xn + yn + qn + yn);
    kernel::Limb *const x = space.data(), *const y = x + xn, *const quotient = y + yn,
                        *const remainder = quotient + qn;
    kernel::pack_words(a, x);
    kernel::pack_words(b, y);
    kernel::divrem(quotient, remainder, x, xn, y, yn);
    use(kernel::View(quotient, kernel::normalized_size(quotient, qn)),
        kernel::View(remainder, kernel::normalized_size(remainder, yn)));
}

// The single-word division; operands are known to be non-negative and the
// divisor word non-zero. The quotient's storage grows as if its top word
// were written first; the remainder is written to word 0 alone. False when
// the quotient's storage could not grow.
bool divide_by_word(bignum *q, bignum *r, const bignum *divd, uint32_t w) {
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
    return ok;
}

// Divisors of two or more words, |divd| > |divs|. False when an output's
// storage could not grow.
bool divide_long(bignum *q, bignum *r, const bignum *divd, const bignum *divs) {
    const auto b = magnitude(divs);
    bool ok = true;
    divide_words(magnitude(divd), b, [&](kernel::View quotient, kernel::View remainder) {
        if (q != nullptr && (ok = reserve_top_first(q, divd->oofm - b.size() + 1)))
            write_magnitude(q, quotient);
        if (ok && r != nullptr && (ok = reserve_top_first(r, kernel::word_count(remainder))))
            write_magnitude(r, remainder);
    });
    return ok;
}

} // namespace

bool divide(bignum *q, bignum *r, const bignum *divd, const bignum *divs, const char *function) {
    // The markers as passed: an output that is also an operand is cleared below.
    const uint8_t divd_sign = divd->sign, divs_sign = divs->sign;
    const bool negative_quotient = (divd_sign == kNegative) != (divs_sign == kNegative);
    if (q != nullptr)
        __bignum_zero(q);
    if (r != nullptr)
        __bignum_zero(r);

    bool ok = true;
    const int order = compare_magnitudes(divd, divs);
    if (magnitude_is_zero(divs)) {
        report(function, "division by zero");
        ok = false;
    } else if (order < 0) {
        if (q != nullptr)
            bignum_set(q, 0);
        if (r != nullptr) {
            ok = bignum_set_bn(r, divd)->oofm == divd->oofm; // not cut short
            r->sign = kPositive;
        }
    } else if (order == 0) {
        if (q != nullptr)
            bignum_set(q, 1);
        if (r != nullptr)
            bignum_set(r, 0);
    } else if (magnitude(divs).size() == 1) {
        ok = divide_by_word(q, r, divd, divs->numb[0]);
    } else {
        ok = divide_long(q, r, divd, divs);
    }
    // Storage that could not grow leaves both outputs at zero, as a refusal does.
    if (!ok && q != nullptr)
        __bignum_zero(q);
    if (!ok && r != nullptr)
        __bignum_zero(r);

    // An output given as an operand as well ends with that operand's marker,
    // before the quotient's sign, as the division has always left it.
    for (bignum *out : {q, r}) {
        if (out != nullptr && out == divd)
            out->sign = divd_sign;
    }
    for (bignum *out : {q, r}) {
        if (out != nullptr && out == divs)
            out->sign = divs_sign;
    }
    if (ok && q != nullptr && negative_quotient && !bignum_iszero(q))
        q->sign = kNegative;
    return ok;
}

} // namespace karvo

using namespace karvo;

extern "C" {

bignum *bignum_div(bignum *q, bignum *r, bignum *divd, bignum *divs) {
    return guarded(
        "bignum_div", [&] { return divide(q, r, divd, divs, "bignum_div") ? q : nullptr; },
        [&] { return left_at_zero(q, r); });
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
    return guarded(
        "bignum_div_aux", [&] { return divide_by_word(q, r, divd, w) ? q : nullptr; },
        [&] { return left_at_zero(q, nullptr); });
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
