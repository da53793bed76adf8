// Conversion from text. Digits are gathered into chunks of one limb. Below
// Tuning::radix_in_dc chunks they are combined by Horner's rule; above it,
// blocks of chunks are, and the blocks go into a balanced tree: neighbours
// (low, high) become low + high P at each level, P the block's power of the
// radix squared once per level.
#include <algorithm>
#include <bit>
#include <cstring>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

// Digits per chunk such that a chunk stays below 2^64: radix^k < 2^64 when
// every digit is below the radix, 36 radix^k < 2^64 when digit values up to
// 35 may be at or above it.
unsigned chunk_digits(unsigned radix, bool digits_below_radix) {
    const unsigned top = digits_below_radix ? 1 : 36;
    unsigned k = 1;
    DLimb scale = radix;
    while (scale * radix * top < (DLimb(1) << kLimbBits)) {
        scale *= radix;
        ++k;
    }
    return k;
}

Limb scale_of(unsigned radix, unsigned digits) {
    Limb scale = 1;
    for (unsigned i = 0; i < digits; ++i)
        scale *= radix;
    return scale;
}

// The value of eight digits, the most significant first, in three steps of
// lanes instead of eight dependent products: pairs in 16-bit lanes, fours in
// 32-bit lanes, then the eight. Digit values below 36 keep every lane below
// its width (35 (36 + 1) < 2^16, 35 (36^3 + ...) < 2^32).
Limb eight_digits(const uint8_t *digits, unsigned radix) {
    Limb x;
    std::memcpy(&x, digits, 8);
    if constexpr (std::endian::native == std::endian::big)
        x = __builtin_bswap64(x);
    const Limb r = radix;
    x = (x & 0x00ff00ff00ff00ffull) * r + ((x >> 8) & 0x00ff00ff00ff00ffull);
    x = (x & 0x0000ffff0000ffffull) * (r * r) + ((x >> 16) & 0x0000ffff0000ffffull);
    return (x & 0xffffffffull) * (r * r * r * r) + (x >> 32);
}

// The value of n chunks, least significant first, by Horner's rule from the
// top chunk down: acc = acc scale + chunk. Each step adds at most one limb.
Nat horner(const Limb *chunks, size_t n, Limb scale) {
    Nat acc(n + 1, 0);
    size_t used = 0;
    for (size_t i = n; i-- > 0;) {
        acc[used] = mul_1(acc.data(), acc.data(), used, scale);
        used += acc[used] != 0 ? 1 : 0;
        acc[used] = add_1(acc.data(), acc.data(), used, chunks[i]);
        used += acc[used] != 0 ? 1 : 0;
    }
    acc.resize(used);
    return acc;
}

} // namespace

Nat from_digits(const uint8_t *values, size_t count, unsigned radix, const Tuning &t) {
    // A radix 2^b whose digits are all below it: the digits are the bits. When
    // b divides 64 each limb is 64 / b whole digits, gathered in one pass that
    // also finds whether any digit is out of range (then its bits show in the
    // OR of them all).
    const bool power_of_two = (radix & (radix - 1)) == 0;
    const unsigned b = unsigned(std::countr_zero(radix));
    if (power_of_two && kLimbBits % b == 0) {
        const size_t per_limb = kLimbBits / b;
        Nat r((count + per_limb - 1) / per_limb);
        uint8_t seen = 0;
        size_t end = count;
        for (Limb &limb : r) {
            const size_t begin = end >= per_limb ? end - per_limb : 0;
            Limb v = 0;
            for (size_t i = begin; i < end; ++i) {
                v = (v << b) | values[i];
                seen |= values[i];
            }
            limb = v;
            end = begin;
        }
        if (seen < radix) {
            normalize(r);
            return r;
        }
    }
    // The largest digit value, in one pass the compiler vectorizes.
    uint8_t largest = 0;
    for (size_t i = 0; i < count; ++i)
        largest = std::max(largest, values[i]);
    const bool packed = power_of_two && largest < radix;
    if (packed) {
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
    const unsigned k = chunk_digits(radix, largest < radix);
    const Limb scale = scale_of(radix, k);
    // Chunks from the least significant end; the top one may be short.
    const Limb radix8 = scale_of(radix, 8);
    std::vector<Limb> chunks;
    chunks.reserve(count / k + 1);
    for (size_t end = count; end > 0;) {
        const size_t begin = end >= k ? end - k : 0;
        Limb value = 0;
        size_t i = begin;
        for (; i + 8 <= end; i += 8)
            value = value * radix8 + eight_digits(values + i, radix);
        for (; i < end; ++i)
            value = value * radix + values[i];
        chunks.push_back(value);
        end = begin;
    }
    if (chunks.size() < std::max<size_t>(t.radix_in_dc, 2))
        return horner(chunks.data(), chunks.size(), scale);
    // Leaves of `block` chunks by Horner's rule, then the tree. A power of two
    // of leaves keeps the tree whole: an odd leaf left over at the top would
    // want the block's power squared once more, the largest square of all.
    const size_t leaves =
        std::bit_floor(std::max<size_t>(1, chunks.size() / std::max<size_t>(1, t.radix_in_dc / 8)));
    const size_t block = (chunks.size() + leaves - 1) / leaves;
    std::vector<Nat> level;
    for (size_t i = 0; i < chunks.size(); i += block)
        level.push_back(horner(chunks.data() + i, std::min(block, chunks.size() - i), scale));
    // The block's power of the radix as odd * 2^zeros: the product by its
    // odd part is the smaller one, the factor of two a shift.
    const unsigned scale_zeros = unsigned(std::countr_zero(scale));
    Nat odd = pow(Nat{scale >> scale_zeros}, block, t);
    uint64_t zeros = uint64_t(scale_zeros) * block;
    while (level.size() > 1) {
        std::vector<Nat> next;
        for (size_t i = 0; i < level.size(); i += 2) {
            if (i + 1 == level.size())
                next.push_back(std::move(level[i]));
            else
                next.push_back(add(level[i], shift_left(mul(level[i + 1], odd, t), zeros)));
        }
        level = std::move(next);
        if (level.size() > 1) {
            odd = sqr(odd, t);
            zeros *= 2;
        }
    }
    return level[0];
}

} // namespace karvo::kernel
