// Powers (negative exponents truncate), exact floor roots of any size, factorials, and the
// refusal of results beyond 100000 words.
#include "support/oracle.h"

using namespace kt;

namespace {

// Expected power, or the line the call must print instead.
std::string expected_pow(const Mpz &base, const Mpz &exp, Mpz &out) {
    const std::string too_large = TooLarge("bignum_pow");
    if (mpz_cmpabs_ui(base, 1) <= 0) { // 0, 1 and -1 to any power
        if (base.sgn() == 0 && exp.sgn() < 0)
            return "bignum_pow().. zero to a negative power\n";
        out = base.sgn() == 0 ? (exp.sgn() == 0 ? 1 : 0) : mpz_even_p(exp.get()) ? 1 : base;
        return "";
    }
    if (exp.sgn() < 0) // truncated: |base| > 1 to a negative power
        return out = 0, "";
    if (!mpz_fits_ulong_p(exp.get()) || (mpz_sizeinbase(base, 2) - 1) * mpz_get_ui(exp) > 3200000)
        return too_large;
    mpz_pow_ui(out, base, mpz_get_ui(exp));
    return word_count(out) > kMaxWords ? too_large : "";
}

void check_pow(bignum *base, bignum *exp) {
    SCOPED_TRACE(describe(base) + " ^ " + describe(exp));
    Snapshot sb(base), se(exp);
    Mpz want;
    std::string msg = expected_pow(value_of(base), value_of(exp), want);
    Num dst(Mpz::ones(3));
    auto call = [&] { return bignum_pow(dst, base, exp); };
    if (msg.empty())
        EXPECT_TRUE(Quietly(call, dst) && Holds(dst, want));
    else
        EXPECT_TRUE(Refuses(call, dst, msg));
    EXPECT_TRUE(sb.Unchanged() && se.Unchanged());
}

TEST(Pow, DocumentedCases) {
    const Mpz huge = Mpz::pow2(100);
    Rng rng;
    // clang-format off
    struct Case {
        Mpz base, exp;
    } cases[] = {
        {2, 10}, {2, 100}, {0, 5}, {1, 100}, {7, 0}, {0, 0}, {-3, 1}, {-2, 3}, {-2, 4}, {2, -4},
        {3, -1}, {-5, -2}, {1, -5}, {-1, -3}, {-1, -4}, {0, -1}, {1, huge}, {-1, huge},
        {-1, huge + 1}, {0, huge}, {2, -huge}, {-1, -(huge + 1)}, {0, -huge}, {Mpz::ones(3), 7},
        // results beyond and of exactly 100000 words
        {2, 3200000}, {-2, 3200001}, {3, Mpz::pow2(40)}, {Mpz::ones(50001), 2}, {3, 2019000},
        {Mpz::pow2(64), huge + 1}, {-rng.magnitude(100000), 1}, {2, 3199999},
    };
    // clang-format on
    for (const auto &c : cases)
        check_pow(Num(c.base), Num(c.exp));
    Num dst, two(2), hundred(100);
    bignum_pow(dst, two, hundred);
    EXPECT_TRUE(HoldsExactly(dst, Mpz::pow2(100), 1, 4));
    check_pow(Num(3), words({5, 0, 0})); // untrimmed exponent
    check_pow(words({3, 0}, 2), Num(3)); // untrimmed negative base
    check_pow(Num(-3), words({}, 2));    // zero exponent marked negative: x^0
}

TEST(Pow, DestinationAliasing) {
    Num e(5), b(3);
    EXPECT_EQ(bignum_pow(e, b, e), e.get()); // the exponent is read before dst is written
    EXPECT_TRUE(Holds(e, 243));
    Num x(7), four(4);
    bignum_pow(x, x, four); // dst is set to 1 before the base is copied
    EXPECT_TRUE(Holds(x, 1));
}

TEST(Pow, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        bool small_base = rng.chance(30);
        Num base = small_base ? rng.record(Mpz(long(rng.below(7)) - 3)) : rng.operand(30);
        long e = long(rng.below(small_base ? 3000 : 60));
        Num exp = rng.record(rng.chance(15) ? Mpz(-e) : Mpz(e));
        check_pow(base, exp);
        ASSERT_FALSE(HasFailure());
    }
}

// Expected root; empty text when it must succeed, else the message.
std::string expected_root(const Mpz &degree, const Mpz &radicand, Mpz &out) {
    if (degree.sgn() <= 0)
        return "bignum_root().. degree must be at least 1\n";
    if (radicand.sgn() < 0 && mpz_even_p(degree.get()))
        return "bignum_root().. even root of a negative number\n";
    Mpz mag = abs(radicand);
    if (mpz_fits_ulong_p(degree.get()))
        mpz_root(out, mag, mpz_get_ui(degree));
    else
        out = mag.sgn() > 0 ? 1 : 0;
    if (radicand.sgn() < 0)
        out = -out;
    return "";
}

void check_root(bignum *degree, bignum *radicand) {
    SCOPED_TRACE("root " + describe(degree) + " of " + describe(radicand));
    Snapshot sd(degree), sr(radicand);
    Mpz want;
    std::string msg = expected_root(value_of(degree), value_of(radicand), want);
    Num dst(-77);
    auto call = [&] { return bignum_root(dst, degree, radicand); };
    if (msg.empty()) {
        EXPECT_TRUE(Quietly(call, dst) && Holds(dst, want));
    } else {
        EXPECT_TRUE(Refuses(call, nullptr, msg));
        EXPECT_TRUE(HoldsExactly(dst, -77, 2, 1)) << "dst must be left as it was";
    }
    EXPECT_TRUE(sd.Unchanged() && sr.Unchanged());
}

