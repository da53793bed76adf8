// Powers (negative exponents truncate), exact floor roots of any size, factorials, and the
// refusal of results beyond 100000 words.
#include "support/oracle.h"

using namespace kt;

// Expected power, or the refusal.
static Want expected_pow(const Mpz &base, const Mpz &exp) {
    Mpz out;
    if (mpz_cmpabs_ui(base, 1) <= 0) { // 0, 1 and -1 to any power
        if (base.sgn() == 0 && exp.sgn() < 0)
            return Refusal("bignum_pow().. zero to a negative power\n");
        return base.sgn() == 0 ? Mpz(exp.sgn() == 0) : mpz_even_p(exp.get()) ? Mpz(1) : base;
    }
    if (exp.sgn() < 0) // truncated: |base| > 1 to a negative power
        return Mpz(0);
    if (mpz_fits_ulong_p(exp.get()) && (mpz_sizeinbase(base, 2) - 1) * mpz_get_ui(exp) <= 3200000)
        mpz_pow_ui(out, base, mpz_get_ui(exp));
    return out.sgn() && word_count(out) <= kMaxWords ? Want(out) : Refusal(TooLarge("bignum_pow"));
}

static void check_pow(bignum *base, bignum *exp) {
    SCOPED_TRACE(describe(base) + " ^ " + describe(exp));
    Snapshot sb(base), se(exp);
    Num dst(Mpz::ones(3));
    EXPECT_TRUE(Gives([&] { return bignum_pow(dst, base, exp); }, dst,
                      expected_pow(value_of(base), value_of(exp))));
    EXPECT_TRUE(sb.Unchanged() && se.Unchanged());
}

TEST(Pow, DocumentedCases) {
    const Mpz huge = Mpz::pow2(100);
    Rng rng;
    // clang-format off
    const Mpz cases[][2] = {
        {2, 10}, {0, 5}, {1, 100}, {7, 0}, {0, 0}, {-3, 1}, {-2, 3}, {-2, 4}, {2, -4}, {-5, -2},
        {1, -5}, {-1, -3}, {-1, -4}, {0, -1}, {1, huge}, {-1, huge}, {-1, huge + 1}, {0, huge},
        {2, -huge}, {-1, -(huge + 1)}, {0, -huge}, {Mpz::ones(3), 7}, // results beyond and of exactly 100000 words
        {2, 3200000}, {-2, 3200001}, {3, Mpz::pow2(40)}, {Mpz::ones(50001), 2}, {3, 2019000},
        {Mpz::pow2(64), huge + 1}, {-rng.magnitude(100000), 1}, {2, 3199999},
    };
    // clang-format on
    for (const auto &c : cases)
        check_pow(Num(c[0], 1), Num(c[1])); // an untrimmed base
    Num dst, two(2), e(5), b(3), x(7), four(4);
    EXPECT_TRUE(
        Gives([&] { return bignum_pow(dst, two, Num(100, 2)); }, dst, {Mpz::pow2(100), 1, 4}));
    check_pow(Num(-3), words({}, 2));        // zero exponent marked negative: x^0
    EXPECT_EQ(bignum_pow(e, b, e), e.get()); // the exponent is read before dst is written
    bignum_pow(x, x, four);                  // dst is set to 1 before the base is copied
    EXPECT_TRUE(Holds(e, 243) && Holds(x, 1));
}

static void check_root(bignum *degree, bignum *radicand) {
    SCOPED_TRACE("root " + describe(degree) + " of " + describe(radicand));
    Snapshot sd(degree), sr(radicand);
    Mpz d = value_of(degree), x = value_of(radicand), want = -77;
    std::string msg;
    if (d.sgn() <= 0)
        msg = "bignum_root().. degree must be at least 1\n";
    else if (x.sgn() < 0 && mpz_even_p(d.get()))
        msg = "bignum_root().. even root of a negative number\n";
    else if (mpz_fits_ulong_p(d.get()))
        mpz_root(want, abs(x), mpz_get_ui(d));
    else
        want = x.sgn() ? 1 : 0;
    if (msg.empty() && x.sgn() < 0)
        want = -want;
    Num dst(-77); // kept on a refusal
    EXPECT_TRUE(
        Gives([&] { return bignum_root(dst, degree, radicand); }, dst, {want, 0, kAny, msg}));
    EXPECT_TRUE(sd.Unchanged() && sr.Unchanged());
}

