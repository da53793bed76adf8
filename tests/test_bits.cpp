// Bits and bytes of the magnitude: big-endian export and import, lengths, bit tests, the
// lowest set bit and the in-place right shift by the count modulo 32.
#include "support/oracle.h"

using namespace kt;

using Bytes = std::vector<uint8_t>;

static unsigned top_bytes(uint32_t t) {
    return t > 0xFFFFFF ? 4 : t > 0xFFFF ? 3 : t > 0xFF ? 2 : t ? 1 : 0;
}

// Every read of n against a model of the words in use: the top word gives its significant bytes
// (one byte for a zero top word), every other word 4; the bit length counts from the top word
// only, so a record whose top word is zero has bit length 0.
static void check_reads(bignum *n, Rng &rng) {
    SCOPED_TRACE(describe(n));
    Snapshot before(n);
    Mpz mag = abs(value_of(n));
    uint32_t top = n->oofm ? n->numb[n->oofm - 1] : 0;
    Bytes want = {0};
    if (n->oofm) {
        want.clear();
        for (int i = int(std::max(top_bytes(top), 1u)) - 1; i >= 0; i--)
            want.push_back(uint8_t(top >> (8 * i)));
        for (uint64_t w = n->oofm - 1; w-- > 0;)
            for (int i = 3; i >= 0; i--)
                want.push_back(uint8_t(n->numb[w] >> (8 * i)));
    }
    Bytes buf(want.size() + 8, 0xEE);
    EXPECT_EQ(bignum_getbytes(n, buf.data()), buf.data());
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + want.size()), want);
    EXPECT_EQ(Bytes(buf.begin() + want.size(), buf.end()), Bytes(8, 0xEE)) << "wrote too much";
    EXPECT_EQ(bignum_bitlen(n), top ? 32 * n->oofm - __builtin_clz(top) : 0);
    EXPECT_EQ(bignum_bytelen(n), n->oofm ? 4 * (n->oofm - 1) + top_bytes(top) : 0);
    EXPECT_EQ(bignum_get_uint32(n), n->oofm ? n->numb[0] : 0u);
    EXPECT_EQ(bignum_lowest_set_bit(n), mag.sgn() ? int64_t(mpz_scan1(mag, 0)) : -1);
    EXPECT_EQ(bignum_isbitset(n, 0), 0);
    for (int i = 0; i < 40; i++) {
        uint64_t k = rng.chance(80) ? rng.range(1, 32 * n->oofm + 64) : rng.below(1ull << 63);
        bool set = k > 0 && (k - 1) / 32 < n->oofm && mpz_tstbit(mag, k - 1);
        EXPECT_EQ(bignum_isbitset(n, k), int(set)) << "bit " << k;
    }
    EXPECT_TRUE(before.Unchanged());
}

TEST(Bits, DocumentedReads) {
    Num a = words({0x80000001, 0x3}); // bits count from 1
    EXPECT_TRUE(bignum_isbitset(a, 1) && bignum_isbitset(a, 32) && bignum_isbitset(a, 34));
    EXPECT_FALSE(bignum_isbitset(a, 0) || bignum_isbitset(a, 2) || bignum_isbitset(a, 35));
    struct Case {
        Num n;
        uint64_t bitlen, bytelen;
        int64_t lowest;
        Bytes bytes;
        // clang-format off
    } cases[] = {
        {Num(6), 3, 1, 1, {6}}, {Num(0xFF), 8, 1, 0, {0xFF}}, {Num(0x100), 9, 2, 8, {1, 0}},
        {Num(0x10000), 17, 3, 16, {1, 0, 0}}, {Num(0xFF0001), 24, 3, 0, {0xFF, 0, 1}},
        {Num(0x1000000), 25, 4, 24, {1, 0, 0, 0}}, {Num(0x80000000), 32, 4, 31, {0x80, 0, 0, 0}},
        {Num(-Mpz::pow2(32)), 33, 5, 32, {1, 0, 0, 0, 0}}, {Num(0), 0, 0, -1, {0}},
        {words({0}), 0, 0, -1, {0}}, {words({7, 0}), 0, 4, 0, {0, 0, 0, 0, 7}}, // top word zero
        {words({0, 0}, 2), 0, 4, -1, {0, 0, 0, 0, 0}},
    };
    // clang-format on
    Rng rng;
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c.n));
        Bytes buf(c.bytes.size());
        bignum_getbytes(c.n, buf.data());
        EXPECT_TRUE(buf == c.bytes && bignum_bitlen(c.n) == c.bitlen &&
                    bignum_bytelen(c.n) == c.bytelen && bignum_lowest_set_bit(c.n) == c.lowest);
        check_reads(c.n, rng);
    }
    EXPECT_TRUE(bignum_get_uint32(nullptr) == 0 &&
                bignum_get_uint32(words({0x11, 0x22}, 2)) == 0x11);
}

