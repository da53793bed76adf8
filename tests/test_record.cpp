// The record, its storage growth, word access, assignment, the debug dump, the constants,
// ordering, and random words from the C library's random().
#include <dlfcn.h>

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
    EXPECT_TRUE(IsClearZero(fresh));
    EXPECT_EQ(fresh->size, 10u);
    bignum_free(nullptr); // ignored
    // The size doubles, or jumps to twice a want above that, up to the limit; a want of 100000
    // or more is refused. Growth keeps the words.
    // clang-format off
    const uint64_t grow[][3] = {{10, 9, 10}, {10, 10, 20}, {10, 25, 50}, {10, 99999, 100000},
        {20, 40, 40}, {20, 41, 82}, {40960, 40960, 81920}, {10, 100000, 10},
        {81920, 81920, 100000}, {100000, 99999, 100000}, {10, 1ull << 40, 10}};
    // clang-format on
    for (auto [start, want, size] : grow) {
        Num n;
        grow_to(n, start);
        for (uint32_t i = 0; i < 5; i++)
            __bignum_set(n, i, 0xA0000000u + i);
        std::string refused = "__bignum_grow().. requested size of " + std::to_string(want) +
                              " exceeds max of 100000\n";
        EXPECT_TRUE(
            PrintedLine(Stdout([&] { __bignum_grow(n, want); }), want > 99999 ? refused : ""));
        EXPECT_EQ(n->size, size) << start << " " << want;
        EXPECT_EQ(words_of(n), std::vector<uint32_t>{}) << "count left alone";
        EXPECT_EQ(n->numb[4], 0xA0000004u);
    }
    Num n = words({7}, 2); // writing a word grows storage only
    __bignum_set(n, 10, 0x12345678);
    EXPECT_TRUE(HoldsExactly(n, -7, 2, 1) && n->size == 20u && n->numb[10] == 0x12345678u);
    EXPECT_EQ(__bignum_get(n, 10), 0u) << "a word at or above oofm reads as zero";
    EXPECT_EQ(__bignum_get(n, 1u << 30), 0u);
    Num m;
    EXPECT_EQ(Stdout([&] { __bignum_set(m, 100000, 1); }), "") << "dropped without a message";
    EXPECT_EQ(Stdout([&] { __bignum_set(m, 99999, 1); }),
              "__bignum_grow().. requested size of 100000 exceeds max of 100000\n"
              "__bignum_set().. failed to grow to 100000\n");
    EXPECT_EQ(m->size, 10u);
    grow_to(m, 100000); // 10, 20, 40, ..., 81920, then 100000
    EXPECT_EQ(Stdout([&] { __bignum_set(m, 99999, 0xDEADBEEF); }), "");
    EXPECT_EQ(m->numb[99999], 0xDEADBEEFu);
}

