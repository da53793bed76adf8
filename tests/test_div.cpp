// Division: the quotient of the magnitudes rounded toward zero, signed when exactly one operand
// is negative, and the remainder of the magnitudes (never negative).
#include "support/oracle.h"

using namespace kt;

namespace {

struct Expected {
    Mpz q, r;
    uint64_t r_oofm;
};

Expected expected(const bignum *divd, const bignum *divs) {
    Mpz n = value_of(divd), d = value_of(divs), q, r;
    mpz_tdiv_qr(q, r, n, d);
    mpz_abs(r, r);
    // A dividend smaller than the divisor comes back as the remainder, words in use and all.
    uint64_t r_oofm = mpz_cmpabs(n, d) < 0 ? divd->oofm : word_count(r);
    return {q, r, r_oofm};
}

void check_division(bignum *divd, bignum *divs) {
    SCOPED_TRACE(describe(divd) + " / " + describe(divs));
    Expected want = expected(divd, divs);
    Snapshot sn(divd), sd(divs);
    Num q(-3), r(Mpz::ones(5), 1); // stale contents, cleared by the call
    ASSERT_EQ(bignum_div(q, r, divd, divs), q.get());
    EXPECT_TRUE(HoldsExactly(q, want.q, want.q.sgn() < 0 ? 2 : 1, word_count(want.q)));
    EXPECT_TRUE(HoldsExactly(r, want.r, 1, want.r_oofm));
    Num q2, r2;
    EXPECT_EQ(bignum_div(q2, nullptr, divd, divs), q2.get());
    EXPECT_TRUE(Holds(q2, want.q));
    EXPECT_EQ(bignum_mod(r2, divd, divs), r2.get());
    EXPECT_TRUE(Holds(r2, want.r));
    EXPECT_TRUE(sn.Unchanged() && sd.Unchanged());
}

TEST(Div, DocumentedCases) {
    const Mpz e30("1000000000000000000000000000000"), e12("1000000000000"),
        b("340282366920938463463374607431768211457");
    // clang-format off
    struct Case {
        Num n, d;
    } cases[] = {
        {Num(100), Num(7)}, {Num(-100), Num(7)}, {Num(100), Num(-7)}, {Num(-100), Num(-7)},
        {Num(5), Num(5)}, {Num(-5), Num(5)}, {Num(3), Num(10)}, {Num(-3), Num(10)},
        {words({3, 0, 0}, 2), Num(10)}, {Num(0), Num(-7)}, {words({0, 0}), Num(7)},
        {Num(e30), Num(e12)}, {Num(e30), Num(-e12)},
        {Num(Mpz("10000000000000000000000000000000000000000012345")), Num(Mpz("300000000000000000007"))},
        {Num(Mpz::pow2(96) + Mpz::pow2(64)), Num(Mpz::pow2(32) + 1)},
        {Num(b * 5 * Mpz::pow2(64) + 12345), Num(b)}, // partial remainders shorter than b
        {Num(Mpz::ones(6) - 5), Num(Mpz::ones(2))},   // top word 0xFFFFFFFF: no normalisation
        {Num(Mpz::pow2(200) - 1), Num(Mpz::pow2(100) + 1)}, {Num(Mpz::pow2(64)), Num(Mpz::pow2(64) - 1)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_division(c.n, c.d);

    Num q, r, n(-100), d(7);
    bignum_div(q, r, n, d);
    EXPECT_TRUE(HoldsExactly(q, -14, 2, 1));
    EXPECT_TRUE(HoldsExactly(r, 2, 1, 1));
    Num q0;
    bignum_div(q0, nullptr, Num(-3), Num(10));
    EXPECT_TRUE(IsClearZero(q0)) << "a zero quotient is not marked negative";
}

TEST(Div, NullOutputs) {
    Num n(1000), d(-7), r;
    EXPECT_EQ(bignum_div(nullptr, r, n, d), nullptr);
    EXPECT_TRUE(HoldsExactly(r, 6, 1, 1));
    EXPECT_EQ(bignum_div(nullptr, nullptr, n, d), nullptr);
    EXPECT_TRUE(HoldsExactly(n, 1000, 1, 1));
    EXPECT_EQ(d->sign, 2);
}

TEST(Div, ZeroDivisorIsReported) {
    // clang-format off
    struct Case {
        Num n, d;
    } cases[] = {
        {Num(5), Num(0)}, {Num(0), Num(0)}, {Num(-5), words({}, 2)},
        {Num(Mpz::ones(40)), words({0, 0, 0})}, {Num(-1), words({0})},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c.n) + " / " + describe(c.d));
        Snapshot sn(c.n), sd(c.d);
        Num q(9), r(Mpz::ones(3));
        EXPECT_TRUE(Refuses([&] { return bignum_div(q, r, c.n, c.d); }, q,
                            "bignum_div().. division by zero\n"));
        EXPECT_TRUE(IsClearZero(r));
        Num m(4);
        EXPECT_TRUE(Refuses([&] { return bignum_mod(m, c.n, c.d); }, m,
                            "bignum_mod().. division by zero\n"));
        EXPECT_TRUE(sn.Unchanged() && sd.Unchanged());
    }
}

TEST(Div, SingleWordRoutine) {
    Num q, r, n(100), d(7);
    EXPECT_EQ(bignum_div_aux(q, r, n, d), q.get());
    EXPECT_TRUE(HoldsExactly(q, 14, 1, 1));
    EXPECT_TRUE(HoldsExactly(r, 2, 1, 1));
    Num r2, big(Mpz::ones(4) - 3);
    EXPECT_EQ(bignum_div_aux(nullptr, r2, big, Num(Mpz::pow2(32) + 10)), nullptr)
        << "only word 0 of the divisor counts";
    EXPECT_TRUE(Holds(r2, long(mpz_tdiv_ui(Mpz::ones(4) - 3, 10))));

    // A negative operand is reported with the dump of the operand on the same line.
    Num neg(-5), three(3), qq(8), wide(Mpz::pow2(32));
    const std::string dump = "bignum={sign=2, oofm=1, size=10, numb=0x00000005 }\n";
    EXPECT_TRUE(Refuses([&] { return bignum_div_aux(qq, nullptr, neg, three); }, nullptr,
                        "bignum_div_aux().. divd is negative! " + dump));
    EXPECT_TRUE(Refuses([&] { return bignum_div_aux(qq, nullptr, three, neg); }, nullptr,
                        "bignum_div_aux().. divs is negative! " + dump));
    EXPECT_TRUE(Refuses([&] { return bignum_div_aux(qq, nullptr, three, wide); }, qq,
                        "bignum_div_aux().. division by zero\n"));
}

TEST(Div, ShiftMultiGivesZero) {
    Num src(12345), count(3), dst(77);
    EXPECT_EQ(bignum_rshift_multi(dst, src, count), dst.get());
    EXPECT_TRUE(IsClearZero(dst));
    EXPECT_TRUE(HoldsExactly(src, 12345, 1, 1));
    bignum *made = bignum_rshift_multi(nullptr, src, count);
    EXPECT_TRUE(IsClearZero(made));
    bignum_free(made);
    Num kept(5);
    EXPECT_EQ(bignum_rshift_multi(kept, nullptr, count), nullptr);
    EXPECT_EQ(bignum_rshift_multi(kept, src, nullptr), nullptr);
    EXPECT_TRUE(HoldsExactly(kept, 5, 1, 1));
}

TEST(Div, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 1500; iter++) {
        Num n = rng.operand(200);
        Mpz d = rng.magnitude(rng.range(1, rng.chance(50) ? 4 : 150));
        if (rng.chance(20) && n->oofm > 0) // divisor close to the dividend
            d = abs(n.value()) + Mpz(long(rng.below(3)) - 1);
        if (d.sgn() == 0)
            d = 1;
        if (rng.chance(50))
            d = -d;
        Num divs(d);
        check_division(n, divs);
        ASSERT_FALSE(HasFailure());
    }
}

TEST(Div, LargeOperandsUpToTheLimit) {
    Rng rng;
    struct Shape {
        uint64_t nn, nd;
    } shapes[] = {{30000, 1},  {30000, 2},  {30000, 20},     {20000, 10000},  {40000, 39990},
                  {100000, 1}, {100000, 3}, {100000, 99990}, {100000, 100000}};
    for (const auto &s : shapes) {
        Num n(-rng.magnitude(s.nn)), d(rng.magnitude(s.nd));
        check_division(n, d);
    }
    Num ones(Mpz::ones(100000)), three(3); // a single-word division filling every quotient word
    check_division(ones, three);
}

} // namespace
