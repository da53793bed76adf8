#include "internal/record.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal/report.h"

namespace karvo {

bool magnitude_to_u64(const bignum *bn, uint64_t *out) {
    auto m = magnitude(bn);
    if (m.size() > 2)
        return false;
    *out = (m.size() > 0 ? m[0] : 0) | (m.size() > 1 ? uint64_t(m[1]) << 32 : 0);
    return true;
}

kernel::Nat to_nat(const bignum *bn) { return kernel::from_words(magnitude(bn)); }

uint64_t grown_size(uint64_t size, uint64_t want) {
    uint64_t grown = want <= 2 * size ? 2 * size : 2 * want;
    return grown < kMaxWords ? grown : kMaxWords;
}

bool resize_storage(bignum *bn, uint64_t new_size) {
    void *p = std::realloc(bn->numb, new_size * bn->wsize);
    if (p == nullptr) {
        report("__bignum_grow", "failed to realloc, %d", errno);
        return false;
    }
    bn->numb = static_cast<uint32_t *>(p);
    bn->size = new_size;
    return true;
}

bool reserve_ascending(bignum *bn, uint64_t words) {
    if (words > kMaxWords)
        return false;
    uint64_t size = bn->size;
    while (size < words)
        size = grown_size(size, size + 1);
    return size == bn->size || resize_storage(bn, size);
}

bool reserve_top_first(bignum *bn, uint64_t words) {
    if (words > kMaxWords)
        return false;
    return words <= bn->size || resize_storage(bn, grown_size(bn->size, words));
}

bool reserve_for_copy(bignum *bn, uint64_t words) {
    if (words > kMaxWords)
        return false;
    return words < bn->size || bn->size == kMaxWords ||
           resize_storage(bn, grown_size(bn->size, words));
}

void write_magnitude(bignum *dst, kernel::View value) {
    dst->oofm = kernel::to_words(value, dst->numb);
}

bool assign(bignum *dst, const kernel::Nat &value, bool negative, const char *function) {
    __bignum_zero(dst);
    const uint64_t words = kernel::word_count(value);
    if (words > kMaxWords) {
        report_too_large(function, words);
        return false;
    }
    if (!reserve_for_copy(dst, words))
        return false;
    write_magnitude(dst, value);
    dst->sign = negative && !value.empty() ? kNegative : kPositive;
    return true;
}

} // namespace karvo
