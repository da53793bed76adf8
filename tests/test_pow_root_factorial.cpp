// Powers (negative exponents truncate), exact floor roots of any size, factorials, and the
// refusal of results beyond 100000 words.
#include "support/oracle.h"

using namespace kt;

// Runs call into dst: it must either print nothing and leave `want` (when `refusal` is empty),
// or print `refusal` and return null, with dst cleared (`cleared`) or left holding `kept`.
template <class F>
static void expect_result(F call, bignum *dst, const std::string &refusal, const Mpz &want,
                          bool cleared = true) {
    if (refusal.empty())
        EXPECT_TRUE(Quietly(call, dst) && Holds(dst, want));
    else if (cleared)
        EXPECT_TRUE(Refuses(call, dst, refusal));
    else
        EXPECT_TRUE(Refuses(call, nullptr, refusal) && Holds(dst, want)) << "dst must be kept";
}

// Expected power, or the line the call must print instead.
static std::string expected_pow(const Mpz &base, const Mpz &exp, Mpz &out) {
    if (mpz_cmpabs_ui(base, 1) <= 0) { // 0, 1 and -1 to any power
        if (base.sgn() == 0 && exp.sgn() < 0)
            return "bignum_pow().. zero to a negative power\n";
        out = base.sgn() == 0 ? (exp.sgn() == 0 ? 1 : 0) : mpz_even_p(exp.get()) ? 1 : base;
        return "";
    }
    if (exp.sgn() < 0) // truncated: |base| > 1 to a negative power
        return out = 0, "";
    if (!mpz_fits_ulong_p(exp.get()) || (mpz_sizeinbase(base, 2) - 1) * mpz_get_ui(exp) > 3200000)
        return TooLarge("bignum_pow");
    mpz_pow_ui(out, base, mpz_get_ui(exp));
    return word_count(out) > kMaxWords ? TooLarge("bignum_pow") : "";
}

static void check_pow(bignum *base, bignum *exp) {
    SCOPED_TRACE(describe(base) + " ^ " + describe(exp));
    Snapshot sb(base), se(exp);
    Mpz want;
    std::string msg = expected_pow(value_of(base), value_of(exp), want);
    Num dst(Mpz::ones(3));
    expect_result([&] { return bignum_pow(dst, base, exp); }, dst, msg, want);
    EXPECT_TRUE(sb.Unchanged() && se.Unchanged());
}

