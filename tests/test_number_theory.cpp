// gcd of magnitudes, Bezout coefficients by the textbook extended Euclid, modular power.
#include "support/oracle.h"

using namespace kt;

static void check_gcd(bignum *a, bignum *b) {
    SCOPED_TRACE("gcd " + describe(a) + ", " + describe(b));
    Snapshot sa(a), sb(b);
    Mpz want;
    mpz_gcd(want, value_of(a), value_of(b));
    Num dst(-3);
    EXPECT_EQ(bignum_gcd(dst, a, b), dst.get());
    EXPECT_TRUE(Holds(dst, want)) << "never marked negative";
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
}

TEST(Gcd, DocumentedCasesAndRandomAgainstGmp) {
    // clang-format off
    const Mpz cases[][2] = {
        {12, 18}, {0, 0}, {5, 0}, {0, 5}, {-12, 18}, {12, -18}, {-6, 0}, {0, -6}, {6, -6},
        {-6, -6}, {1, -1}, {Mpz::pow2(64), 6 * Mpz::pow2(32)}, {Mpz::ones(3), Mpz::ones(2)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_gcd(Num(c[0]), Num(c[1]));
    check_gcd(words({0, 0}), Num(-9));
    check_gcd(words({12, 0, 0}, 2), words({18, 0}));
    Num a(-12), b(18), c(40), d(-64); // the destination may be an operand
    EXPECT_EQ(bignum_gcd(a, a, b), a.get());
    EXPECT_EQ(bignum_gcd(d, c, d), d.get());
    EXPECT_TRUE(HoldsExactly(a, 6, 1, 1) && HoldsExactly(d, 8, 1, 1));

    Rng rng;
    for (int iter = 0; iter < 500; iter++) {
        Mpz common = rng.chance(50) ? rng.value(20, false) : Mpz(1);
        Mpz va = rng.value(60) * common, vb = rng.value(60) * common;
        check_gcd(rng.record(va), rng.record(vb));
        ASSERT_FALSE(HasFailure());
    }
    Mpz g = rng.magnitude(3000);
    check_gcd(Num(g * rng.magnitude(4000)), Num(-(g * rng.magnitude(3500))));
}

// Extended Euclid on the magnitudes (old_s = 1, s = 0, old_t = 0, t = 1), then each coefficient
// takes the sign of its input.
static void textbook(const Mpz &a, const Mpz &b, Mpz &g, Mpz &x, Mpz &y) {
    Mpz old_r = abs(a), r = abs(b), old_s = 1, s = 0, old_t = 0, t = 1, q;
    while (r.sgn() > 0) {
        mpz_tdiv_q(q, old_r, r);
        Mpz nr = old_r - q * r, ns = old_s - q * s, nt = old_t - q * t;
        old_r = r, r = nr, old_s = s, s = ns, old_t = t, t = nt;
    }
    g = old_r;
    x = a.sgn() < 0 ? -old_s : old_s;
    y = b.sgn() < 0 ? -old_t : old_t;
}

static void check_modinv(bignum *a, bignum *b) {
    SCOPED_TRACE("modinv " + describe(a) + ", " + describe(b));
    Snapshot sa(a), sb(b);
    Mpz va = value_of(a), vb = value_of(b), g, x, y;
    textbook(va, vb, g, x, y);
    ASSERT_TRUE(va * x + vb * y == g);
    Num rg(5), rx(-5), ry(Mpz::ones(4));
    EXPECT_EQ(bignum_modinv(rg, rx, ry, a, b), ry.get());
    EXPECT_TRUE(Holds(rg, g) && Holds(rx, x) && Holds(ry, y));
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
}

TEST(ModInv, DocumentedCasesAndRandomAgainstTextbookEuclid) {
    // clang-format off
    const Mpz cases[][5] = {
        // a, b, g, x, y
        {240, 46, 2, -9, 47}, {3120, 17, 1, 2, -367}, {5, 0, 5, 1, 0}, {0, 5, 5, 0, 1},
        {0, 0, 0, 1, 0}, {6, 6, 6, 0, 1}, {1, 1, 1, 0, 1}, {-7, 3, 1, -1, -2}, {7, -3, 1, 1, 2},
        {-7, -3, 1, -1, 2}, {-5, 0, 5, -1, 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        Mpz g, x, y;
        textbook(c[0], c[1], g, x, y); // the model matches the worked examples
        EXPECT_TRUE(g == c[2] && x == c[3] && y == c[4]) << c[0].str() << ", " << c[1].str();
        check_modinv(Num(c[0]), Num(c[1]));
    }
    Num a(240), b(46), y, g;
    EXPECT_EQ(bignum_modinv(nullptr, nullptr, nullptr, a, b), nullptr);
    EXPECT_EQ(bignum_modinv(nullptr, nullptr, y, a, b), y.get());
    EXPECT_EQ(bignum_modinv(g, nullptr, nullptr, a, b), nullptr);
    EXPECT_TRUE(Holds(y, 47) && Holds(g, 2));
    // Outputs may be the inputs: the inputs are read before anything is written.
    bignum_modinv(a, b, nullptr, a, b);
    EXPECT_TRUE(Holds(a, 2) && Holds(b, -9));
    Num p(3120), q(17), x;
    bignum_modinv(x, q, p, p, q);
    EXPECT_TRUE(Holds(x, 1) && Holds(q, 2) && Holds(p, -367));

    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        Mpz common = rng.chance(30) ? rng.value(5, false) : Mpz(1);
        check_modinv(rng.record(rng.value(40) * common), rng.record(rng.value(40) * common));
        ASSERT_FALSE(HasFailure());
    }
    check_modinv(Num(Mpz::ones(2000) - 4), Num(-rng.magnitude(1500)));
}

// |base|^exp mod |mod|, through the inverse for a negative exponent; or the refusal line.
static std::string expected_modpow(const Mpz &base, const Mpz &exp, const Mpz &mod, Mpz &out) {
    Mpz m = abs(mod), b = abs(base);
    if (m.sgn() == 0)
        return "bignum_modpow().. modulus is zero\n";
    if (exp.sgn() < 0 && !mpz_invert(b, b, m))
        return "bignum_modpow().. base has no inverse modulo the modulus\n";
    mpz_powm(out, b, abs(exp), m);
    return "";
}

static void check_modpow(bignum *base, bignum *exp, bignum *mod) {
    SCOPED_TRACE("modpow " + describe(base) + " ^ " + describe(exp) + " mod " + describe(mod));
    Snapshot sb(base), se(exp), sm(mod);
    Mpz want;
    std::string msg = expected_modpow(value_of(base), value_of(exp), value_of(mod), want);
    Num dst(-8);
    auto call = [&] { return bignum_modpow(dst, base, exp, mod); };
    if (msg.empty())
        EXPECT_TRUE(Quietly(call, dst) && Holds(dst, want));
    else
        EXPECT_TRUE(Refuses(call, dst, msg));
    EXPECT_TRUE(sb.Unchanged() && se.Unchanged() && sm.Unchanged());
}

TEST(ModPow, DocumentedCasesAndRandomAgainstGmp) {
    // clang-format off
    const Mpz cases[][4] = {
        // base, exponent, modulus, result (-1: refused)
        {4, 13, 497, 445}, {2, 10, 1000, 24}, {2, 33, 7, 1}, {9, 0, 1, 0}, {9, 0, 7, 1},
        {0, 0, 7, 1}, {5, 3, 1, 0}, {-2, 3, 5, 3}, {2, -3, 5, 2}, {2, 3, -5, 3}, {-2, -3, -5, 2},
        {2, -3, 4, -1}, {0, -1, 7, -1}, {3, 0, 0, -1}, {3, 5, 0, -1}, {3, -5, 0, -1},
        {3, Mpz::pow2(70) + 1, 1000003, 939882},
        {12345, Mpz::pow2(64) - 1, Mpz::ones(3), Mpz("59857997668548086923275049110")},
    };
    // clang-format on
    for (const auto &c : cases) {
        Mpz got;
        bool refused = !expected_modpow(c[0], c[1], c[2], got).empty();
        EXPECT_TRUE(c[3].sgn() < 0 ? refused : !refused && got == c[3]) // the model agrees
            << c[0].str() << "^" << c[1].str() << " mod " << c[2].str();
        check_modpow(Num(c[0]), Num(c[1]), Num(c[2]));
    }
    check_modpow(Num(3), Num(5), words({0, 0}, 2)); // a modulus of zero words

    Rng rng;
    for (int iter = 0; iter < 300; iter++) {
        Num base = rng.operand(rng.chance(80) ? 20 : 60);
        Mpz e = rng.value(rng.chance(80) ? 4 : 20, false), m;
        do
            m = rng.value(rng.chance(80) ? 10 : 40);
        while (mpz_cmpabs_ui(m.get(), 1) <= 0);
        check_modpow(base, rng.record(rng.chance(15) ? -e : e), rng.record(m));
        ASSERT_FALSE(HasFailure());
    }
    check_modpow(Num(rng.magnitude(100)), Num(rng.magnitude(40)), Num(-rng.magnitude(100)));
}
