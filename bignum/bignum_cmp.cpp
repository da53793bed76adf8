// Comparison. The sign markers decide when they differ; otherwise the
// magnitudes do, whatever the sign (so -5 compares greater than -3).
#include "bignum.h"
#include "internal/record.h"
#include "internal/signed_ops.h"

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
    return compare_magnitudes(a, b);
}

} // namespace

extern "C" {

int bignum_cmp(const bignum *a, const bignum *b) { return library_order(a, b); }
int bignum_eq(const bignum *a, const bignum *b) { return library_order(a, b) == 0; }
int bignum_gt(const bignum *a, const bignum *b) { return library_order(a, b) == 1; }
int bignum_lt(const bignum *a, const bignum *b) { return library_order(a, b) == -1; }

// Looks at one word at most: an untrimmed zero of two or more words is not zero here.
int bignum_iszero(const bignum *a) { return is_zero_record(a); }

} // extern "C"
