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
    const uint64_t na = magnitude(a).size(), nb = magnitude(b).size();
    // A product of na + nb - 1 words or more is beyond the limit before it is made.
    if (na != 0 && nb != 0 && na + nb - 1 > kMaxWords) {
        report_too_large("bignum_mul", na + nb - 1);
        return nullptr;
    }
    const kernel::Nat product = kernel::mul(to_nat(a), to_nat(b));
    const uint64_t words = kernel::word_count(product);
    if (words > kMaxWords) {
        report_too_large("bignum_mul", words);
        return nullptr;
    }
    if (!reserve_ascending(dst, std::min(written, kMaxWords)))
        return nullptr;
    write_magnitude(dst, product);
    dst->sign = (a->sign == kNegative) != (b->sign == kNegative) ? kNegative : kPositive;
    return dst;
}
