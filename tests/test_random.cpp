// Random words from the C library's random(): one call per word, in order, and the value below
// a bound. The tests replace random() in this executable so that they can feed chosen values
// and count the calls; unscripted calls go on to the C library's generator.
#include <dlfcn.h>

#include <deque>

#include "support/oracle.h"

using namespace kt;

namespace {
std::deque<long> g_script;
bool g_scripted = false;
uint64_t g_calls = 0;
} // namespace

extern "C" long random() noexcept {
    g_calls++;
    if (g_scripted) {
        long v = g_script.empty() ? 0x5A5A5A5 : g_script.front();
        if (!g_script.empty())
            g_script.pop_front();
        return v;
    }
    static auto *real = reinterpret_cast<long (*)()>(dlsym(RTLD_NEXT, "random"));
    return real();
}

namespace {

// Scripts random() for the lifetime of the object.
struct Script {
    explicit Script(std::vector<long> values) {
        g_script.assign(values.begin(), values.end());
        g_scripted = true;
        g_calls = 0;
    }
    ~Script() {
        g_scripted = false;
        g_script.clear();
    }
};

TEST(RandomMag, WordsInCallOrder) {
    struct Case {
        Mpz start;
        uint64_t count;
        std::vector<long> draws;
        std::vector<uint32_t> words;
    } cases[] = {{0, 3, {5, 0, 2147483647, 99}, {5, 0, 2147483647}},
                 {-Mpz::pow2(40), 0, {}, {}},         // no draw; the sign stays
                 {-1, 4, {0, 0, 0, 0}, {0, 0, 0, 0}}, // zero words stay in use
                 {0, 13, std::vector<long>(13, 1), std::vector<uint32_t>(13, 1)}};
    for (const auto &c : cases) {
        Script s(c.draws);
        Num dst(c.start);
        EXPECT_EQ(bignum_rnd_mag(dst, c.count), dst.get());
        EXPECT_EQ(g_calls, c.count);
        EXPECT_EQ(words_of(dst), c.words);
        EXPECT_EQ(dst->sign, c.start.sgn() < 0 ? 2 : 1);
        EXPECT_EQ(dst->size, grown_size(std::max<uint64_t>(c.count, 1)));
    }
}

TEST(RandomMag, ReplaysTheSeededGenerator) {
    Rng rng;
    for (int iter = 0; iter < 60; iter++) {
        uint64_t n = rng.chance(90) ? rng.below(400) : rng.range(400, 30000);
        unsigned seed = unsigned(rng.below(1u << 31));
        srandom(seed);
        std::vector<uint32_t> want(n);
        for (auto &w : want)
            w = uint32_t(random());
        long next = random();
        srandom(seed);
        Num dst;
        if (rng.chance(30))
            dst->sign = 2;
        uint8_t sign = dst->sign;
        ASSERT_EQ(bignum_rnd_mag(dst, n), dst.get());
        EXPECT_EQ(words_of(dst), want);
        EXPECT_EQ(dst->sign, sign);
        EXPECT_EQ(dst->size, grown_size(n));
        EXPECT_EQ(random(), next) << "the generator is called once per word";
    }
}

TEST(RandomMag, CountAtTheLimit) {
    Num dst;
    EXPECT_TRUE(Quietly([&] { return bignum_rnd_mag(dst, 100000); }, dst));
    EXPECT_EQ(dst->oofm, 100000u);
    EXPECT_EQ(dst->size, 100000u);
    for (uint64_t count : {100001ull, 1ull << 40}) {
        Num over(-7);
        EXPECT_TRUE(Refuses([&] { return bignum_rnd_mag(over, count); }, over,
                            TooLarge("bignum_rnd_mag", count)));
    }
}

struct MaxCase {
    Mpz bound;
    std::vector<long> draws;
    std::vector<uint32_t> words; // words in use of the result
};

// Words 0 .. n-1 from the first n draws (oofm following the last nonzero draw), then the top
// word replaced by the next draw modulo the bound's top word; a nonzero word 0 counts.
std::vector<uint32_t> expected_max(const Mpz &bound, const std::vector<long> &draws) {
    uint64_t n = word_count(bound);
    std::vector<uint32_t> w(n);
    uint64_t oofm = 0;
    for (uint64_t i = 0; i < n; i++)
        if ((w[i] = uint32_t(draws[i])) != 0)
            oofm = i + 1;
    Mpz t;
    mpz_tdiv_q_2exp(t, bound, 32 * (n - 1));
    w[n - 1] = uint32_t(draws[n]) % uint32_t(mpz_get_ui(t));
    if (w[0] != 0 && oofm == 0)
        oofm = 1;
    w.resize(oofm);
    return w;
}

void check_max(const Num &bound, const std::vector<long> &draws) {
    Mpz b = bound.value();
    SCOPED_TRACE("bound " + describe(bound));
    std::vector<uint32_t> want = expected_max(b, draws);
    Script s(draws);
    Num dst;
    EXPECT_EQ(bignum_rnd_max(dst, bound), dst.get());
    EXPECT_EQ(g_calls, word_count(b) + 1);
    EXPECT_EQ(words_of(dst), want);
    EXPECT_EQ(dst->sign, 1);
    EXPECT_EQ(dst->size, grown_size(word_count(b)));
    EXPECT_TRUE(mpz_cmp(dst.value(), b) < 0);
    EXPECT_TRUE(HoldsExactly(bound, b, 1, word_count(b))) << "the bound is trimmed in place";
}

TEST(RandomMax, DocumentedCases) {
    // clang-format off
    MaxCase cases[] = {
        {100, {2147483647, 12345}, {45}}, {100, {5, 300}, {0}}, {3, {0, 37}, {1}},
        {3, {0, 36}, {}}, {Mpz::pow2(32), {77, 5, 9}, {77, 0}}, {Mpz::pow2(32), {0, 0, 9}, {}},
        {Mpz::pow2(64) + 7, {1, 0, 2, 8}, {1, 0, 0}},
        {Mpz(3) * Mpz::pow2(64), {0, 2, 0, 10}, {0, 2}}, // top word written, not counted
    };
    // clang-format on
    for (const auto &c : cases) {
        EXPECT_EQ(expected_max(c.bound, c.draws), c.words);
        check_max(Num(c.bound), c.draws);
    }
    check_max(Num(Mpz::pow2(40) + 3, 3), {1, 2, 3}); // zero high words of the bound go away

    Script s({});
    Num dst(-9), zero = words({0, 0, 0});
    EXPECT_EQ(bignum_rnd_max(dst, zero), dst.get());
    EXPECT_EQ(g_calls, 0u) << "a zero bound draws nothing";
    EXPECT_TRUE(HoldsExactly(dst, -9, 2, 1));
    EXPECT_EQ(zero->oofm, 0u);
}

TEST(RandomMax, RandomBoundsAndDraws) {
    Rng rng;
    for (int iter = 0; iter < 300; iter++) {
        Mpz b = rng.magnitude(rng.range(1, 300));
        std::vector<long> draws(word_count(b) + 1);
        for (auto &d : draws)
            d = rng.chance(20) ? 0 : long(rng.below(1ull << 31));
        check_max(rng.record(b, true), draws);
        ASSERT_FALSE(HasFailure());
    }
}

} // namespace
