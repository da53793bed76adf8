// Comparison. The sign markers decide when they differ; otherwise the
// magnitudes do, whatever the sign (so -5 compares greater than -3).
#include "bignum.h"
#include "internal/record.h"

using namespace karvo;

namespace {

int library_order(const bignum *a, const bignum *b) {
    if (a == nullptr || b == nullptr)
        return 0;
    if (a->oofm == 0 && b->oofm == 0)
        return 0;
    if (a->sign == kNegative && b->sign == kPositive)
        return -1;
    if (a->sign == kPositive && b->sign == kNegative)
        return 1;
    auto ma = magnitude(a), mb = magnitude(b);
    if (ma.size() != mb.size())
        return ma.size() > mb.size() ? 1 : -1;
    for (size_t i = ma.size(); i-- > 0;) {
        if (ma[i] != mb[i])
            return ma[i] > mb[i] ? 1 : -1;
    }
    return 0;
}

} // namespace

extern "C" {

int bignum_cmp(const bignum *a, const bignum *b) { return library_order(a, b); }
int bignum_eq(const bignum *a, const bignum *b) { return library_order(a, b) == 0; }
int bignum_gt(const bignum *a, const bignum *b) { return library_order(a, b) == 1; }
int bignum_lt(const bignum *a, const bignum *b) { return library_order(a, b) == -1; }

// Looks at one word at most: an untrimmed zero of two or more words is not zero here.
int bignum_iszero(const bignum *a) { return a->oofm == 0 || (a->oofm == 1 && a->numb[0] == 0); }

} // extern "C"