TEST(Pow, DocumentedCasesAndRandomAgainstGmp) {
    const Mpz huge = Mpz::pow2(100);
    Rng rng;
    struct Case {
        Mpz base, exp;
        // clang-format off
    } cases[] = {
        {2, 10}, {0, 5}, {1, 100}, {7, 0}, {0, 0}, {-3, 1}, {-2, 3}, {-2, 4}, {2, -4}, {-5, -2},
        {1, -5}, {-1, -3}, {-1, -4}, {0, -1}, {1, huge}, {-1, huge}, {-1, huge + 1}, {0, huge},
        {2, -huge}, {-1, -(huge + 1)}, {0, -huge}, {Mpz::ones(3), 7}, // results beyond and of exactly 100000 words
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
    Num e(5), b(3), x(7), four(4);
    EXPECT_EQ(bignum_pow(e, b, e), e.get()); // the exponent is read before dst is written
    bignum_pow(x, x, four);                  // dst is set to 1 before the base is copied
    EXPECT_TRUE(Holds(e, 243) && Holds(x, 1));

    for (int iter = 0; iter < 400; iter++) {
        bool small_base = rng.chance(30);
        Num base = small_base ? rng.record(Mpz(long(rng.below(7)) - 3)) : rng.operand(30);
        long ex = long(rng.below(small_base ? 3000 : 60));
        check_pow(base, rng.record(rng.chance(15) ? Mpz(-ex) : Mpz(ex)));
        ASSERT_FALSE(HasFailure());
    }
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
    Num dst(-77);
    expect_result([&] { return bignum_root(dst, degree, radicand); }, dst, msg, want, false);
    EXPECT_TRUE(sd.Unchanged() && sr.Unchanged());
}

TEST(Root, DocumentedCasesAndRandomAgainstGmp) {
    Mpz p50;
    mpz_ui_pow_ui(p50, 10, 50);
    struct Case {
        Mpz degree, radicand;
        // clang-format off
    } cases[] = {
        {2, 10}, {3, 26}, {3, 27}, {4, 81}, {2, Mpz::pow2(64)}, {5, p50}, {2, 1}, {2, 0}, {1, 10},
        {3, -27}, {3, -26}, {1, -10}, {5, -1}, {2, -4}, {4, -1}, {0, 5}, {-3, 8}, {-2, 8},
        {Mpz::pow2(40), 12345}, {Mpz::pow2(40) + 1, -12345}, {Mpz::pow2(40), 0},
        {Mpz::pow2(70), 5}, {Mpz::pow2(70) + 2, -4}, {2, Mpz::pow2(64) - 1}, {64, Mpz::pow2(64)},
        {65, Mpz::pow2(64)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_root(Num(c.degree), Num(c.radicand));
    check_root(Num(2), words({16, 0, 0}));
    check_root(words({3, 0}), Num(-1000));
    Num d(3), x(Mpz("1000000000000000000000000000000")), d2(2), y(-1), z(1000001);
    EXPECT_EQ(bignum_root(d, d, x), d.get()); // the destination may be either operand
    EXPECT_EQ(bignum_root(z, d2, z), z.get());
    EXPECT_TRUE(Holds(d, Mpz("10000000000")) && Holds(z, 1000));
    EXPECT_TRUE(Refuses([&] { return bignum_root(y, d2, y); }, nullptr,
                        "bignum_root().. even root of a negative number\n"));
    EXPECT_TRUE(Holds(y, -1));

    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        Num radicand = rng.operand(rng.chance(20) ? 300 : 40);
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
        ASSERT_FALSE(HasFailure());
    }
    const long large[][2] = {{20000, 2}, {10000, 3}, {5000, 1000}, {3000, 7}, {2100, 2}};
    for (auto [words, degree] : large) {
        Mpz v = rng.magnitude(words);
        check_root(Num(degree), Num(degree % 2 ? -v : v));
    }
    Mpz r = rng.magnitude(5000), sq = r * r; // a perfect square and its neighbours
    for (long delta : {-1, 0, 1})
        check_root(Num(2), Num(sq + delta));
}

// n! for 0 <= n <= 200000; refusals for negative n and for larger n, under both names.
TEST(Factorial, BothNamesAgainstGmp) {
    Rng rng;
    using Factorial = bignum *(*)(bignum *, bignum *);
    for (auto [fn, name] : {std::pair<Factorial, std::string>{bignum_factorial, "bignum_factorial"},
                            {bignum_factorial_poor, "bignum_factorial_poor"}}) {
        std::vector<Num> ns;
        for (Mpz n : {Mpz(0), Mpz(1), Mpz(2), Mpz(3), Mpz(5), Mpz(30), Mpz(35), Mpz(-1), Mpz(-30),
                      -Mpz::pow2(40), Mpz(300000), Mpz::pow2(40), Mpz::pow2(64) + 3})
            ns.emplace_back(n);
        ns.push_back(words({5, 0, 0}));
        for (int iter = 0; iter < 30; iter++)
            ns.emplace_back(long(rng.chance(70) ? rng.below(300) : rng.range(300, 4000)));
        if (fn == bignum_factorial)
            ns.emplace_back(100000);
        for (const Num &n : ns) {
            SCOPED_TRACE(name + " of " + describe(n));
            Snapshot sn(n);
            Mpz v = n.value(), want;
            std::string msg = v.sgn() < 0 ? name + "().. factorial of a negative number\n"
                              : mpz_cmp_ui(v.get(), 200000) > 0 ? TooLarge(name)
                                                                : "";
            if (msg.empty())
                mpz_fac_ui(want, mpz_get_ui(v));
            Num dst(-4);
            expect_result([&] { return fn(dst, n); }, dst, msg, want);
            EXPECT_TRUE(sn.Unchanged());
        }
    }
}
