// gcd of magnitudes, Bezout coefficients by the textbook extended Euclid, modular power.
#include "support/oracle.h"

using namespace kt;

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
    if (g.sgn() == 0)
        old_s = 0;
    x = a.sgn() < 0 ? -old_s : old_s;
    y = b.sgn() < 0 ? -old_t : old_t;
}

// |base|^exp mod |mod|, through the inverse for a negative exponent; or the refusal.
static Want expected_modpow(const Mpz &base, const Mpz &exp, const Mpz &mod) {
    Mpz m = abs(mod), b = abs(base), out;
    if (m.sgn() == 0)
        return Refusal("bignum_modpow().. modulus is zero\n");
    if (exp.sgn() < 0 && !mpz_invert(b, b, m))
        return Refusal("bignum_modpow().. base has no inverse modulo the modulus\n");
    mpz_powm(out, b, abs(exp), m);
    return out;
}

// gcd(a, b) (never negative), the Bezout coefficients of a and b, and a^e mod b, each into a
// destination holding stale contents.
static void check(bignum *a, bignum *b, bignum *e) {
    SCOPED_TRACE(describe(a) + ", " + describe(b) + ", exponent " + describe(e));
    Snapshot sa(a), sb(b), se(e);
    Mpz va = value_of(a), vb = value_of(b), g, x, y;
    textbook(va, vb, g, x, y);
    ASSERT_TRUE(va * x + vb * y == g);
    Num gcd(-3), rg(5), rx(-5), ry(Mpz::ones(4)), pw(-8);
    EXPECT_TRUE(Gives([&] { return bignum_gcd(gcd, a, b); }, gcd, g));
    EXPECT_TRUE(Gives([&] { return bignum_modinv(rg, rx, ry, a, b); }, ry, y));
    EXPECT_TRUE(Holds(rg, g) && Holds(rx, x));
    EXPECT_TRUE(Gives([&] { return bignum_modpow(pw, a, e, b); }, pw,
                      expected_modpow(va, value_of(e), vb)));
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged() && se.Unchanged());
}

TEST(NumberTheory, DocumentedCases) {
    const Mpz z = -1, n = -2; // a^e mod b refused: modulus zero, or no inverse
    // clang-format off
    const Mpz cases[][7] = { // a, b, e, gcd, x, y, a^e mod b
        {240, 46, 3, 2, -9, 47, 34}, {3120, 17, -1, 1, 2, -367, 2}, {5, 0, 3, 5, 1, 0, z},
        {0, 5, 0, 5, 0, 1, 1}, {0, 0, 1, 0, 0, 0, z}, {6, 6, 1, 6, 0, 1, 0}, {1, 1, 0, 1, 0, 1, 0},
        {-7, 3, 5, 1, -1, -2, 1}, {7, -3, -1, 1, 1, 2, 1}, {-7, -3, 2, 1, -1, 2, 1},
        {-5, 0, -5, 5, -1, 0, z}, {12, -18, 2, 6, -1, -1, 0}, {-6, -6, 0, 6, 0, -1, 1},
        {4, 497, 13, 1, -124, 1, 445}, {2, 1000, 10, 2, 1, 0, 24}, {9, 1, 0, 1, 0, 1, 0},
        {5, 1, 3, 1, 0, 1, 0}, {-2, 5, 3, 1, 2, 1, 3}, {2, 5, -3, 1, -2, 1, 2},
        {2, -5, 3, 1, -2, -1, 3}, {-2, -5, -3, 1, 2, -1, 2}, {2, 4, -3, 2, 1, 0, n},
        {0, 7, -1, 7, 0, 1, n}, {3, 1000003, Mpz::pow2(70) + 1, 1, -333334, 1, 939882},
        {12345, Mpz::ones(3), Mpz::pow2(64) - 1, 15, -Mpz("2098631765262408942332026874"), 327,
         Mpz("59857997668548086923275049110")},
        {Mpz::pow2(64), 6 * Mpz::pow2(32), 5, Mpz::pow2(33), -1, 715827883, Mpz::pow2(34)},
    };
    // clang-format on
    for (const auto &c : cases) {
        Num a(c[0], 1), b(c[1]), e(c[2]), g, x, y, p; // an untrimmed first operand
        bignum_gcd(g, a, b);
        EXPECT_TRUE(Holds(g, c[3]) && bignum_modinv(nullptr, x, y, a, b) == y.get() &&
                    Holds(x, c[4]) && Holds(y, c[5]))
            << c[0].str() << ", " << c[1].str();
        Want w = c[6] == z   ? Refusal("bignum_modpow().. modulus is zero\n")
                 : c[6] == n ? Refusal("bignum_modpow().. base has no inverse modulo the modulus\n")
                             : Want(c[6]);
        EXPECT_TRUE(Gives([&] { return bignum_modpow(p, a, e, b); }, p, w));
        check(a, b, e);
    }
    Num a(240), b(46), y, g;
    EXPECT_EQ(bignum_modinv(nullptr, nullptr, nullptr, a, b), nullptr);
    EXPECT_EQ(bignum_modinv(g, nullptr, nullptr, a, b), nullptr);
    EXPECT_TRUE(Holds(g, 2));
    // Outputs may be the inputs: the inputs are read before anything is written.
    bignum_modinv(a, b, nullptr, a, b);
    EXPECT_TRUE(Holds(a, 2) && Holds(b, -9));
    Num p(3120), q(17), x, c(40), d(-64);
    bignum_modinv(x, q, p, p, q);
    EXPECT_TRUE(Holds(x, 1) && Holds(q, 2) && Holds(p, -367));
    EXPECT_TRUE(bignum_gcd(d, c, d) == d.get() && Holds(d, 8, 1, 1));
}

// Random operands sharing a factor now and then, from zero to thousands of words.
TEST(NumberTheory, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 400; iter++) {
        Mpz common = rng.chance(40) ? rng.value(20, false) : Mpz(1);
        uint64_t max = iter < 396 ? 60 : 2000;
        Num a = rng.record(rng.value(max) * common), b = rng.record(rng.value(max) * common);
        Mpz e = rng.value(rng.chance(80) ? 4 : 20, false);
        check(a, b, rng.record(rng.chance(15) ? -e : e));
        ASSERT_FALSE(HasFailure());
    }
}
