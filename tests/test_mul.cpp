// Signed products: exact values wherever zero words lie, trimmed, with the sign of the factors.
#include "support/oracle.h"

using namespace kt;

namespace {

bool looks_zero(const bignum *b) { return b->oofm == 0 || (b->oofm == 1 && b->numb[0] == 0); }

TEST(Mul, DocumentedCases) {
    // clang-format off
    struct Case {
        Num a, b;
        Mpz value;
        uint8_t sign;
        uint64_t oofm;
    } cases[] = {
        {Num(4294967295), Num(4294967295), Mpz("18446744065119617025"), 1, 2},
        {Num(Mpz::ones(2)), Num(Mpz::ones(2)), Mpz::ones(2) * Mpz::ones(2), 1, 4},
        {Num(Mpz::pow2(32)), Num(Mpz::pow2(32)), Mpz::pow2(64), 1, 3},
        {Num(-3), Num(5), -15, 2, 1}, {Num(-3), Num(-5), 15, 1, 1}, {Num(0), Num(-5), 0, 1, 0},
        {Num(-5), Num(0), 0, 1, 0}, {Num(-5), words({0}, 2), 0, 1, 0},
        // An untrimmed zero is multiplied out; the marker follows the factors' markers.
        {words({0, 0}), Num(-5), 0, 2, 0},
        {words({0, 0}, 2), Num(-5), 0, 1, 0},
        {Num(Mpz::pow2(64) + 1), Num(Mpz::ones(3)), (Mpz::pow2(64) + 1) * Mpz::ones(3), 1, 6},
        {Num(Mpz::ones(3)), Num(Mpz::pow2(64) + 1), (Mpz::pow2(64) + 1) * Mpz::ones(3), 1, 6},
        {words({7, 0, 0}), words({0, 0, 3}, 2), -21 * Mpz::pow2(64), 2, 3},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(describe(c.a) + " * " + describe(c.b));
        Snapshot sa(c.a), sb(c.b);
        Num dst;
        EXPECT_EQ(bignum_mul(dst, c.a, c.b), dst.get());
        EXPECT_TRUE(HoldsExactly(dst, c.value, c.sign, c.oofm));
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
    }
}

TEST(Mul, TenWordSquareGrowsDestinationToTwenty) {
    Num a(Mpz::ones(10)), dst;
    bignum_mul(dst, a, a);
    EXPECT_TRUE(HoldsExactly(dst, Mpz::ones(10) * Mpz::ones(10), 1, 20));
    EXPECT_EQ(dst->size, 20u);
}

TEST(Mul, DestinationAliasing) {
    Num x(Mpz::ones(3)), y(-12345), sq;
    bignum_mul(sq, x, x);
    EXPECT_TRUE(Holds(sq, Mpz::ones(3) * Mpz::ones(3)));
    bignum_mul(x, x, y); // the destination is cleared first, so the factor reads as zero
    EXPECT_TRUE(HoldsExactly(x, 0, 2, 0)) << "the marker follows the factors' markers";
    Num u(99);
    bignum_mul(y, u, y);
    EXPECT_TRUE(HoldsExactly(y, 0, 1, 0));
}

void check_random(Rng &rng, uint64_t max_words, int iterations) {
    Num reused;
    for (int iter = 0; iter < iterations; iter++) {
        Num a = rng.operand(max_words), b = rng.operand(max_words);
        Mpz va = a.value(), vb = b.value();
        SCOPED_TRACE(describe(a) + " * " + describe(b));
        Snapshot sa(a), sb(b);
        bool fresh = rng.chance(50);
        Num mine;
        bignum *dst = fresh ? mine.get() : reused.get();
        if (!fresh)
            load(dst, rng.value(max_words), rng.below(3));
        ASSERT_EQ(bignum_mul(dst, a, b), dst);
        Mpz p = va * vb;
        if (looks_zero(a) || looks_zero(b))
            EXPECT_TRUE(IsClearZero(dst));
        else
            EXPECT_TRUE(
                HoldsExactly(dst, p, (a->sign == 2) != (b->sign == 2) ? 2 : 1, word_count(p)));
        // Pass j stores its carry at word oofm(a) + j, zero or not.
        if (fresh && !looks_zero(a) && !looks_zero(b) && a->oofm == word_count(va) &&
            b->oofm == word_count(vb)) {
            EXPECT_EQ(dst->size, grown_size(a->oofm + b->oofm));
        }
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
        ASSERT_FALSE(::testing::Test::HasFailure());
    }
}

TEST(Mul, RandomAgainstGmp) {
    Rng rng;
    check_random(rng, 200, 1500);
}

TEST(Mul, LargeAgainstGmp) {
    Rng rng;
    struct Shape {
        uint64_t na, nb;
    } shapes[] = {{20000, 20000}, {30000, 300}, {7, 40000}, {1, 99999}};
    for (const auto &s : shapes) {
        Mpz va = rng.magnitude(s.na), vb = -rng.magnitude(s.nb);
        Num a(va), b(vb), dst;
        bignum_mul(dst, a, b);
        EXPECT_TRUE(HoldsExactly(dst, va * vb, 2, word_count(va * vb))) << s.na << "x" << s.nb;
    }
}

TEST(Mul, ProductsAtTheLimit) {
    // clang-format off
    struct Case {
        Mpz a, b;
    } fits[] = {
        {Mpz::ones(99990), Mpz::ones(10)},
        // 99991 + 10 words whose product still fits in 100000 words
        {Mpz::pow2(32 * 99990), Mpz::pow2(32 * 9) + 12345},
        {Mpz::ones(1), Mpz::ones(99999)},
    };
    // clang-format on
    for (const auto &c : fits) {
        Num a(c.a), b(c.b), dst;
        EXPECT_TRUE(Quietly([&] { return bignum_mul(dst, a, b); }, dst));
        EXPECT_TRUE(HoldsExactly(dst, c.a * c.b, 1, 100000));
    }
    // clang-format off
    Case over[] = {
        {Mpz::ones(99991), Mpz::ones(10)}, {-Mpz::ones(10), Mpz::ones(99991)},
        {Mpz::pow2(32 * 99999), Mpz::pow2(32)},
    };
    // clang-format on
    for (const auto &c : over) {
        Num a(c.a), b(c.b), dst(77);
        EXPECT_TRUE(
            Refuses([&] { return bignum_mul(dst, a, b); }, dst, TooLarge("bignum_mul", 100001)));
    }
}

} // namespace
