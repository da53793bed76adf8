// Bezout coefficients when an operand is zero, against GMP's: gcd(0, 0) = 0 with both
// coefficients 0, whatever the records look like.
#include "support/oracle.h"

using namespace kt;

TEST(ModInv, ZeroOperandsGiveGmpCoefficients) {
    struct Operand {
        Mpz value;
        uint8_t sign; // marker, 0 for the value's own
        uint64_t pad; // zero words above the top
    };
    // Zero as a fresh record, in an untrimmed record and marked negative.
    const Operand operands[] = {{0, 0, 0},
                                {0, 0, 2},
                                {0, 2, 0},
                                {0, 2, 1},
                                {5, 0, 0},
                                {-5, 0, 0},
                                {Mpz::pow2(100), 0, 1},
                                {-Mpz::ones(3), 0, 0}};
    for (const auto &oa : operands) {
        for (const auto &ob : operands) {
            if (oa.value.sgn() != 0 && ob.value.sgn() != 0)
                continue;
            Num a(oa.value, oa.pad), b(ob.value, ob.pad);
            if (oa.sign)
                a->sign = oa.sign;
            if (ob.sign)
                b->sign = ob.sign;
            SCOPED_TRACE(describe(a) + ", " + describe(b));
            Mpz g, x, y;
            mpz_gcdext(g, x, y, oa.value, ob.value);
            Num rg(-3), rx(Mpz::ones(4)), ry(7); // stale contents, replaced
            ASSERT_EQ(bignum_modinv(rg, rx, ry, a, b), ry.get());
            EXPECT_TRUE(Holds(rg, g) && Holds(rx, x) && Holds(ry, y));
        }
    }
}

TEST(ModInv, BothZeroIntoTheOperandsThemselves) {
    // Outputs may be the inputs; with both zero every output is a cleared zero.
    Num a(0), b(0, 3), g(9);
    a->sign = 2;
    ASSERT_EQ(bignum_modinv(g, a, b, a, b), b.get());
    EXPECT_TRUE(Holds(g, 0, 1, 0) && Holds(a, 0, 1, 0) && Holds(b, 0, 1, 0));
    // Only x asked for: still 0, and the call returns the null y.
    Num zero, x(1);
    EXPECT_EQ(bignum_modinv(nullptr, x, nullptr, zero, zero), nullptr);
    EXPECT_TRUE(Holds(x, 0, 1, 0));
}
