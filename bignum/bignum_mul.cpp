// Multiplication. The destination is cleared before the factors are read,
// so a factor that is also the destination counts as zero. The product is
// trimmed; its storage grows as if every word up to the sum of the factors'
// word counts had been written.
#include <algorithm>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

extern "C" bignum *bignum_mul(bignum *dst, bignum *a, bignum *b) {
    const uint64_t a_words_at_call = a->oofm;
    if (bignum_iszero(a) || bignum_iszero(b))
        return bignum_set(dst, 0);
    __bignum_zero(dst);
    const uint64_t written = b->oofm == 0 ? 0 : a_words_at_call + b->oofm;
    auto ma = magnitude(a), mb = magnitude(b);
    if (ma.size() < mb.size())
        std::swap(ma, mb);
    const uint64_t bound = mb.empty() ? 0 : ma.size() + mb.size();
    if (bound > kMaxWords + 1) {
        report_too_large("bignum_mul", bound - 1);
        return nullptr;
    }
    kernel::Nat spill;
    if (bound == kMaxWords + 1) {
        // The product has one word fewer than the bound or exceeds the limit.
        spill = kernel::mul(ma, mb);
        if (spill.size() > kMaxWords) {
            report_too_large("bignum_mul", spill.size());
            return nullptr;
        }
    }
    if (!reserve_ascending(dst, std::min(written, kMaxWords)))
        return nullptr;
    if (!spill.empty()) {
        write_magnitude(dst, spill);
    } else if (bound != 0) {
        kernel::mul(dst->numb, ma.data(), ma.size(), mb.data(), mb.size());
        dst->oofm = kernel::normalized_size(dst->numb, bound);
    }
    dst->sign = (a->sign == kNegative) != (b->sign == kNegative) ? kNegative : kPositive;
    return dst;
}
