// Signed addition, subtraction, multiplication and division: values, sign markers, words in use,
// storage growth and the refusal of results beyond 100000 words.
#include "support/oracle.h"

using namespace kt;

using Op = bignum *(*)(bignum *, bignum *, bignum *);

struct Expect {
    Mpz value;
    uint8_t sign;
    uint64_t oofm;
};

static bool looks_zero(const bignum *b) { return b->oofm == 0 || (b->oofm == 1 && !b->numb[0]); }

// The record a + b, a - b or a * b must give. A sum of magnitudes is untrimmed: as many words as
// the longer operand (at least one) plus a carry. A difference is trimmed, except that taking a
// record holding zero in at most one word copies the other operand as it is; -3 + 3 is a zero
// marked negative. A product is trimmed and takes the markers' sign, but a factor holding zero in
// at most one word gives a cleared zero.
static Expect expected(Op op, const bignum *a, const bignum *b) {
    Mpz va = value_of(a), vb = value_of(b);
    bool negative = a->sign == 2;
    if (op == bignum_mul) {
        Mpz p = va * vb;
        if (looks_zero(a) || looks_zero(b))
            return {0, 1, 0};
        return {p, uint8_t((a->sign == 2) != (b->sign == 2) ? 2 : 1), word_count(p)};
    }
    Mpz ma = abs(va), mb = abs(vb);
    if ((a->sign == b->sign) == (op == bignum_add)) {
        Mpz s = ma + mb;
        uint64_t m = std::max<uint64_t>({a->oofm, b->oofm, 1});
        return {negative ? -s : s, uint8_t(negative ? 2 : 1), std::max(m, word_count(s))};
    }
    int c = mpz_cmp(ma, mb);
    if (c == 0)
        return {0, uint8_t(op == bignum_add && negative ? 2 : 1), 0};
    Mpz d = c > 0 ? ma - mb : mb - ma;
    bool neg = (c > 0) == negative;
    uint64_t oofm = looks_zero(c > 0 ? b : a) ? (c > 0 ? a : b)->oofm : word_count(d);
    return {neg ? -d : d, uint8_t(neg ? 2 : 1), oofm};
}

static const char *name(Op op) {
    return op == bignum_add ? "bignum_add" : op == bignum_sub ? "bignum_sub" : "bignum_mul";
}

// Runs op into dst (a fresh record when `fresh`) and checks the exact record, the size a fresh
// destination grows to, and the operands.
static void check(Op op, bignum *a, bignum *b, bignum *dst, bool fresh) {
    SCOPED_TRACE(std::string(name(op)) + " " + describe(a) + ", " + describe(b));
    Snapshot sa(a), sb(b);
    Expect want = expected(op, a, b);
    ASSERT_EQ(op(dst, a, b), dst);
    EXPECT_TRUE(HoldsExactly(dst, want.value, want.sign, want.oofm));
    if (fresh && op == bignum_add && a->sign == b->sign) {
        EXPECT_EQ(dst->size, grown_size(want.oofm));
    }
    // Pass j of a product stores its carry at word oofm(a) + j, zero or not.
    if (fresh && op == bignum_mul && !looks_zero(a) && !looks_zero(b) &&
        a->oofm == word_count(sa.value) && b->oofm == word_count(sb.value)) {
        EXPECT_EQ(dst->size, grown_size(a->oofm + b->oofm));
    }
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
}

