// gcd of magnitudes, Bezout coefficients by the textbook extended Euclid, modular power.
#include "support/oracle.h"

using namespace kt;

namespace {

void check_gcd(bignum *a, bignum *b) {
    SCOPED_TRACE("gcd " + describe(a) + ", " + describe(b));
    Snapshot sa(a), sb(b);
    Mpz want;
    mpz_gcd(want, value_of(a), value_of(b));
    Num dst(-3);
    EXPECT_EQ(bignum_gcd(dst, a, b), dst.get());
    EXPECT_TRUE(HoldsExactly(dst, want, 1, dst->oofm)) << "never marked negative";
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
}

TEST(Gcd, DocumentedCases) {
    // clang-format off
    struct Case {
        Mpz a, b;
    } cases[] = {
        {12, 18}, {0, 0}, {5, 0}, {0, 5}, {-12, 18}, {12, -18}, {-6, 0}, {0, -6}, {6, -6},
        {-6, -6}, {1, -1}, {Mpz::pow2(64), 6 * Mpz::pow2(32)}, {Mpz::ones(3), Mpz::ones(2)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_gcd(Num(c.a), Num(c.b));
    check_gcd(words({0, 0}), Num(-9));
    check_gcd(words({12, 0, 0}, 2), words({18, 0}));
}

TEST(Gcd, DestinationMayBeAnOperand) {
    Num a(-12), b(18), c(40), d(-64);
    EXPECT_EQ(bignum_gcd(a, a, b), a.get());
    EXPECT_EQ(bignum_gcd(d, c, d), d.get());
    EXPECT_TRUE(HoldsExactly(a, 6, 1, 1) && HoldsExactly(d, 8, 1, 1));
}

TEST(Gcd, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 500; iter++) {
        Mpz common = rng.chance(50) ? rng.value(20, false) : Mpz(1);
        Mpz va = rng.value(60) * common, vb = rng.value(60) * common;
        if (word_count(va) > 200 || word_count(vb) > 200)
            continue;
        check_gcd(rng.record(va), rng.record(vb));
        ASSERT_FALSE(HasFailure());
    }
    Mpz g = rng.magnitude(3000);
    check_gcd(Num(g * rng.magnitude(4000)), Num(-(g * rng.magnitude(3500))));
}

// Extended Euclid on the magnitudes (old_s = 1, s = 0, old_t = 0, t = 1), then each coefficient
// takes the sign of its input.
void textbook(const Mpz &a, const Mpz &b, Mpz &g, Mpz &x, Mpz &y) {
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

void check_modinv(bignum *a, bignum *b) {
    SCOPED_TRACE("modinv " + describe(a) + ", " + describe(b));
    Snapshot sa(a), sb(b);
    Mpz va = value_of(a), vb = value_of(b), g, x, y;
    textbook(va, vb, g, x, y);
    ASSERT_TRUE(va * x + vb * y == g);
    Num rg(5), rx(-5), ry(Mpz::ones(4));
    EXPECT_EQ(bignum_modinv(rg, rx, ry, a, b), ry.get());
    EXPECT_TRUE(HoldsExactly(rg, g, 1, rg->oofm) && Holds(rx, x) && Holds(ry, y));
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
}

TEST(ModInv, DocumentedCases) {
    // clang-format off
    struct Case {
        Mpz a, b, g, x, y;
    } cases[] = {
        {240, 46, 2, -9, 47}, {3120, 17, 1, 2, -367}, {5, 0, 5, 1, 0}, {0, 5, 5, 0, 1},
        {0, 0, 0, 1, 0}, {6, 6, 6, 0, 1}, {1, 1, 1, 0, 1}, {-7, 3, 1, -1, -2}, {7, -3, 1, 1, 2},
        {-7, -3, 1, -1, 2}, {-5, 0, 5, -1, 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        Mpz g, x, y;
        textbook(c.a, c.b, g, x, y); // the model matches the worked examples
        EXPECT_TRUE(g == c.g && x == c.x && y == c.y) << c.a.str() << ", " << c.b.str();
        check_modinv(Num(c.a), Num(c.b));
    }
}

TEST(ModInv, NullAndAliasedOutputs) {
    Num a(240), b(46), y;
    EXPECT_EQ(bignum_modinv(nullptr, nullptr, nullptr, a, b), nullptr);
    EXPECT_EQ(bignum_modinv(nullptr, nullptr, y, a, b), y.get());
    EXPECT_TRUE(Holds(y, 47));
    Num g;
    EXPECT_EQ(bignum_modinv(g, nullptr, nullptr, a, b), nullptr);
    EXPECT_TRUE(Holds(g, 2));
    // Outputs may be the inputs: the inputs are read before anything is written.
    bignum_modinv(a, b, nullptr, a, b);
    EXPECT_TRUE(Holds(a, 2) && Holds(b, -9));
    Num p(3120), q(17), x;
    bignum_modinv(x, q, p, p, q);
    EXPECT_TRUE(Holds(x, 1) && Holds(q, 2) && Holds(p, -367));
}

TEST(ModInv, RandomAgainstTextbookEuclid) {
    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        Mpz common = rng.chance(30) ? rng.value(5, false) : Mpz(1);
        Num a = rng.record(rng.value(40) * common), b = rng.record(rng.value(40) * common);
        check_modinv(a, b);
        ASSERT_FALSE(HasFailure());
    }
    Num a(Mpz::ones(2000) - 4), b(-rng.magnitude(1500));
    check_modinv(a, b);
}

// |base|^exp mod |mod|, through the inverse for a negative exponent; or the refusal line.
std::string expected_modpow(const Mpz &base, const Mpz &exp, const Mpz &mod, Mpz &out) {
    Mpz m = abs(mod), b = abs(base);
    if (m.sgn() == 0)
        return "bignum_modpow().. modulus is zero\n";
    if (exp.sgn() < 0 && !mpz_invert(b, b, m))
        return "bignum_modpow().. base has no inverse modulo the modulus\n";
    mpz_powm(out, b, abs(exp), m);
    return "";
}

void check_modpow(bignum *base, bignum *exp, bignum *mod) {
    SCOPED_TRACE("modpow " + describe(base) + " ^ " + describe(exp) + " mod " + describe(mod));
    Snapshot sb(base), se(exp), sm(mod);
    Mpz want;
    std::string msg = expected_modpow(value_of(base), value_of(exp), value_of(mod), want);
    Num dst(-8);
    auto call = [&] { return bignum_modpow(dst, base, exp, mod); };
    if (msg.empty())
        EXPECT_TRUE(Quietly(call, dst) && HoldsExactly(dst, want, 1, dst->oofm));
    else
        EXPECT_TRUE(Refuses(call, dst, msg));
    EXPECT_TRUE(sb.Unchanged() && se.Unchanged() && sm.Unchanged());
}

TEST(ModPow, DocumentedCases) {
    // clang-format off
    struct Case {
        Mpz base, exp, mod;
        Mpz want; // -1: refused
    } cases[] = {
        {4, 13, 497, 445}, {2, 10, 1000, 24}, {2, 33, 7, 1}, {9, 0, 1, 0}, {9, 0, 7, 1},
        {0, 0, 7, 1}, {5, 3, 1, 0}, {-2, 3, 5, 3}, {2, -3, 5, 2}, {2, 3, -5, 3}, {-2, -3, -5, 2},
        {2, -3, 4, -1}, {0, -1, 7, -1}, {3, 0, 0, -1}, {3, 5, 0, -1}, {3, -5, 0, -1},
        {3, Mpz::pow2(70) + 1, 1000003, 939882},
        {12345, Mpz::pow2(64) - 1, Mpz::ones(3), Mpz("59857997668548086923275049110")},
    };
    // clang-format on
    for (const auto &c : cases) {
        Mpz got;
        bool refused = !expected_modpow(c.base, c.exp, c.mod, got).empty();
        EXPECT_TRUE(c.want.sgn() < 0 ? refused : !refused && got == c.want) // the model agrees
            << c.base.str() << "^" << c.exp.str() << " mod " << c.mod.str();
        check_modpow(Num(c.base), Num(c.exp), Num(c.mod));
    }
    check_modpow(Num(3), Num(5), words({0, 0}, 2)); // a modulus of zero words
}

TEST(ModPow, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 300; iter++) {
        Num base = rng.operand(rng.chance(80) ? 20 : 60);
        Mpz e = rng.value(rng.chance(80) ? 4 : 20, false);
        if (rng.chance(15))
            e = -e;
        Mpz m;
        do
            m = rng.value(rng.chance(80) ? 10 : 40);
        while (mpz_cmpabs_ui(m.get(), 1) <= 0);
        Num exp = rng.record(e), mod = rng.record(m);
        check_modpow(base, exp, mod);
        ASSERT_FALSE(HasFailure());
    }
    Num b(rng.magnitude(100)), e(rng.magnitude(40)), m(-rng.magnitude(100));
    check_modpow(b, e, m);
}

} // namespace