TEST(Root, DocumentedCases) {
    Mpz p50;
    mpz_ui_pow_ui(p50, 10, 50);
    // clang-format off
    const Mpz cases[][2] = {
        {2, 10}, {3, 26}, {3, 27}, {4, 81}, {2, Mpz::pow2(64)}, {5, p50}, {2, 1}, {2, 0}, {1, 10},
        {3, -27}, {3, -26}, {1, -10}, {5, -1}, {2, -4}, {4, -1}, {0, 5}, {-3, 8}, {-2, 8},
        {Mpz::pow2(40), 12345}, {Mpz::pow2(40) + 1, -12345}, {Mpz::pow2(40), 0},
        {Mpz::pow2(70), 5}, {Mpz::pow2(70) + 2, -4}, {2, Mpz::pow2(64) - 1}, {64, Mpz::pow2(64)},
        {65, Mpz::pow2(64)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_root(Num(c[0], 1), Num(c[1], 2)); // untrimmed operands
    Num d(3), x(Mpz("1000000000000000000000000000000")), d2(2), y(-1), z(1000001);
    EXPECT_EQ(bignum_root(d, d, x), d.get()); // the destination may be either operand
    EXPECT_EQ(bignum_root(z, d2, z), z.get());
    EXPECT_TRUE(Holds(d, Mpz("10000000000")) && Holds(z, 1000));
    EXPECT_TRUE(Gives([&] { return bignum_root(y, d2, y); }, y,
                      {-1, 2, 1, "bignum_root().. even root of a negative number\n"}));
}

// n! for 0 <= n <= 200000, under both names; refusals for negative n and for larger n.
static void check_factorial(bool poor, bignum *n) {
    std::string name = poor ? "bignum_factorial_poor" : "bignum_factorial";
    SCOPED_TRACE(name + " of " + describe(n));
    Snapshot sn(n);
    Mpz v = value_of(n), want;
    if (v.sgn() >= 0 && mpz_cmp_ui(v.get(), 200000) <= 0)
        mpz_fac_ui(want, mpz_get_ui(v));
    Num dst(-4);
    EXPECT_TRUE(Gives([&] { return (poor ? bignum_factorial_poor : bignum_factorial)(dst, n); },
                      dst,
                      v.sgn() < 0  ? Refusal(name + "().. factorial of a negative number\n")
                      : want.sgn() ? Want(want)
                                   : Refusal(TooLarge(name))));
    EXPECT_TRUE(sn.Unchanged());
}

TEST(Factorial, DocumentedCases) {
    for (bool poor : {false, true}) {
        for (Mpz n : {Mpz(0), Mpz(1), Mpz(2), Mpz(3), Mpz(35), Mpz(-1), -Mpz::pow2(40), Mpz(200001),
                      Mpz::pow2(40), Mpz::pow2(64) + 3})
            check_factorial(poor, Num(n));
        check_factorial(poor, words({5, 0, 0}));
    }
    check_factorial(false, Num(100000));
}

// Powers, roots and factorials of random operands, from zero to tens of thousands of words.
TEST(PowRootFactorial, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        bool small_base = rng.chance(30);
        Num base = small_base ? rng.record(Mpz(long(rng.below(7)) - 3)) : rng.operand(30);
        long ex = long(rng.below(small_base ? 3000 : 60));
        check_pow(base, rng.record(rng.chance(15) ? Mpz(-ex) : Mpz(ex)));
        Num radicand = rng.operand(rng.chance(20) ? 20000 : 40);
        uint64_t r = rng.below(100);
        Mpz degree = r < 70   ? Mpz(long(rng.range(1, 10)))
                     : r < 90 ? Mpz(long(rng.range(11, 300)))
                     : r < 96 ? rng.magnitude(rng.range(1, 3))
                              : Mpz(-long(rng.below(3)));
        if (rng.chance(60) && radicand.value().sgn() > 0 && degree.sgn() > 0 &&
            mpz_cmp_ui(degree.get(), 40) < 0) { // near a perfect power
            Mpz base = rng.below(Mpz::pow2(rng.range(1, 200))), p;
            mpz_pow_ui(p, base, mpz_get_ui(degree));
            load(radicand, p + Mpz(long(rng.below(3)) - 1));
        }
        check_root(rng.record(degree), radicand);
        if (iter % 8 == 0)
            check_factorial(rng.chance(50),
                            Num(long(rng.chance(70) ? rng.below(300) : rng.range(300, 4000))));
        ASSERT_FALSE(HasFailure());
    }
}