TEST(Arith, DocumentedCases) {
    Op add = bignum_add, sub = bignum_sub, mul = bignum_mul;
    const Mpz p64 = Mpz::pow2(64);
    struct Case {
        Op op;
        Num a, b;
        Mpz value;
        uint8_t sign;
        uint64_t oofm;
        // clang-format off
    } cases[] = {
        {add, Num(0), Num(0), 0, 1, 1}, // the sum of zeros keeps one word
        {add, Num(4294967295), Num(1), Mpz::pow2(32), 1, 2},
        {add, Num(Mpz::ones(2)), Num(1), p64, 1, 3}, {add, Num(-5), Num(3), -2, 2, 1},
        {add, Num(3), Num(-5), -2, 2, 1}, {add, Num(-3), Num(5), 2, 1, 1},
        {add, Num(-3), Num(3), 0, 2, 0}, // zero marked negative
        {add, Num(3), Num(-3), 0, 1, 0}, {add, Num(-5), Num(-3), -8, 2, 1},
        {add, words({5, 0, 0}), Num(1), 6, 1, 3}, // untrimmed operands, untrimmed sum
        {sub, Num(0), Num(0), 0, 1, 0}, {sub, Num(-5), Num(3), -8, 2, 1},
        {sub, Num(-3), Num(-5), 2, 1, 1}, {sub, Num(-5), Num(-5), 0, 1, 0},
        {sub, Num(3), Num(5), -2, 2, 1}, {sub, Num(p64 + 5), Num(p64), 5, 1, 1},
        {sub, Num(p64), Num(1), Mpz::ones(2), 1, 2},
        {sub, words({0, 0, 1}), words({1, 0, 1}), -1, 2, 1},
        {sub, words({5, 0, 0}), words({0}), 5, 1, 3}, {sub, Num(0), words({5, 0, 0}), -5, 2, 3},
        {mul, Num(4294967295), Num(4294967295), Mpz("18446744065119617025"), 1, 2},
        {mul, Num(Mpz::pow2(32)), Num(Mpz::pow2(32)), p64, 1, 3},
        {mul, Num(-3), Num(5), -15, 2, 1}, {mul, Num(-3), Num(-5), 15, 1, 1},
        {mul, Num(-5), words({0}, 2), 0, 1, 0},
        // An untrimmed zero is multiplied out; the marker follows the factors' markers.
        {mul, words({0, 0}), Num(-5), 0, 2, 0}, {mul, words({0, 0}, 2), Num(-5), 0, 1, 0},
        {mul, words({7, 0, 0}), words({0, 0, 3}, 2), -21 * p64, 2, 3},
        {mul, Num(p64 + 1), Num(Mpz::ones(3)), (p64 + 1) * Mpz::ones(3), 1, 6},
    };
    // clang-format on
    for (const auto &c : cases) {
        Num dst;
        check(c.op, c.a, c.b, dst, true);
        EXPECT_TRUE(HoldsExactly(dst, c.value, c.sign, c.oofm));
    }
    Num a(Mpz::ones(10)), sq;
    bignum_mul(sq, a, a);
    EXPECT_EQ(sq->size, 20u);
}

TEST(Arith, OperandsSharedWithEachOtherOrTheDestination) {
    for (Mpz v : {Mpz(-7), Mpz(0), Mpz::ones(40), -Mpz::pow2(1000)}) {
        Num x(v), d, s, p;
        bignum_sub(d, x, x);
        bignum_add(s, x, x);
        bignum_mul(p, x, x);
        EXPECT_TRUE(IsClearZero(d) && Holds(s, v + v) && Holds(p, v * v) && Holds(x, v));
    }
    // The destination is cleared first, so an operand it shares reads as zero.
    Num x(1234), y(-99), p(Mpz::pow2(200)), q(77), m(-5), u(99);
    bignum_add(x, x, y);
    bignum_sub(q, p, q);
    EXPECT_TRUE(Holds(x, -99) && Holds(q, Mpz::pow2(200)));
    bignum_mul(m, m, y);
    EXPECT_TRUE(HoldsExactly(m, 0, 2, 0)) << "the marker follows the factors' markers";
    bignum_mul(y, u, y);
    EXPECT_TRUE(HoldsExactly(y, 0, 1, 0));
}

TEST(Arith, RandomAgainstGmp) {
    Rng rng;
    Num reused;
    for (int iter = 0; iter < 4500; iter++) {
        uint64_t max = iter < 4480 ? 300 : 40000;
        Op op = rng.chance(33) ? bignum_mul : rng.chance(50) ? bignum_add : bignum_sub;
        Mpz va = rng.value(max), vb = rng.value(max);
        if (rng.chance(15)) // equal or nearly equal magnitudes
            vb = (rng.chance(50) ? va : -va) + Mpz(long(rng.below(3)) - 1);
        Num a = rng.record(va), b = rng.record(vb), fresh;
        bool use_fresh = rng.chance(50);
        if (!use_fresh)
            load(reused, rng.value(max), rng.below(3)); // stale contents to be replaced
        check(op, a, b, use_fresh ? fresh.get() : reused.get(), use_fresh);
        ASSERT_FALSE(HasFailure());
    }
    struct Shape {
        uint64_t na, nb;
    } shapes[] = {{20000, 20000}, {30000, 300}, {7, 40000}, {1, 99999}};
    for (const auto &s : shapes) {
        Num a(rng.magnitude(s.na)), b(-rng.magnitude(s.nb)), dst;
        check(bignum_mul, a, b, dst, true);
    }
}

