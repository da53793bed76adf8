// The record, its storage growth, word access, assignment, the debug dump, the constants, and
// random words from the C library's random().
#include <deque>

#include "support/oracle.h"

using namespace kt;

// Grows a fresh record to `size` words: a want equal to the size doubles it.
static void grow_to(bignum *b, uint64_t size) {
    while (b->size < size)
        __bignum_grow(b, b->size);
}

TEST(Record, GrowthAndWordAccess) {
    Num fresh;
    EXPECT_TRUE(IsClearZero(fresh) && fresh->size == 10u);
    bignum_free(nullptr); // ignored
    // The size doubles, or jumps to twice a want above that, up to the limit; a want of 100000
    // or more is refused. Growth keeps the words and the count.
    // clang-format off
    const uint64_t grow[][3] = {{10, 9, 10}, {10, 10, 20}, {10, 25, 50}, {10, 99999, 100000},
        {20, 40, 40}, {20, 41, 82}, {40960, 40960, 81920}, {10, 100000, 10},
        {81920, 81920, 100000}, {100000, 99999, 100000}, {10, 1ull << 40, 10}};
    // clang-format on
    for (auto [start, want, size] : grow) {
        Num n = words({1, 2, 3, 4, 0xA0000004});
        grow_to(n, start);
        std::string refused = "__bignum_grow().. requested size of " + std::to_string(want) +
                              " exceeds max of 100000\n";
        EXPECT_TRUE(
            PrintedLine(Stdout([&] { __bignum_grow(n, want); }), want > 99999 ? refused : ""));
        EXPECT_TRUE(Holds(n, Mpz("A000000400000004000000030000000200000001", 16), 1, 5) &&
                    n->size == size)
            << start << " " << want;
    }
    Num n = words({7}, 2); // writing a word grows storage only; words at or above oofm read 0
    __bignum_set(n, 10, 0x12345678);
    EXPECT_TRUE(Holds(n, -7, 2, 1) && n->size == 20u && n->numb[10] == 0x12345678u);
    EXPECT_TRUE(__bignum_get(n, 10) == 0 && __bignum_get(n, 1u << 30) == 0);
    EXPECT_EQ(Stdout([&] { __bignum_set(n, 100000, 1); }), "") << "dropped without a message";
    EXPECT_EQ(Stdout([&] { __bignum_set(n, 99999, 1); }),
              "__bignum_grow().. requested size of 100000 exceeds max of 100000\n"
              "__bignum_set().. failed to grow to 100000\n");
    grow_to(n, 100000); // 10, 20, 40, ..., 81920, then 100000
    EXPECT_EQ(Stdout([&] { __bignum_set(n, 99999, 0xDEADBEEF); }), "");
    EXPECT_EQ(n->numb[99999], 0xDEADBEEFu);
}

