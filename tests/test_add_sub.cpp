// Signed addition and subtraction: values, sign markers, words in use and storage growth.
#include "support/oracle.h"

using namespace kt;

namespace {

struct Expect {
    Mpz value;
    uint8_t sign;
    uint64_t oofm;
};

bool looks_zero(const bignum *b) { return b->oofm == 0 || (b->oofm == 1 && b->numb[0] == 0); }

// Sum of magnitudes: untrimmed, as many words as the longer operand (at least one) plus carry.
Expect add_magnitudes(const bignum *x, const bignum *y, bool negative) {
    Mpz s = abs(value_of(x)) + abs(value_of(y));
    uint64_t m = std::max<uint64_t>({x->oofm, y->oofm, 1});
    return {negative ? -s : s, uint8_t(negative ? 2 : 1), std::max(m, word_count(s))};
}

// Difference of operands carrying the same marker. Trimmed, except that subtracting a record
// that holds zero in at most one word copies the other operand as it is.
Expect sub_magnitudes(const bignum *x, const bignum *y, bool negative) {
    Mpz mx = abs(value_of(x)), my = abs(value_of(y));
    int c = mpz_cmp(mx, my);
    if (c == 0)
        return {0, 1, 0};
    if (c > 0) {
        Mpz d = mx - my;
        return {negative ? -d : d, uint8_t(negative ? 2 : 1),
                looks_zero(y) ? x->oofm : word_count(d)};
    }
    Mpz d = my - mx;
    return {negative ? d : -d, uint8_t(negative ? 1 : 2), looks_zero(x) ? y->oofm : word_count(d)};
}

Expect expected_sum(const bignum *a, const bignum *b) {
    if (a->sign == 2 && b->sign == 1) { // -(|a| - b), marker flipped
        Expect r = sub_magnitudes(a, b, false);
        return {-r.value, uint8_t(r.sign == 1 ? 2 : 1), r.oofm};
    }
    if (a->sign == 1 && b->sign == 2)
        return sub_magnitudes(a, b, false);
    return add_magnitudes(a, b, a->sign == 2);
}

Expect expected_difference(const bignum *a, const bignum *b) {
    if (a->sign != b->sign)
        return add_magnitudes(a, b, a->sign == 2);
    return sub_magnitudes(a, b, a->sign == 2);
}

using Op = bignum *(*)(bignum *, bignum *, bignum *);

TEST(AddSub, DocumentedCases) {
    // clang-format off
    struct Case {
        Op op;
        Num a, b;
        Mpz value;
        uint8_t sign;
        uint64_t oofm;
    } cases[] = {
        {bignum_add, Num(0), Num(0), 0, 1, 1}, // the sum of zeros keeps one word
        {bignum_add, Num(4294967295), Num(1), Mpz::pow2(32), 1, 2},
        {bignum_add, Num(Mpz::ones(2)), Num(1), Mpz::pow2(64), 1, 3},
        {bignum_add, Num(5), Num(-3), 2, 1, 1}, {bignum_add, Num(-5), Num(3), -2, 2, 1},
        {bignum_add, Num(3), Num(-5), -2, 2, 1}, {bignum_add, Num(-3), Num(5), 2, 1, 1},
        {bignum_add, Num(0), Num(-5), -5, 2, 1}, {bignum_add, Num(-5), Num(0), -5, 2, 1},
        {bignum_add, Num(-3), Num(3), 0, 2, 0}, // zero marked negative
        {bignum_add, Num(3), Num(-3), 0, 1, 0}, {bignum_add, Num(-5), Num(-3), -8, 2, 1},
        {bignum_add, words({5, 0, 0}), Num(1), 6, 1, 3}, // untrimmed operands, untrimmed sum
        {bignum_sub, Num(0), Num(0), 0, 1, 0},
        {bignum_sub, Num(-5), Num(3), -8, 2, 1}, {bignum_sub, Num(5), Num(-3), 8, 1, 1},
        {bignum_sub, Num(-3), Num(-5), 2, 1, 1}, {bignum_sub, Num(-5), Num(-3), -2, 2, 1},
        {bignum_sub, Num(-5), Num(-5), 0, 1, 0}, {bignum_sub, Num(0), Num(5), -5, 2, 1},
        {bignum_sub, Num(3), Num(5), -2, 2, 1},
        {bignum_sub, Num(Mpz::pow2(64) + 5), Num(Mpz::pow2(64)), 5, 1, 1},
        {bignum_sub, Num(Mpz::pow2(64)), Num(1), Mpz::ones(2), 1, 2},
        {bignum_sub, words({0, 0, 1}), words({1, 0, 1}), -1, 2, 1},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.op == bignum_add ? "add " : "sub ") + describe(c.a) + ", " +
                     describe(c.b));
        Snapshot sa(c.a), sb(c.b);
        Num dst;
        EXPECT_EQ(c.op(dst, c.a, c.b), dst.get());
        EXPECT_TRUE(HoldsExactly(dst, c.value, c.sign, c.oofm));
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
    }
}