TEST(Record, TrimSetZeroAndCopy) {
    Num a = words({5, 0, 0}), z = words({0, 0, 0}, 2), t = words({0, 9});
    for (bignum *b : {a.get(), z.get(), t.get()})
        __bignum_trim(b);
    EXPECT_TRUE(HoldsExactly(a, 5, 1, 1) && HoldsExactly(z, 0, 2, 0)) << "trimming keeps the sign";
    EXPECT_EQ(t->oofm, 2u);
    for (uint64_t v : {0ull, 1ull, 4294967295ull, 4294967296ull, ~0ull}) {
        Num n(-Mpz::ones(25)); // negative, with stale words to clear
        EXPECT_EQ(bignum_set(n, v), n.get());
        Mpz want;
        mpz_import(want, 1, 1, 8, 0, 0, &v);
        EXPECT_TRUE(HoldsExactly(n, want, 1, word_count(want))) << v;
        EXPECT_EQ(std::vector<uint32_t>(n->numb + n->oofm, n->numb + n->size),
                  std::vector<uint32_t>(n->size - n->oofm, 0));
    }
    Num zeroed(-Mpz::ones(30));
    __bignum_zero(zeroed);
    EXPECT_TRUE(IsClearZero(zeroed) && zeroed->size == 40u);
    EXPECT_EQ(std::vector<uint32_t>(zeroed->numb, zeroed->numb + 40), std::vector<uint32_t>(40));

    const uint32_t msf[] = {0, 0, 7}; // most significant first, trimmed
    Num b, c(5);
    bignum_set_ui8(b, 3, msf);
    EXPECT_EQ(bignum_set_ui8(c, 0, msf), c.get());
    EXPECT_TRUE(HoldsExactly(b, 7, 1, 1) && HoldsExactly(c, 5, 1, 1)) << "a count of 0: no change";

    Num src(-Mpz::ones(3), 2); // a copy takes value, sign and count
    bignum *made = bignum_set_bn(nullptr, src);
    EXPECT_TRUE(HoldsExactly(made, -Mpz::ones(3), 2, 5));
    bignum_free(made);
    EXPECT_EQ(bignum_set_bn(src, src), src.get());
    EXPECT_TRUE(HoldsExactly(src, -Mpz::ones(3), 2, 5));
    // A destination no larger than the source's count grows once, by the doubling rule.
    // clang-format off
    const uint64_t copies[][3] = {{9, 10, 10}, {10, 10, 20}, {20, 10, 20}, {21, 10, 42},
        {25, 40, 40}, {40, 40, 80}, {50000, 10, 100000}, {100000, 10, 100000}};
    // clang-format on
    for (auto [count, dst_size, size] : copies) {
        Num s(Mpz::ones(count)), d(-1);
        grow_to(d, dst_size);
        EXPECT_TRUE(Quietly([&] { return bignum_set_bn(d, s); }, d));
        EXPECT_TRUE(HoldsExactly(d, Mpz::ones(count), 1, count));
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
    for (int i = 0; i < 23; i++) {
        long v = i < 21 ? i : i == 21 ? 32 : 100;
        EXPECT_TRUE(HoldsExactly(before[i] = acc[i](), v, 1, v ? 1 : 0)) << v;
        EXPECT_EQ(before[i]->size, 10u);
    }
    bignum_init();
    for (int i = 0; i < 23; i++) {
        long v = i < 21 ? i : i == 21 ? 32 : 100;
        EXPECT_NE(acc[i](), before[i]) << v;
        EXPECT_TRUE(HoldsExactly(acc[i](), v, 1, v ? 1 : 0) &&
                    HoldsExactly(before[i], v, 1, v ? 1 : 0));
    }
}

// The four comparisons must agree with each other for every pair, in both orders.
static void expect_order(const bignum *a, const bignum *b, int want) {
    for (int flip : {1, -1}) {
        EXPECT_EQ(bignum_cmp(a, b), want * flip);
        EXPECT_EQ(bignum_eq(a, b), want == 0);
        EXPECT_EQ(bignum_gt(a, b), want * flip == 1);
        EXPECT_EQ(bignum_lt(a, b), want * flip == -1);
        std::swap(a, b);
    }
}

// Sign markers first, magnitudes otherwise (two negatives order by magnitude); no words on
// both sides is equal whatever the markers, and a null operand compares equal to anything.
TEST(Compare, DocumentedOrderAndRandomOperands) {
    struct Case {
        Num a, b;
        int want;
        // clang-format off
    } cases[] = {
        {words({}, 1), words({}, 2), 0}, {words({0}, 1), words({0}, 2), 1}, {Num(0), Num(-5), 1},
        {words({}, 2), Num(-5), -1}, {Num(-5), Num(-3), 1}, {Num(-5), Num(3), -1},
        {Num(Mpz::pow2(32)), Num(4294967295), 1}, {words({5, 0, 0}, 2), words({5}, 2), 0},
        {words({0, 0, 0}), words({}), 0}, {words({1, 0, 0}), words({0, 0, 1}), -1},
        {words({0xFFFFFFFF, 0}), words({0, 1}), -1},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c.a) + " vs " + describe(c.b));
        expect_order(c.a, c.b, c.want);
    }
    expect_order(nullptr, cases[0].a, 0);
    expect_order(nullptr, nullptr, 0);
    // bignum_iszero looks at one word only: an untrimmed zero is not recognised.
    EXPECT_TRUE(bignum_iszero(words({}, 2)) && bignum_iszero(words({0}, 2)));
    EXPECT_FALSE(bignum_iszero(words({0, 0, 0})) || bignum_iszero(words({0, 1})));

    Rng rng;
    for (int iter = 0; iter < 1500; iter++) {
        Mpz va = rng.value(40), vb = rng.chance(30) ? va : rng.value(40);
        if (rng.chance(20)) // same length, nearby value
            vb = va + Mpz(long(rng.below(5)) - 2);
        Num a = rng.record(va), b = rng.record(vb);
        if (rng.chance(10) && va.sgn() == 0) // zero marked negative, as -3 + 3 leaves it
            a->sign = 2;
        int want = mpz_cmpabs(va, vb) > 0 ? 1 : mpz_cmpabs(va, vb) < 0 ? -1 : 0;
        if (a->oofm == 0 && b->oofm == 0)
            want = 0;
        else if (a->sign != b->sign)
            want = a->sign == 1 ? 1 : -1;
        SCOPED_TRACE(describe(a) + " vs " + describe(b));
        Snapshot sa(a), sb(b);
        expect_order(a, b, want);
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
        ASSERT_FALSE(HasFailure());
    }
}

// The tests replace random() in this executable so that they can feed chosen values and count
// the calls; unscripted calls go on to the C library's generator.
static std::deque<long> g_script;
static bool g_scripted = false;
static uint64_t g_calls = 0;

extern "C" long random() noexcept {
    g_calls++;
    if (!g_scripted) {
        static auto *real = reinterpret_cast<long (*)()>(dlsym(RTLD_NEXT, "random"));
        return real();
    }
    long v = g_script.empty() ? 0x5A5A5A5 : g_script.front();
    if (!g_script.empty())
        g_script.pop_front();
    return v;
}

