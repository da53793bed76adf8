// The magnitude as bits and bytes: big-endian byte strings, bit tests, bit
// and byte lengths, and a right shift in place by less than a word.
#include <bit>
#include <cstring>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

namespace {

// Significant bytes of a word: 0 for a zero word.
unsigned word_bytes(uint32_t w) { return (32 - unsigned(std::countl_zero(w)) + 7) / 8; }

} // namespace

extern "C" {

// Writes the top word's significant bytes (one byte for a zero top word),
// then every lower word as four bytes, most significant first.
uint8_t *bignum_getbytes(bignum *bn, uint8_t *buf) {
    if (bn->oofm == 0) {
        buf[0] = 0;
        return buf;
    }
    uint8_t *out = buf;
    const uint32_t top = bn->numb[bn->oofm - 1];
    for (unsigned b = word_bytes(top) > 0 ? word_bytes(top) : 1; b-- > 0;)
        *out++ = uint8_t(top >> (8 * b));
    for (uint64_t i = bn->oofm - 1; i-- > 0;) {
        for (unsigned b = 4; b-- > 0;)
            *out++ = uint8_t(bn->numb[i] >> (8 * b));
    }
    return buf;
}

// Untrimmed: oofm becomes ceil(len / 4) whatever the leading bytes are.
bignum *bignum_setbytes(bignum *dst, const uint8_t *buf, int32_t len) {
    __bignum_zero(dst);
    if (len <= 0)
        return dst;
    const uint64_t words = (uint64_t(len) + 3) / 4;
    if (words > kMaxWords) {
        report_too_large("bignum_setbytes", words);
        return nullptr;
    }
    if (!reserve_ascending(dst, words))
        return nullptr;
    for (uint64_t i = 0; i < words; ++i) {
        const int64_t end = int64_t(len) - int64_t(4 * i); // one past the word's last byte
        const int64_t begin = end >= 4 ? end - 4 : 0;
        uint32_t w = 0;
        for (int64_t p = begin; p < end; ++p)
            w = (w << 8) | buf[p];
        dst->numb[i] = w;
    }
    dst->oofm = words;
    return dst;
}

uint32_t bignum_get_uint32(bignum *bn) { return bn == nullptr || bn->oofm == 0 ? 0 : bn->numb[0]; }

// 0 for zero, and for a number whose top word is zero.
uint64_t bignum_bitlen(bignum *bn) {
    if (bignum_iszero(bn))
        return 0;
    const uint32_t top = bn->numb[bn->oofm - 1];
    if (top == 0)
        return 0;
    return 32 * (bn->oofm - 1) + 32 - unsigned(std::countl_zero(top));
}

uint64_t bignum_bytelen(bignum *bn) {
    if (bn->oofm == 0)
        return 0;
    return 4 * (bn->oofm - 1) + word_bytes(bn->numb[bn->oofm - 1]);
}

// Bits are numbered from 1, the least significant bit of word 0.
int bignum_isbitset(bignum *bn, uint64_t bit_from_1) {
    if (bit_from_1 == 0 || (bit_from_1 - 1) / 32 >= bn->oofm)
        return 0;
    return (bn->numb[(bit_from_1 - 1) / 32] >> ((bit_from_1 - 1) % 32)) & 1;
}

int64_t bignum_lowest_set_bit(bignum *bn) {
    for (uint64_t i = 0; i < bn->oofm; ++i) {
        if (bn->numb[i] != 0)
            return int64_t(32 * i + unsigned(std::countr_zero(bn->numb[i])));
    }
    return -1;
}

// Only count mod 32 counts; oofm and sign stay, so the top word may become zero.
bignum *bignum_rshift(bignum *bn, uint64_t count) {
    const unsigned s = unsigned(count % 32);
    if (s == 0 || bn->oofm == 0)
        return bn;
    for (uint64_t i = 0; i + 1 < bn->oofm; ++i)
        bn->numb[i] = (bn->numb[i] >> s) | (bn->numb[i + 1] << (32 - s));
    bn->numb[bn->oofm - 1] >>= s;
    return bn;
}

} // extern "C"