TEST(AddSub, OperandsSharedWithEachOtherOrTheDestination) {
    for (Mpz v : {Mpz(-7), Mpz(0), Mpz::ones(40), -Mpz::pow2(1000)}) {
        Num x(v), d, s;
        bignum_sub(d, x, x);
        EXPECT_TRUE(IsClearZero(d));
        bignum_add(s, x, x);
        EXPECT_TRUE(Holds(s, v + v) && Holds(x, v));
    }
    Num x(1234), y(-99), p(Mpz::pow2(200)), q(77);
    bignum_add(x, x, y); // x is cleared first: 0 + y
    EXPECT_TRUE(Holds(x, -99));
    bignum_sub(q, p, q); // q is cleared first: p - 0
    EXPECT_TRUE(Holds(q, Mpz::pow2(200)));
}

void check_random(Rng &rng, uint64_t max_words, int iterations) {
    Num reused;
    for (int iter = 0; iter < iterations; iter++) {
        Mpz va = rng.value(max_words), vb = rng.value(max_words);
        if (rng.chance(15)) // equal or nearly equal magnitudes
            vb = (rng.chance(50) ? va : -va) + Mpz(long(rng.below(3)) - 1);
        Num a = rng.record(va), b = rng.record(vb);
        Snapshot sa(a), sb(b);
        bool is_add = rng.chance(50);
        Expect want = is_add ? expected_sum(a, b) : expected_difference(a, b);
        SCOPED_TRACE(std::string(is_add ? "add " : "sub ") + describe(a) + ", " + describe(b));
        Num fresh;
        bool use_fresh = rng.chance(50);
        bignum *dst = use_fresh ? fresh.get() : reused.get();
        if (!use_fresh)
            load(dst, rng.value(max_words), rng.below(3)); // stale contents to be replaced
        ASSERT_EQ((is_add ? bignum_add : bignum_sub)(dst, a, b), dst);
        EXPECT_TRUE(HoldsExactly(dst, want.value, want.sign, want.oofm));
        if (use_fresh && is_add && a->sign == b->sign) {
            EXPECT_EQ(dst->size, grown_size(want.oofm));
        }
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
        ASSERT_FALSE(::testing::Test::HasFailure());
    }
}

TEST(AddSub, RandomAgainstGmp) {
    Rng rng;
    check_random(rng, 300, 3000);
}

TEST(AddSub, LargeRandomAgainstGmp) {
    Rng rng;
    check_random(rng, 40000, 12);
}

TEST(AddSub, CarryUpToAndPastTheLimit) {
    Num a(Mpz::ones(10)), a_max(Mpz::ones(99999)), one(1), neg(-1), dst, sum, diff;
    bignum_add(dst, a, one);
    EXPECT_TRUE(HoldsExactly(dst, Mpz::pow2(320), 1, 11));
    EXPECT_EQ(dst->size, 20u) << "storage grows by doubling as words are written";
    EXPECT_TRUE(Quietly([&] { return bignum_add(sum, a_max, one); }, sum));
    EXPECT_TRUE(HoldsExactly(sum, Mpz::pow2(32 * 99999), 1, 100000));
    EXPECT_EQ(sum->size, 100000u);
    EXPECT_TRUE(Quietly([&] { return bignum_sub(diff, a_max, neg); }, diff));
    EXPECT_TRUE(HoldsExactly(diff, Mpz::pow2(32 * 99999), 1, 100000));

    Mpz ones = Mpz::ones(100000);
    // clang-format off
    struct Case {
        Op op;
        const char *name;
        Mpz a, b;
    } cases[] = {
        {bignum_add, "bignum_add", ones, 1}, {bignum_add, "bignum_add", -ones, -1},
        {bignum_sub, "bignum_sub", ones, -1}, {bignum_sub, "bignum_sub", -ones, 1},
        {bignum_add, "bignum_add", ones, ones},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Num x(c.a), y(c.b), out(-12345);
        Snapshot sx(x), sy(y);
        EXPECT_TRUE(Refuses([&] { return c.op(out, x, y); }, out, TooLarge(c.name, 100001)));
        EXPECT_TRUE(sx.Unchanged() && sy.Unchanged());
    }
}

} // namespace