TEST(Arith, ResultsAtTheLimit) {
    const Mpz top = Mpz::pow2(32 * 99999), ones = Mpz::ones(100000);
    struct Case {
        Op op;
        Mpz a, b;
        // clang-format off
    } fits[] = {
        {bignum_add, Mpz::ones(99999), 1}, {bignum_sub, Mpz::ones(99999), -1},
        {bignum_mul, Mpz::ones(99990), Mpz::ones(10)},
        {bignum_mul, Mpz::pow2(32 * 99990), Mpz::pow2(32 * 9) + 12345},
        {bignum_mul, Mpz::ones(1), Mpz::ones(99999)},
    }, over[] = {
        {bignum_add, ones, 1}, {bignum_add, -ones, -1}, {bignum_sub, ones, -1},
        {bignum_sub, -ones, 1}, {bignum_add, ones, ones}, {bignum_mul, Mpz::ones(99991), Mpz::ones(10)},
        {bignum_mul, -Mpz::ones(10), Mpz::ones(99991)}, {bignum_mul, top, Mpz::pow2(32)},
    };
    // clang-format on
    for (const auto &c : fits) {
        Num a(c.a), b(c.b), dst;
        EXPECT_TRUE(Quietly([&] { return c.op(dst, a, b); }, dst)) << name(c.op);
        EXPECT_EQ(dst->oofm, 100000u);
        check(c.op, a, b, dst, true);
        EXPECT_EQ(dst->size, 100000u);
    }
    for (const auto &c : over) {
        Num a(c.a), b(c.b), out(-12345);
        Snapshot sa(a), sb(b);
        EXPECT_TRUE(Refuses([&] { return c.op(out, a, b); }, out, TooLarge(name(c.op), 100001)));
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
    }
}

// The quotient of the magnitudes rounded toward zero, signed when exactly one operand is
// negative, and the remainder of the magnitudes (never negative). A dividend smaller than the
// divisor comes back as the remainder, words in use and all.
static void check_division(bignum *divd, bignum *divs) {
    SCOPED_TRACE(describe(divd) + " / " + describe(divs));
    Mpz n = value_of(divd), d = value_of(divs), q, r;
    mpz_tdiv_qr(q, r, n, d);
    mpz_abs(r, r);
    Snapshot sn(divd), sd(divs);
    Num rq(-3), rr(Mpz::ones(5), 1), q2, r2; // stale contents, cleared by the call
    ASSERT_EQ(bignum_div(rq, rr, divd, divs), rq.get());
    EXPECT_TRUE(HoldsExactly(rq, q, q.sgn() < 0 ? 2 : 1, word_count(q)));
    EXPECT_TRUE(HoldsExactly(rr, r, 1, mpz_cmpabs(n, d) < 0 ? divd->oofm : word_count(r)));
    EXPECT_EQ(bignum_div(q2, nullptr, divd, divs), q2.get());
    EXPECT_EQ(bignum_mod(r2, divd, divs), r2.get());
    EXPECT_TRUE(Holds(q2, q) && Holds(r2, r));
    EXPECT_TRUE(sn.Unchanged() && sd.Unchanged());
}

