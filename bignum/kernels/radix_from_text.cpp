// Conversion from text. Digits are gathered into chunks of one limb; below
// Tuning::radix_dc chunks they are combined by Horner's rule, above it in a
// balanced tree: pairs of neighbours (low, high) become low + high radix^(k 2^i)
// at level i, the powers made once by squaring.
#include <algorithm>
#include <bit>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

// Digits per chunk such that a chunk of digit values below 36 (possibly at or
// above the radix) stays below 36 radix^k < 2^64.
unsigned chunk_digits(unsigned radix) {
    unsigned k = 1;
    DLimb scale = radix;
    while (scale * radix * 36 < (DLimb(1) << kLimbBits)) {
        scale *= radix;
        ++k;
    }
    return k;
}

} // namespace

Nat from_digits(const uint8_t *values, size_t count, unsigned radix, const Tuning &t) {
    // A radix 2^b whose digits are all below it: the digits are the bits.
    const bool packed = (radix & (radix - 1)) == 0 &&
                        std::all_of(values, values + count, [&](uint8_t v) { return v < radix; });
    if (packed) {
        const unsigned b = unsigned(std::countr_zero(radix));
        Nat r((uint64_t(count) * b + kLimbBits - 1) / kLimbBits + 1, 0);
        for (size_t i = 0; i < count; ++i) {
            const uint64_t pos = uint64_t(count - 1 - i) * b;
            r[pos / kLimbBits] |= Limb(values[i]) << (pos % kLimbBits);
            if (pos % kLimbBits + b > kLimbBits)
                r[pos / kLimbBits + 1] |= Limb(values[i]) >> (kLimbBits - pos % kLimbBits);
        }
        normalize(r);
        return r;
    }
    const unsigned k = chunk_digits(radix);
    Limb scale = 1;
    for (unsigned i = 0; i < k; ++i)
        scale *= radix;
    // Chunks from the least significant end; the top one may be short.
    std::vector<Nat> level;
    for (size_t end = count; end > 0;) {
        const size_t begin = end >= k ? end - k : 0;
        Limb value = 0;
        for (size_t i = begin; i < end; ++i)
            value = value * radix + values[i];
        level.push_back(from_u64(value));
        end = begin;
    }
    if (level.size() < std::max<size_t>(t.radix_dc, 2)) {
        Nat acc;
        for (size_t i = level.size(); i-- > 0;) {
            acc.push_back(0);
            acc.back() = mul_1(acc.data(), acc.data(), acc.size() - 1, scale);
            acc.push_back(0);
            if (!level[i].empty())
                add(acc.data(), acc.data(), acc.size(), level[i].data(), 1);
            normalize(acc);
        }
        return acc;
    }
    Nat power{scale};
    while (level.size() > 1) {
        std::vector<Nat> next;
        for (size_t i = 0; i < level.size(); i += 2) {
            if (i + 1 == level.size())
                next.push_back(std::move(level[i]));
            else
                next.push_back(add(level[i], mul(level[i + 1], power, t)));
        }
        level = std::move(next);
        if (level.size() > 1)
            power = sqr(power, t);
    }
    return level.empty() ? Nat{} : level[0];
}

} // namespace karvo::kernel