// The shift keeps the sign marker and the words in use.
TEST(Bits, ShiftByCountModulo32AndSetBytes) {
    struct Case {
        Num n;
        uint64_t count;
        std::vector<uint32_t> words;
        // clang-format off
    } cases[] = {
        {Num(Mpz::pow2(32)), 1, {0x80000000, 0}}, {Num(0x380000001), 1, {0xC0000000, 1}},
        {Num(0x380000001), 32, {0x80000001, 3}}, {Num(0x380000001), 33, {0xC0000000, 1}},
        {Num(1), 1, {0}}, {Num(0), 5, {}}, {Num(-7), 1, {3}},
        {Num(0x380000001), (1ull << 40) + 4, {0x38000000, 0}},
    };
    // clang-format on
    for (const auto &c : cases) {
        uint8_t sign = c.n->sign;
        EXPECT_EQ(bignum_rshift(c.n, c.count), c.n.get());
        EXPECT_TRUE(words_of(c.n) == c.words && c.n->sign == sign) << describe(c.n);
    }
    // Bytes most significant first; the result is positive, in as many words as the bytes fill.
    // clang-format off
    const std::pair<Bytes, std::vector<uint32_t>> bytes[] = {
        {{1, 2, 3, 4, 5}, {0x02030405, 1}}, {{0, 0, 0, 0, 7}, {7, 0}}, {{0xAB}, {0xAB}},
        {{0, 0, 0, 0}, {0}}, {{0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 1}, {1, 0xDEADBEEF}},
    };
    // clang-format on
    for (const auto &[b, words] : bytes) {
        Num dst(-Mpz::ones(30));
        EXPECT_EQ(bignum_setbytes(dst, b.data(), int32_t(b.size())), dst.get());
        EXPECT_TRUE(words_of(dst) == words && dst->sign == 1) << describe(dst);
    }
    for (int32_t len : {0, -1, -100}) {
        Num dst(-5);
        bignum_setbytes(dst, bytes[0].first.data(), len);
        EXPECT_TRUE(IsClearZero(dst)) << len;
    }
    Bytes full(400001, 0xFF);
    Num dst, over(3);
    EXPECT_TRUE(Gives([&] { return bignum_setbytes(dst, full.data() + 1, 400000); }, dst,
                      {Mpz::ones(100000), 1, 100000}));
    EXPECT_TRUE(Gives([&] { return bignum_setbytes(over, full.data(), 400001); }, over,
                      Refusal(TooLarge("bignum_setbytes", 100001))));
}

// Reads, the shift and byte import of random records, from empty to tens of thousands of words.
TEST(Bits, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        Num n = rng.operand(30000);
        check_reads(n, rng);
        Mpz want;
        uint64_t count = rng.chance(80) ? rng.below(70) : rng.below(~0ull);
        mpz_tdiv_q_2exp(want, n.value(), count % 32);
        uint8_t sign = n->sign;
        uint64_t oofm = n->oofm;
        bignum_rshift(n, count);
        EXPECT_TRUE(Holds(n, want, sign, oofm)) << "count " << count;
        Bytes bytes(rng.chance(90) ? rng.below(300) : rng.below(100000));
        for (auto &b : bytes)
            b = rng.chance(20) ? 0 : uint8_t(rng.below(256));
        if (!bytes.empty())
            mpz_import(want, bytes.size(), 1, 1, 1, 0, bytes.data());
        Num dst;
        uint64_t words = (bytes.size() + 3) / 4;
        EXPECT_TRUE(Gives([&] { return bignum_setbytes(dst, bytes.data(), int32_t(bytes.size())); },
                          dst, {bytes.empty() ? Mpz(0) : want, 1, words}));
        EXPECT_EQ(dst->size, grown_size(words));
        ASSERT_FALSE(HasFailure());
    }
}