TEST(Root, DocumentedCases) {
    Mpz p50;
    mpz_ui_pow_ui(p50, 10, 50);
    // clang-format off
    struct Case {
        Mpz degree, radicand;
    } cases[] = {
        {2, 10}, {3, 1000}, {3, 26}, {3, 27}, {4, 81}, {2, Mpz::pow2(64)}, {5, p50}, {2, 1},
        {2, 0}, {1, 10}, {2, 3}, {2, 1000000}, {3, -27}, {3, -26}, {1, -10}, {5, -1}, {2, -4},
        {4, -1}, {0, 5}, {-3, 8}, {-2, 8}, {Mpz::pow2(40), 12345}, {Mpz::pow2(40) + 1, -12345},
        {Mpz::pow2(40), 0}, {Mpz::pow2(70), 5}, {Mpz::pow2(70) + 2, -4}, {2, Mpz::pow2(64) - 1},
        {64, Mpz::pow2(64)}, {65, Mpz::pow2(64)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_root(Num(c.degree), Num(c.radicand));
    check_root(Num(2), words({16, 0, 0}));
    check_root(words({3, 0}), Num(-1000));
}

TEST(Root, DestinationMayBeEitherOperand) {
    Num d(3), x(Mpz("1000000000000000000000000000000"));
    EXPECT_EQ(bignum_root(d, d, x), d.get());
    EXPECT_TRUE(Holds(d, Mpz("10000000000")));
    Num d2(2), y(-1), z(1000001);
    EXPECT_EQ(bignum_root(z, d2, z), z.get());
    EXPECT_TRUE(Holds(z, 1000));
    EXPECT_TRUE(Refuses([&] { return bignum_root(y, d2, y); }, nullptr,
                        "bignum_root().. even root of a negative number\n"));
    EXPECT_TRUE(Holds(y, -1));
}

TEST(Root, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        Num radicand = rng.operand(rng.chance(20) ? 300 : 40);
        uint64_t r = rng.below(100);
        Mpz degree = r < 70   ? Mpz(long(rng.range(1, 10)))
                     : r < 90 ? Mpz(long(rng.range(11, 300)))
                     : r < 96 ? rng.magnitude(rng.range(1, 3))
                              : Mpz(-long(rng.below(3)));
        if (rng.chance(60) && radicand.value().sgn() > 0 && mpz_fits_ulong_p(degree.get()) &&
            degree.sgn() > 0 && mpz_get_ui(degree) < 40) { // near a perfect power
            Mpz base = rng.below(Mpz::pow2(rng.range(1, 200))), p;
            mpz_pow_ui(p, base, mpz_get_ui(degree));
            load(radicand, p + Mpz(long(rng.below(3)) - 1));
        }
        check_root(rng.record(degree), radicand);
        ASSERT_FALSE(HasFailure());
    }
}

TEST(Root, LargeRadicands) {
    Rng rng;
    struct Case {
        uint64_t words;
        long degree;
    } cases[] = {{20000, 2}, {10000, 3}, {5000, 1000}, {3000, 7}, {2100, 2}};
    for (const auto &c : cases) {
        Mpz x = rng.magnitude(c.words);
        check_root(Num(c.degree), Num(c.degree % 2 ? -x : x));
    }
    Mpz r = rng.magnitude(5000), sq = r * r; // a perfect square and its neighbours
    check_root(Num(2), Num(sq));
    check_root(Num(2), Num(sq - 1));
    check_root(Num(2), Num(sq + 1));
}

using Factorial = bignum *(*)(bignum *, bignum *);

// n! for 0 <= n <= 100000; refusals for negative n and for n of 300000 or more.
void check_factorial(Factorial fn, const std::string &name, bignum *n) {
    SCOPED_TRACE(name + " of " + describe(n));
    Snapshot sn(n);
    Mpz v = value_of(n), want;
    Num dst(-4);
    auto call = [&] { return fn(dst, n); };
    if (v.sgn() < 0) {
        EXPECT_TRUE(Refuses(call, dst, name + "().. factorial of a negative number\n"));
    } else if (mpz_cmp_ui(v.get(), 200000) > 0) { // 200000! needs more than 100000 words
        EXPECT_TRUE(Refuses(call, dst, TooLarge(name.c_str())));
    } else {
        mpz_fac_ui(want, mpz_get_ui(v));
        EXPECT_TRUE(Quietly(call, dst) && Holds(dst, want));
    }
    EXPECT_TRUE(sn.Unchanged());
}

TEST(Factorial, BothNamesAgainstGmp) {
    Rng rng;
    for (auto [fn, name] : {std::pair<Factorial, std::string>{bignum_factorial, "bignum_factorial"},
                            {bignum_factorial_poor, "bignum_factorial_poor"}}) {
        for (Mpz n : {Mpz(0), Mpz(1), Mpz(2), Mpz(3), Mpz(5), Mpz(30), Mpz(35), Mpz(-1), Mpz(-30),
                      -Mpz::pow2(40), Mpz(300000), Mpz::pow2(40), Mpz::pow2(64) + 3})
            check_factorial(fn, name, Num(n));
        check_factorial(fn, name, words({5, 0, 0}));
        for (int iter = 0; iter < 30; iter++)
            check_factorial(fn, name,
                            Num(long(rng.chance(70) ? rng.below(300) : rng.range(300, 4000))));
    }
    check_factorial(bignum_factorial, "bignum_factorial", Num(100000));
}

} // namespace
