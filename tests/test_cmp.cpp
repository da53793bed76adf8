// Ordering: sign markers first, magnitudes otherwise (two negatives order by magnitude).
#include "support/oracle.h"

using namespace kt;

namespace {

// The four comparisons must agree with each other for every pair.
void expect_order(const bignum *a, const bignum *b, int want) {
    EXPECT_EQ(bignum_cmp(a, b), want);
    EXPECT_EQ(bignum_eq(a, b), want == 0);
    EXPECT_EQ(bignum_gt(a, b), want == 1);
    EXPECT_EQ(bignum_lt(a, b), want == -1);
}

TEST(Compare, DocumentedOrder) {
    // clang-format off
    struct Case {
        Num a, b;
        int want;
    } cases[] = {
        {words({}, 1), words({}, 2), 0},   // no words: equal whatever the markers
        {words({0}, 1), words({0}, 2), 1}, // one zero word: the markers decide
        {Num(0), Num(-5), 1},
        {words({}, 2), Num(-5), -1},       // zero marked negative is the smaller magnitude
        {Num(-5), Num(-3), 1},
        {Num(-3), Num(-5), -1}, {Num(-5), Num(3), -1}, {Num(5), Num(-3), 1},
        {Num(Mpz::pow2(32)), Num(4294967295), 1}, {words({5, 0, 0}), Num(5), 0},
        {words({5, 0, 0}, 2), words({5}, 2), 0}, {words({0, 0, 0}), words({}), 0},
        {words({1, 0, 0}), words({0, 0, 1}), -1}, {words({0xFFFFFFFF, 0}), words({0, 1}), -1},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c.a) + " vs " + describe(c.b));
        expect_order(c.a, c.b, c.want);
        expect_order(c.b, c.a, -c.want);
    }
}

TEST(Compare, NullOperandsCompareEqual) {
    Num five(5);
    for (auto [a, b] :
         {std::pair<bignum *, bignum *>{nullptr, five}, {five, nullptr}, {nullptr, nullptr}})
        expect_order(a, b, 0);
}

TEST(Compare, IsZeroLooksAtOneWordOnly) {
    EXPECT_EQ(bignum_iszero(words({}, 1)), 1);
    EXPECT_EQ(bignum_iszero(words({}, 2)), 1);
    EXPECT_EQ(bignum_iszero(words({0}, 2)), 1);
    EXPECT_EQ(bignum_iszero(words({0, 0, 0})), 0) << "an untrimmed zero is not recognised";
    EXPECT_EQ(bignum_iszero(words({1})), 0);
    EXPECT_EQ(bignum_iszero(words({0, 1})), 0);
}

TEST(Compare, AgreesWithMagnitudeOrderOnRandomOperands) {
    Rng rng;
    for (int iter = 0; iter < 1500; iter++) {
        Mpz va = rng.value(40), vb = rng.chance(30) ? va : rng.value(40);
        if (rng.chance(20)) // same length, nearby value
            vb = va + Mpz(long(rng.below(5)) - 2);
        Num a = rng.record(va), b = rng.record(vb);
        if (rng.chance(10)) // zero marked negative, as -3 + 3 leaves it
            a->sign = va.sgn() == 0 ? 2 : a->sign;
        int want;
        if (a->oofm == 0 && b->oofm == 0)
            want = 0;
        else if (a->sign != b->sign)
            want = a->sign == 1 ? 1 : -1;
        else
            want = mpz_cmpabs(va, vb) > 0 ? 1 : mpz_cmpabs(va, vb) < 0 ? -1 : 0;
        SCOPED_TRACE(describe(a) + " vs " + describe(b));
        Snapshot sa(a), sb(b);
        expect_order(a, b, want);
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
        ASSERT_FALSE(HasFailure());
    }
}

} // namespace