TEST(Record, TrimSetZeroAndCopy) {
    Num a = words({5, 0, 0}), z = words({0, 0, 0}, 2), t = words({0, 9});
    for (bignum *b : {a.get(), z.get(), t.get()})
        __bignum_trim(b);
    EXPECT_TRUE(Holds(a, 5, 1, 1) && Holds(z, 0, 2, 0) && t->oofm == 2) << "the sign stays";
    for (uint64_t v : {0ull, 1ull, 4294967295ull, 4294967296ull, ~0ull}) {
        Num n(-Mpz::ones(25)); // negative, with stale words to clear
        Mpz want;
        mpz_import(want, 1, 1, 8, 0, 0, &v);
        EXPECT_TRUE(Gives([&] { return bignum_set(n, v); }, n, {want, 1, word_count(want)}));
        EXPECT_EQ(std::vector<uint32_t>(n->numb + n->oofm, n->numb + 40),
                  std::vector<uint32_t>(40 - n->oofm));
    }
    Num zeroed(-Mpz::ones(30));
    __bignum_zero(zeroed);
    EXPECT_TRUE(IsClearZero(zeroed) && zeroed->size == 40u && zeroed->numb[29] == 0);
    const uint32_t msf[] = {0, 0, 7}; // most significant first, trimmed; a count of 0: no change
    Num b, c(5);
    EXPECT_TRUE(Gives([&] { return bignum_set_ui8(b, 3, msf); }, b, {7, 1, 1}) &&
                Gives([&] { return bignum_set_ui8(c, 0, msf); }, c, {5, 1, 1}));
    Num src(-Mpz::ones(3), 2); // a copy takes value, sign and count
    bignum *made = bignum_set_bn(nullptr, src);
    EXPECT_TRUE(Holds(made, -Mpz::ones(3), 2, 5));
    bignum_free(made);
    EXPECT_TRUE(Gives([&] { return bignum_set_bn(src, src); }, src, {-Mpz::ones(3), 2, 5}));
    // A destination no larger than the source's count grows once, by the doubling rule.
    // clang-format off
    const uint64_t copies[][3] = {{9, 10, 10}, {10, 10, 20}, {20, 10, 20}, {21, 10, 42},
        {25, 40, 40}, {40, 40, 80}, {50000, 10, 100000}, {100000, 10, 100000}};
    // clang-format on
    for (auto [count, dst_size, size] : copies) {
        Num s(Mpz::ones(count)), d(-1);
        grow_to(d, dst_size);
        EXPECT_TRUE(Gives([&] { return bignum_set_bn(d, s); }, d, {Mpz::ones(count), 1, count}));
        EXPECT_EQ(d->size, size) << count << " words into size " << dst_size;
    }
}

TEST(Record, PrintDumpsFieldsAndWordsMostSignificantFirst) {
    const std::pair<Num, std::string> cases[] = {
        {Num(), "sign=1, oofm=0, size=10, numb=0x0"},
        {Num(-5), "sign=2, oofm=1, size=10, numb=0x00000005 "},
        {Num(Mpz::pow2(64) + 0xABCDEF, 1),
         "sign=1, oofm=4, size=10, numb=0x00000000 00000001 00000000 00ABCDEF "}};
    for (const auto &[n, text] : cases)
        EXPECT_EQ(Stdout([&] { bignum_print(n); }), "bignum={" + text + "}\n");
}

TEST(Record, ConstantsHoldTheirValues) {
    EXPECT_TRUE(g_constants_null_before_init) << "accessors must answer null before init";
    // clang-format off
    bignum *(*const acc[])() = {bignum_zero, bignum_one, bignum_two, bignum_three, bignum_four,
        bignum_five, bignum_six, bignum_seven, bignum_eight, bignum_nine, bignum_ten,
        bignum_eleven, bignum_twelve, bignum_thirteen, bignum_fourteen, bignum_fifteen,
        bignum_sixteen, bignum_seventeen, bignum_eighteen, bignum_nineteen, bignum_twenty,
        bignum_thirty_two, bignum_one_hundred};
    // clang-format on
    static bignum *before[23]; // the first records stay valid (and reachable) after a second init
    for (int round = 0; round < 2; round++) {
        if (round == 1)
            bignum_init();
        for (int i = 0; i < 23; i++) {
            long v = i < 21 ? i : i == 21 ? 32 : 100;
            EXPECT_TRUE(Holds(acc[i](), v, 1, v ? 1 : 0) && acc[i]()->size == 10u) << v;
            EXPECT_TRUE(round ? acc[i]() != before[i] && Holds(before[i], v, 1, v ? 1 : 0)
                              : (before[i] = acc[i]()) != nullptr);
        }
    }
}

// The tests replace random() in this executable so that they can feed chosen values and count
// the calls.
static std::deque<long> g_draws;
static uint64_t g_calls = 0;

extern "C" long random() noexcept {
    g_calls++;
    long v = g_draws.empty() ? 0x5A5A5A5 : g_draws.front();
    if (!g_draws.empty())
        g_draws.pop_front();
    return v;
}

static void script(const std::vector<long> &draws) {
    g_draws.assign(draws.begin(), draws.end());
    g_calls = 0;
}

