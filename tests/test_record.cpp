// The record, its storage growth, word access, assignment, the debug dump and the constants.
#include "support/oracle.h"

using namespace kt;

namespace {

// Grows a fresh record to `size` words: a want equal to the size doubles it.
void grow_to(bignum *b, uint64_t size) {
    while (b->size < size)
        __bignum_grow(b, b->size);
}

TEST(Record, NewRecordHoldsZeroWithTenWords) {
    Num n;
    EXPECT_TRUE(IsClearZero(n));
    EXPECT_EQ(n->size, 10u);
    bignum_free(nullptr); // ignored
}

TEST(Record, GrowDoublesOrJumpsToTwiceTheWantUpToTheLimit) {
    struct Case {
        uint64_t start, want, size;
    } cases[] = {{10, 9, 10},
                 {10, 10, 20},
                 {10, 25, 50},
                 {10, 99999, 100000},
                 {20, 19, 20},
                 {20, 40, 40},
                 {20, 41, 82},
                 {40960, 40960, 81920},
                 {10, 100000, 10},
                 {81920, 81920, 100000},
                 {100000, 99999, 100000},
                 {10, 1ull << 40, 10}};
    for (const auto &c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " want " + std::to_string(c.want));
        Num n;
        grow_to(n, c.start);
        for (uint32_t i = 0; i < 5; i++)
            __bignum_set(n, i, 0xA0000000u + i);
        std::string refused = "__bignum_grow().. requested size of " + std::to_string(c.want) +
                              " exceeds max of 100000\n";
        EXPECT_TRUE(
            PrintedLine(Stdout([&] { __bignum_grow(n, c.want); }), c.want > 99999 ? refused : ""));
        EXPECT_EQ(n->size, c.size);
        for (uint32_t i = 0; i < 5; i++)
            EXPECT_EQ(n->numb[i], 0xA0000000u + i) << "word " << i << " lost by growth";
    }
}

TEST(Record, SetWordGrowsStorageOnlyAndStopsAtTheLimit) {
    Num n = words({7}, 2);
    __bignum_set(n, 10, 0x12345678);
    EXPECT_EQ(n->size, 20u);
    EXPECT_TRUE(HoldsExactly(n, -7, 2, 1)) << "count and sign are left alone";
    EXPECT_EQ(n->numb[10], 0x12345678u);
    EXPECT_EQ(__bignum_get(n, 10), 0u) << "a word at or above oofm reads as zero";
    EXPECT_EQ(__bignum_get(n, 1u << 30), 0u);

    Num m;
    EXPECT_EQ(Stdout([&] { __bignum_set(m, 100000, 1); }), "") << "dropped without a message";
    EXPECT_EQ(Stdout([&] { __bignum_set(m, 99999, 1); }),
              "__bignum_grow().. requested size of 100000 exceeds max of 100000\n"
              "__bignum_set().. failed to grow to 100000\n");
    EXPECT_EQ(m->size, 10u);
    for (uint64_t i = 0; i < 99999; i++) { // sizes 10, 20, 40, ..., 81920, then 100000
        __bignum_set(m, i, uint32_t(i));
        if (i == 20 || i == 81919 || i == 81920) {
            EXPECT_EQ(m->size, grown_size(i + 1)) << "after writing word " << i;
        }
    }
    EXPECT_EQ(Stdout([&] { __bignum_set(m, 99999, 0xDEADBEEF); }), "");
    EXPECT_EQ(m->numb[99999], 0xDEADBEEFu);
    EXPECT_EQ(m->numb[81920], 81920u);
}

TEST(Record, TrimZeroAndSet) {
    Num a = words({5, 0, 0}), z = words({0, 0, 0}, 2), m = words({0, 9});
    __bignum_trim(a);
    __bignum_trim(z);
    __bignum_trim(m);
    EXPECT_TRUE(HoldsExactly(a, 5, 1, 1));
    EXPECT_TRUE(HoldsExactly(z, 0, 2, 0)) << "trimming keeps the sign";
    EXPECT_EQ(m->oofm, 2u);

    for (uint64_t v : {0ull, 1ull, 4294967295ull, 4294967296ull, ~0ull}) {
        Num n(-Mpz::ones(25)); // negative, with stale words to clear
        EXPECT_EQ(bignum_set(n, v), n.get());
        Mpz want;
        mpz_import(want, 1, 1, 8, 0, 0, &v);
        EXPECT_TRUE(HoldsExactly(n, want, 1, word_count(want))) << v;
        for (uint64_t i = n->oofm; i < n->size; i++)
            ASSERT_EQ(n->numb[i], 0u) << "stale word " << i << " after setting " << v;
    }
    Num n(-Mpz::ones(30));
    __bignum_zero(n);
    EXPECT_TRUE(IsClearZero(n));
    EXPECT_EQ(n->size, 40u);
    for (uint64_t i = 0; i < n->size; i++)
        ASSERT_EQ(n->numb[i], 0u) << "word " << i;
}