TEST(Div, DocumentedCases) {
    const Mpz e30("1000000000000000000000000000000"), e12("1000000000000"),
        b("340282366920938463463374607431768211457");
    struct Case {
        Num n, d;
        // clang-format off
    } cases[] = {
        {Num(100), Num(7)}, {Num(-100), Num(7)}, {Num(100), Num(-7)}, {Num(-100), Num(-7)},
        {Num(5), Num(5)}, {Num(-5), Num(5)}, {Num(3), Num(10)}, {Num(-3), Num(10)},
        {words({3, 0, 0}, 2), Num(10)}, {Num(0), Num(-7)}, {words({0, 0}), Num(7)},
        {Num(e30), Num(-e12)}, {Num(Mpz("10000000000000000000000000000000000000000012345")),
                               Num(Mpz("300000000000000000007"))},
        {Num(Mpz::pow2(96) + Mpz::pow2(64)), Num(Mpz::pow2(32) + 1)},
        {Num(b * 5 * Mpz::pow2(64) + 12345), Num(b)}, // partial remainders shorter than b
        {Num(Mpz::ones(6) - 5), Num(Mpz::ones(2))},   // top word 0xFFFFFFFF: no normalisation
        {Num(Mpz::pow2(200) - 1), Num(Mpz::pow2(100) + 1)}, {Num(Mpz::pow2(64)), Num(Mpz::pow2(64) - 1)},
    };
    // clang-format on
    for (const auto &c : cases)
        check_division(c.n, c.d);
    Num q, r;
    bignum_div(q, r, Num(-100), Num(7));
    EXPECT_TRUE(HoldsExactly(q, -14, 2, 1) && HoldsExactly(r, 2, 1, 1));
    bignum_div(q, nullptr, Num(-3), Num(10));
    EXPECT_TRUE(IsClearZero(q)) << "a zero quotient is not marked negative";
    Num n(1000), d(-7); // null outputs
    EXPECT_EQ(bignum_div(nullptr, r, n, d), nullptr);
    EXPECT_TRUE(HoldsExactly(r, 6, 1, 1));
    EXPECT_EQ(bignum_div(nullptr, nullptr, n, d), nullptr);
    EXPECT_TRUE(HoldsExactly(n, 1000, 1, 1) && HoldsExactly(d, -7, 2, 1));
}

TEST(Div, RefusalsAndTheOtherRoutines) {
    struct Case {
        Num n, d;
        // clang-format off
    } zero[] = {
        {Num(5), Num(0)}, {Num(0), Num(0)}, {Num(-5), words({}, 2)},
        {Num(Mpz::ones(40)), words({0, 0, 0})}, {Num(-1), words({0})},
    };
    // clang-format on
    for (const auto &c : zero) {
        SCOPED_TRACE(describe(c.n) + " / " + describe(c.d));
        Snapshot sn(c.n), sd(c.d);
        Num q(9), r(Mpz::ones(3)), m(4);
        EXPECT_TRUE(Refuses([&] { return bignum_div(q, r, c.n, c.d); }, q,
                            "bignum_div().. division by zero\n"));
        EXPECT_TRUE(IsClearZero(r));
        EXPECT_TRUE(Refuses([&] { return bignum_mod(m, c.n, c.d); }, m,
                            "bignum_mod().. division by zero\n"));
        EXPECT_TRUE(sn.Unchanged() && sd.Unchanged());
    }
    // bignum_div_aux divides by word 0 of the divisor alone.
    Num q, r, r2, big(Mpz::ones(4) - 3);
    EXPECT_EQ(bignum_div_aux(q, r, Num(100), Num(7)), q.get());
    EXPECT_TRUE(HoldsExactly(q, 14, 1, 1) && HoldsExactly(r, 2, 1, 1));
    EXPECT_EQ(bignum_div_aux(nullptr, r2, big, Num(Mpz::pow2(32) + 10)), nullptr);
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
    // bignum_rshift_multi always gives zero, in a new record when dst is null.
    Num src(12345), count(3), dst(77), kept(5);
    EXPECT_EQ(bignum_rshift_multi(dst, src, count), dst.get());
    bignum *made = bignum_rshift_multi(nullptr, src, count);
    EXPECT_TRUE(IsClearZero(dst) && IsClearZero(made) && HoldsExactly(src, 12345, 1, 1));
    bignum_free(made);
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
        Num divs(d.sgn() == 0 ? Mpz(1) : rng.chance(50) ? -d : d);
        check_division(n, divs);
        ASSERT_FALSE(HasFailure());
    }
    const uint64_t shapes[][2] = {{30000, 1},     {30000, 2},      {30000, 20},
                                  {20000, 10000}, {40000, 39990},  {100000, 1},
                                  {100000, 3},    {100000, 99990}, {100000, 100000}};
    for (auto [nn, nd] : shapes) {
        Num n(-rng.magnitude(nn)), d(rng.magnitude(nd));
        check_division(n, d);
    }
    Num ones(Mpz::ones(100000)), three(3); // a single-word division filling every quotient word
    check_division(ones, three);
}
