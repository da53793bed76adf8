#include "internal/record.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "internal/report.h"

namespace karvo {

std::span<const uint32_t> magnitude(const bignum *bn) {
    return kernel::trimmed(std::span<const uint32_t>(bn->numb, bn->oofm));
}

bool magnitude_to_u64(const bignum *bn, uint64_t *out) {
    auto m = magnitude(bn);
    if (m.size() > 2)
        return false;
    *out = (m.size() > 0 ? m[0] : 0) | (m.size() > 1 ? uint64_t(m[1]) << 32 : 0);
    return true;
}

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

void write_magnitude(bignum *dst, std::span<const uint32_t> words) {
    if (!words.empty())
        std::memcpy(dst->numb, words.data(), words.size() * sizeof(uint32_t));
    dst->oofm = words.size();
}

bool assign(bignum *dst, const kernel::Nat &value, bool negative, const char *function) {
    __bignum_zero(dst);
    if (value.size() > kMaxWords) {
        report_too_large(function, value.size());
        return false;
    }
    if (!reserve_for_copy(dst, value.size()))
        return false;
    write_magnitude(dst, value);
    dst->sign = negative && !value.empty() ? kNegative : kPositive;
    return true;
}

} // namespace karvo