static std::vector<long> draws(Rng &rng, uint64_t n) {
    std::vector<long> d(n);
    for (auto &x : d)
        x = rng.chance(20) ? 0 : long(rng.below(1ull << 31));
    return d;
}

// One call per word, in order; zero words stay in use and the sign marker stays as it was.
TEST(Random, MagnitudeTakesOneDrawPerWord) {
    Rng rng;
    for (uint64_t n : {uint64_t(0), uint64_t(4), uint64_t(11), rng.range(400, 30000)}) {
        std::vector<long> d = draws(rng, n);
        script(d);
        Num dst(n == 4 ? Mpz(-1) : rng.value(20));
        uint8_t sign = dst->sign;
        uint64_t size = std::max(grown_size(n), dst->size);
        ASSERT_EQ(bignum_rnd_mag(dst, n), dst.get());
        EXPECT_EQ(words_of(dst), std::vector<uint32_t>(d.begin(), d.end()));
        EXPECT_TRUE(dst->sign == sign && dst->size == size && g_calls == n) << describe(dst);
    }
    Num full, over(-7);
    EXPECT_EQ(bignum_rnd_mag(full, 100000), full.get());
    EXPECT_TRUE(full->oofm == 100000u && full->size == 100000u);
    for (uint64_t count : {100001ull, 1ull << 40})
        EXPECT_TRUE(Gives([&] { return bignum_rnd_mag(over, count); }, over,
                          Refusal(TooLarge("bignum_rnd_mag", count))));
}

// Words 0 .. n-1 from the first n draws (oofm following the last nonzero draw), then the top
// word replaced by the next draw modulo the bound's top word; a nonzero word 0 counts. The
// bound is trimmed in place.
static std::vector<uint32_t> check_max(const Num &bound, const std::vector<long> &draws) {
    Mpz b = bound.value(), top;
    uint64_t n = word_count(b), oofm = 0;
    std::vector<uint32_t> want(n);
    for (uint64_t i = 0; i < n; i++)
        if ((want[i] = uint32_t(draws[i])) != 0)
            oofm = i + 1;
    mpz_tdiv_q_2exp(top, b, 32 * (n - 1));
    want[n - 1] = uint32_t(draws[n]) % uint32_t(mpz_get_ui(top));
    want.resize(want[0] != 0 && oofm == 0 ? 1 : oofm);
    script(draws);
    Num dst;
    EXPECT_EQ(bignum_rnd_max(dst, bound), dst.get());
    EXPECT_TRUE(g_calls == n + 1 && dst->sign == 1 && dst->size == grown_size(n) &&
                words_of(dst) == want && Holds(bound, b, 1, n))
        << "bound " << b.str(16) << " gave " << describe(dst);
    return want;
}

TEST(Random, BelowABound) {
    // clang-format off
    const std::tuple<Mpz, std::vector<long>, std::vector<uint32_t>> cases[] = {
        {100, {2147483647, 12345}, {45}}, {100, {5, 300}, {0}}, {3, {0, 37}, {1}}, {3, {0, 36}, {}},
        {Mpz::pow2(32), {77, 5, 9}, {77, 0}}, {Mpz::pow2(32), {0, 0, 9}, {}},
        {Mpz::pow2(64) + 7, {1, 0, 2, 8}, {1, 0, 0}},
        {3 * Mpz::pow2(64), {0, 2, 0, 10}, {0, 2}}, // top word written, not counted
    };
    // clang-format on
    for (const auto &[bound, draws, words] : cases)
        EXPECT_EQ(check_max(Num(bound, 2), draws), words); // zero high words of the bound go away
    script({});
    Num dst(-9), zero = words({0, 0, 0});
    EXPECT_EQ(bignum_rnd_max(dst, zero), dst.get());
    EXPECT_TRUE(g_calls == 0 && Holds(dst, -9, 2, 1) && zero->oofm == 0) << "zero bound: no draw";
    Rng rng;
    for (int iter = 0; iter < 40; iter++) {
        Mpz b = rng.magnitude(rng.range(1, iter < 35 ? 300 : 30000));
        check_max(rng.record(b), draws(rng, word_count(b) + 1));
    }
}