TEST(Record, SetWordsMostSignificantFirst) {
    const uint32_t one_zero[] = {1, 0}, zzs[] = {0, 0, 7};
    Num a, b, c(5);
    EXPECT_EQ(bignum_set_ui8(a, 2, one_zero), a.get());
    EXPECT_EQ(words_of(a), (std::vector<uint32_t>{0, 1}));
    bignum_set_ui8(b, 3, zzs);
    EXPECT_TRUE(HoldsExactly(b, 7, 1, 1));
    bignum_set_ui8(c, 0, zzs);
    EXPECT_TRUE(HoldsExactly(c, 5, 1, 1));
}

TEST(Record, CopyTakesValueSignAndCountAndGrowsOnce) {
    Num src(-Mpz::ones(3), 2);
    bignum *fresh = bignum_set_bn(nullptr, src);
    EXPECT_TRUE(HoldsExactly(fresh, -Mpz::ones(3), 2, 5));
    bignum_free(fresh);
    EXPECT_EQ(bignum_set_bn(src, src), src.get());
    EXPECT_TRUE(HoldsExactly(src, -Mpz::ones(3), 2, 5));

    // A destination no larger than the source's count grows once, by the doubling rule.
    struct Case {
        uint64_t src_words, dst_size, size;
    } cases[] = {{9, 10, 10},  {10, 10, 20}, {20, 10, 20},        {21, 10, 42},
                 {25, 40, 40}, {40, 40, 80}, {50000, 10, 100000}, {100000, 10, 100000}};
    for (const auto &c : cases) {
        Num s(Mpz::ones(c.src_words)), d(-1);
        grow_to(d, c.dst_size);
        EXPECT_TRUE(Quietly([&] { return bignum_set_bn(d, s); }, d));
        EXPECT_TRUE(HoldsExactly(d, Mpz::ones(c.src_words), 1, c.src_words));
        EXPECT_EQ(d->size, c.size) << c.src_words << " words into size " << c.dst_size;
    }
}

TEST(Record, PrintDumpsFieldsAndWordsMostSignificantFirst) {
    EXPECT_EQ(Stdout([] { bignum_print(Num()); }), "bignum={sign=1, oofm=0, size=10, numb=0x0}\n");
    EXPECT_EQ(Stdout([] { bignum_print(Num(-5)); }),
              "bignum={sign=2, oofm=1, size=10, numb=0x00000005 }\n");
    EXPECT_EQ(Stdout([] {
                  bignum_print(words({0xABCDEF, 0, 1}));
              }),
              "bignum={sign=1, oofm=3, size=10, numb=0x00000001 00000000 00ABCDEF }\n");
    EXPECT_EQ(Stdout([] { bignum_print(Num(Mpz::ones(1), 11)); }),
              "bignum={sign=1, oofm=12, size=20, numb=0x00000000 00000000 00000000 00000000 "
              "00000000 00000000 00000000 00000000 00000000 00000000 00000000 FFFFFFFF }\n");
}

TEST(Record, ConstantsHoldTheirValues) {
    EXPECT_TRUE(g_constants_null_before_init) << "accessors must answer null before init";
    bignum *(*const acc[])() = {
        bignum_zero,    bignum_one,        bignum_two,        bignum_three,    bignum_four,
        bignum_five,    bignum_six,        bignum_seven,      bignum_eight,    bignum_nine,
        bignum_ten,     bignum_eleven,     bignum_twelve,     bignum_thirteen, bignum_fourteen,
        bignum_fifteen, bignum_sixteen,    bignum_seventeen,  bignum_eighteen, bignum_nineteen,
        bignum_twenty,  bignum_thirty_two, bignum_one_hundred};
    const long values[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                           12, 13, 14, 15, 16, 17, 18, 19, 20, 32, 100};
    static bignum *before[23]; // the first records stay valid (and reachable) after a second init
    for (int i = 0; i < 23; i++) {
        before[i] = acc[i]();
        ASSERT_NE(before[i], nullptr) << i;
        EXPECT_TRUE(HoldsExactly(before[i], values[i], 1, values[i] ? 1 : 0));
        EXPECT_EQ(before[i]->size, 10u);
    }
    bignum_init();
    for (int i = 0; i < 23; i++) {
        EXPECT_NE(acc[i](), before[i]) << values[i];
        EXPECT_TRUE(HoldsExactly(acc[i](), values[i], 1, values[i] ? 1 : 0));
        EXPECT_TRUE(HoldsExactly(before[i], values[i], 1, values[i] ? 1 : 0));
    }
}

} // namespace
