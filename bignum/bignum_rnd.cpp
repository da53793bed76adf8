// Random numbers from the C library's random(), one call per word, never
// seeded here. Results are not trimmed.
#include <cstdlib>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

extern "C" {

// `words` random words from word 0 upwards; the sign is kept.
bignum *bignum_rnd_mag(bignum *dst, uint64_t words) {
    if (words > kMaxWords) {
        __bignum_zero(dst);
        report_too_large("bignum_rnd_mag", words);
        return nullptr;
    }
    if (!reserve_ascending(dst, words))
        return nullptr;
    for (uint64_t i = 0; i < words; ++i)
        dst->numb[i] = uint32_t(random());
    dst->oofm = words;
    return dst;
}

// A value below the bound (trimmed here, in place) for a destination that
// holds zero: the bound's word count of random words, the top one reduced
// below the bound's top word by one more draw.
bignum *bignum_rnd_max(bignum *dst, bignum *bound) {
    __bignum_trim(bound);
    const uint64_t n = bound->oofm;
    if (n == 0)
        return dst;
    const uint32_t top = bound->numb[n - 1];
    if (!reserve_ascending(dst, n))
        return nullptr;
    for (uint64_t i = 0; i < n; ++i) {
        dst->numb[i] = uint32_t(random());
        if (dst->numb[i] != 0)
            dst->oofm = i + 1;
    }
    dst->numb[n - 1] = uint32_t(random()) % top;
    if (dst->numb[0] != 0 && dst->oofm == 0)
        dst->oofm = 1;
    return dst;
}

} // extern "C"
