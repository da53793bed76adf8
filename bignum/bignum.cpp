// The record: creation and release, word storage, the debug dump and the
// library's shared constant numbers.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

namespace {

// The shared constants, in the order bignum_init creates them.
// clang-format off
enum Constant {
    kZero, kOne, kTwo, kThree, kFour, kFive, kSix, kSeven, kEight, kNine, kTen, kEleven,
    kTwelve, kThirteen, kFourteen, kFifteen, kSixteen, kSeventeen, kEighteen, kNineteen,
    kTwenty, kThirtyTwo, kOneHundred, kConstantCount
};
constexpr uint64_t kConstantValues[kConstantCount] = {0,  1,  2,  3,  4,  5,  6,  7,
                                                      8,  9,  10, 11, 12, 13, 14, 15,
                                                      16, 17, 18, 19, 20, 32, 100};
// clang-format on
bignum *constants[kConstantCount];

} // namespace

extern "C" {

bignum *bignum_alloc(void) {
    auto *bn = static_cast<bignum *>(std::calloc(1, sizeof(bignum)));
    if (bn == nullptr)
        return nullptr;
    bn->sign = kPositive;
    bn->oofm = 0;
    bn->wsize = sizeof(uint32_t);
    bn->size = kInitialWords;
    bn->wbase = uint64_t(1) << 32;
    bn->numb = static_cast<uint32_t *>(std::malloc(kInitialWords * bn->wsize));
    if (bn->numb == nullptr) {
        std::free(bn);
        return nullptr;
    }
    return bn;
}

void bignum_free(bignum *bn) {
    if (bn == nullptr)
        return;
    std::free(bn->numb);
    std::free(bn);
}

// A second call makes new records; the earlier ones stay valid for whoever
// still holds them.
void bignum_init(void) {
    for (int c = 0; c < kConstantCount; ++c) {
        constants[c] = bignum_alloc();
        if (constants[c] != nullptr)
            bignum_set(constants[c], kConstantValues[c]);
    }
}

bignum *bignum_zero(void) { return constants[kZero]; }
bignum *bignum_one(void) { return constants[kOne]; }
bignum *bignum_two(void) { return constants[kTwo]; }
bignum *bignum_three(void) { return constants[kThree]; }
bignum *bignum_four(void) { return constants[kFour]; }
bignum *bignum_five(void) { return constants[kFive]; }
bignum *bignum_six(void) { return constants[kSix]; }
bignum *bignum_seven(void) { return constants[kSeven]; }
bignum *bignum_eight(void) { return constants[kEight]; }
bignum *bignum_nine(void) { return constants[kNine]; }
bignum *bignum_ten(void) { return constants[kTen]; }
bignum *bignum_eleven(void) { return constants[kEleven]; }
bignum *bignum_twelve(void) { return constants[kTwelve]; }
bignum *bignum_thirteen(void) { return constants[kThirteen]; }
bignum *bignum_fourteen(void) { return constants[kFourteen]; }
bignum *bignum_fifteen(void) { return constants[kFifteen]; }
bignum *bignum_sixteen(void) { return constants[kSixteen]; }
bignum *bignum_seventeen(void) { return constants[kSeventeen]; }
bignum *bignum_eighteen(void) { return constants[kEighteen]; }
bignum *bignum_nineteen(void) { return constants[kNineteen]; }
bignum *bignum_twenty(void) { return constants[kTwenty]; }
bignum *bignum_thirty_two(void) { return constants[kThirtyTwo]; }
bignum *bignum_one_hundred(void) { return constants[kOneHundred]; }

void __bignum_grow(bignum *bn, uint64_t want) {
    if (want > kMaxWords - 1) {
        report("__bignum_grow", "requested size of %llu exceeds max of %d",
               (unsigned long long)want, (int)kMaxWords);
        return;
    }
    if (want < bn->size)
        return;
    resize_storage(bn, grown_size(bn->size, want));
}

void __bignum_trim(bignum *bn) {
    while (bn->oofm > 0 && bn->numb[bn->oofm - 1] == 0)
        --bn->oofm;
}

void __bignum_set(bignum *bn, uint64_t i, uint32_t w) {
    if (i > kMaxWords - 1)
        return;
    if (i >= bn->size) {
        __bignum_grow(bn, i + 1);
        if (i >= bn->size) {
            report("__bignum_set", "failed to grow to %d", (int)(i + 1));
            return;
        }
    }
    bn->numb[i] = w;
}

uint32_t __bignum_get(const bignum *bn, uint64_t i) { return i < bn->oofm ? bn->numb[i] : 0; }

void __bignum_zero(bignum *bn) {
    std::memset(bn->numb, 0, bn->size * bn->wsize);
    bn->sign = kPositive;
    bn->oofm = 0;
}

void bignum_print(const bignum *bn) {
    std::printf("bignum={sign=%d, oofm=%llu, size=%llu, numb=0x", bn->sign,
                (unsigned long long)bn->oofm, (unsigned long long)bn->size);
    if (bn->oofm == 0)
        std::putchar('0');
    for (uint64_t i = bn->oofm; i-- > 0;)
        std::printf("%08lX ", (unsigned long)bn->numb[i]);
    std::printf("}\n");
}

} // extern "C"