struct Script { // scripts random() for the lifetime of the object
    explicit Script(std::vector<long> values) {
        g_script.assign(values.begin(), values.end());
        g_scripted = true;
        g_calls = 0;
    }
    ~Script() { g_scripted = false; }
};

// One call per word, in order, replaying the seeded generator; zero words stay in use and the
// sign marker stays as it was.
TEST(Random, MagnitudeTakesOneDrawPerWord) {
    {
        Script s({0, 0, 0, 0, 9});
        Num dst(-1);
        EXPECT_EQ(bignum_rnd_mag(dst, 4), dst.get());
        EXPECT_TRUE(HoldsExactly(dst, 0, 2, 4) && g_calls == 4);
    }
    Rng rng;
    for (int iter = 0; iter < 60; iter++) {
        uint64_t n = iter == 0 ? 0 : rng.chance(90) ? rng.below(400) : rng.range(400, 30000);
        unsigned seed = unsigned(rng.below(1u << 31));
        srandom(seed);
        std::vector<uint32_t> want(n);
        for (auto &w : want)
            w = uint32_t(random());
        long next = random();
        srandom(seed);
        Num dst(rng.value(20));
        uint8_t sign = dst->sign;
        uint64_t size = std::max(grown_size(n), dst->size);
        ASSERT_EQ(bignum_rnd_mag(dst, n), dst.get());
        EXPECT_EQ(words_of(dst), want);
        EXPECT_TRUE(dst->sign == sign && dst->size == size) << describe(dst);
        EXPECT_EQ(random(), next) << "the generator is called once per word";
    }
    Num full, over(-7);
    EXPECT_TRUE(Quietly([&] { return bignum_rnd_mag(full, 100000); }, full));
    EXPECT_TRUE(full->oofm == 100000u && full->size == 100000u);
    for (uint64_t count : {100001ull, 1ull << 40})
        EXPECT_TRUE(Refuses([&] { return bignum_rnd_mag(over, count); }, over,
                            TooLarge("bignum_rnd_mag", count)));
}

// Words 0 .. n-1 from the first n draws (oofm following the last nonzero draw), then the top
// word replaced by the next draw modulo the bound's top word; a nonzero word 0 counts. The
// bound is trimmed in place.
static std::vector<uint32_t> check_max(const Num &bound, const std::vector<long> &draws) {
    Mpz b = bound.value(), top;
    uint64_t n = word_count(b), oofm = 0;
    SCOPED_TRACE("bound " + describe(bound));
    std::vector<uint32_t> want(n);
    for (uint64_t i = 0; i < n; i++)
        if ((want[i] = uint32_t(draws[i])) != 0)
            oofm = i + 1;
    mpz_tdiv_q_2exp(top, b, 32 * (n - 1));
    want[n - 1] = uint32_t(draws[n]) % uint32_t(mpz_get_ui(top));
    want.resize(want[0] != 0 && oofm == 0 ? 1 : oofm);
    Script s(draws);
    Num dst;
    EXPECT_EQ(bignum_rnd_max(dst, bound), dst.get());
    EXPECT_TRUE(g_calls == n + 1 && dst->sign == 1 && dst->size == grown_size(n));
    EXPECT_EQ(words_of(dst), want);
    EXPECT_TRUE(HoldsExactly(bound, b, 1, n));
    return want;
}

TEST(Random, BelowABound) {
    struct Case {
        Mpz bound;
        std::vector<long> draws;
        std::vector<uint32_t> words; // words in use of the result
        // clang-format off
    } cases[] = {
        {100, {2147483647, 12345}, {45}}, {100, {5, 300}, {0}}, {3, {0, 37}, {1}}, {3, {0, 36}, {}},
        {Mpz::pow2(32), {77, 5, 9}, {77, 0}}, {Mpz::pow2(32), {0, 0, 9}, {}},
        {Mpz::pow2(64) + 7, {1, 0, 2, 8}, {1, 0, 0}},
        {3 * Mpz::pow2(64), {0, 2, 0, 10}, {0, 2}}, // top word written, not counted
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(check_max(Num(c.bound), c.draws), c.words);
    check_max(Num(Mpz::pow2(40) + 3, 3), {1, 2, 3}); // zero high words of the bound go away
    Script s({});
    Num dst(-9), zero = words({0, 0, 0});
    EXPECT_EQ(bignum_rnd_max(dst, zero), dst.get());
    EXPECT_EQ(g_calls, 0u) << "a zero bound draws nothing";
    EXPECT_TRUE(HoldsExactly(dst, -9, 2, 1) && zero->oofm == 0);

    Rng rng;
    for (int iter = 0; iter < 300; iter++) {
        Mpz b = rng.magnitude(rng.range(1, 300));
        std::vector<long> draws(word_count(b) + 1);
        for (auto &d : draws)
            d = rng.chance(20) ? 0 : long(rng.below(1ull << 31));
        check_max(rng.record(b), draws);
        ASSERT_FALSE(HasFailure());
    }
}
