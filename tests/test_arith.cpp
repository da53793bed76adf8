// Ordering, and signed addition, subtraction, multiplication and division: values, sign markers,
// words in use, storage growth and the refusal of results beyond 100000 words.
#include "support/oracle.h"

using namespace kt;

using Op = bignum *(*)(bignum *, bignum *, bignum *);

static bool looks_zero(const bignum *b) { return b->oofm == 0 || (b->oofm == 1 && !b->numb[0]); }

// Sign markers first, magnitudes otherwise (two negatives order by magnitude); no words on both
// sides is equal whatever the markers. The four comparisons must agree, in both orders.
static void expect_order(const bignum *a, const bignum *b) {
    int want = 0;
    if (a && b && (a->oofm || b->oofm)) {
        int c = mpz_cmpabs(value_of(a), value_of(b));
        want = a->sign != b->sign ? (a->sign == 1 ? 1 : -1) : (c > 0) - (c < 0);
    }
    for (int flip : {1, -1}) {
        EXPECT_EQ(bignum_cmp(a, b), want * flip);
        EXPECT_TRUE(bignum_eq(a, b) == (want == 0) && bignum_gt(a, b) == (want * flip == 1) &&
                    bignum_lt(a, b) == (want * flip == -1));
        std::swap(a, b);
    }
}

// The record a + b, a - b or a * b must give. A sum of magnitudes is untrimmed: as many words as
// the longer operand (at least one) plus a carry. A difference is trimmed, except that taking a
// record holding zero in at most one word copies the other operand as it is; -3 + 3 is a zero
// marked negative. A product is trimmed and takes the markers' sign, but a factor holding zero in
// at most one word gives a cleared zero.
static Want expected(Op op, const bignum *a, const bignum *b) {
    Mpz va = value_of(a), vb = value_of(b), ma = abs(va), mb = abs(vb);
    bool negative = a->sign == 2;
    if (op == bignum_mul) {
        Mpz p = va * vb;
        if (looks_zero(a) || looks_zero(b))
            return {0, 1, 0};
        return {p, uint8_t((a->sign == 2) != (b->sign == 2) ? 2 : 1), word_count(p)};
    }
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

static std::string name(Op op) {
    return op == bignum_add ? "bignum_add" : op == bignum_sub ? "bignum_sub" : "bignum_mul";
}

// Runs op into dst (a fresh record when `fresh`) against the model, with the size a fresh
// destination grows to; the result must fit.
static void check(Op op, bignum *a, bignum *b, bignum *dst, bool fresh) {
    SCOPED_TRACE(name(op) + " " + describe(a) + ", " + describe(b));
    Snapshot sa(a), sb(b);
    EXPECT_TRUE(Gives([&] { return op(dst, a, b); }, dst, expected(op, a, b)));
    if (fresh && op == bignum_add && a->sign == b->sign) {
        EXPECT_EQ(dst->size, grown_size(dst->oofm));
    }
    // Pass j of a product stores its carry at word oofm(a) + j, zero or not.
    if (fresh && op == bignum_mul && !looks_zero(a) && !looks_zero(b) &&
        a->oofm == word_count(sa.value) && b->oofm == word_count(sb.value)) {
        EXPECT_EQ(dst->size, grown_size(a->oofm + b->oofm));
    }
    EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
}

TEST(Compare, DocumentedOrder) {
    const std::pair<Num, Num> cases[] = {{words({}, 1), words({}, 2)},
                                         {words({0}, 1), words({0}, 2)},
                                         {Num(0), Num(-5)},
                                         {words({}, 2), Num(-5)},
                                         {Num(-5), Num(-3)},
                                         {Num(-5), Num(3)},
                                         {Num(Mpz::pow2(32)), Num(4294967295)},
                                         {words({5, 0, 0}, 2), words({5}, 2)},
                                         {words({0, 0, 0}), words({})},
                                         {words({1, 0, 0}), words({0, 0, 1})},
                                         {words({0xFFFFFFFF, 0}), words({0, 1})}};
    const int want[] = {0, 1, 1, -1, 1, -1, 1, 0, 0, -1, -1};
    for (int i = 0; i < 11; i++) {
        EXPECT_EQ(bignum_cmp(cases[i].first, cases[i].second), want[i]) << i;
        expect_order(cases[i].first, cases[i].second);
    }
    expect_order(nullptr, cases[0].first); // a null operand compares equal to anything
    // bignum_iszero looks at one word only: an untrimmed zero is not recognised.
    EXPECT_TRUE(bignum_iszero(words({}, 2)) && bignum_iszero(words({0}, 2)));
    EXPECT_FALSE(bignum_iszero(words({0, 0, 0})) || bignum_iszero(words({0, 1})));
}

TEST(Arith, DocumentedCasesAndLimits) {
    Op add = bignum_add, sub = bignum_sub, mul = bignum_mul;
    const Mpz p64 = Mpz::pow2(64), full = Mpz::pow2(32 * 99999), ones = Mpz::ones(100000);
    auto over = [](Op op) { return Refusal(TooLarge(name(op), 100001)); };
    struct Case {
        Case(Op o, Mpz x, Mpz y, Want w, uint64_t pad = 0)
            : op(o), a(x), b(y), want(w), pad_a(pad) {}
        Op op;
        Mpz a, b;
        Want want;
        uint64_t pad_a;
        // clang-format off
    } cases[] = {
        {add, 0, 0, {0, 1, 1}}, // the sum of zeros keeps one word
        {add, 4294967295, 1, {Mpz::pow2(32), 1, 2}}, {add, Mpz::ones(2), 1, {p64, 1, 3}},
        {add, -5, 3, {-2, 2, 1}}, {add, 3, -5, {-2, 2, 1}}, {add, -3, 5, {2, 1, 1}},
        {add, -3, 3, {0, 2, 0}}, // zero marked negative
        {add, 3, -3, {0, 1, 0}}, {add, -5, -3, {-8, 2, 1}},
        {add, 5, 1, {6, 1, 3}, 2}, // untrimmed operand, untrimmed sum
        {sub, 0, 0, {0, 1, 0}}, {sub, -5, 3, {-8, 2, 1}}, {sub, -3, -5, {2, 1, 1}},
        {sub, -5, -5, {0, 1, 0}}, {sub, 3, 5, {-2, 2, 1}}, {sub, p64 + 5, p64, {5, 1, 1}},
        {sub, p64, 1, {Mpz::ones(2), 1, 2}}, {sub, 5, 0, {5, 1, 3}, 2},
        {mul, 4294967295, 4294967295, {Mpz("18446744065119617025"), 1, 2}},
        {mul, Mpz::pow2(32), Mpz::pow2(32), {p64, 1, 3}}, {mul, -3, 5, {-15, 2, 1}},
        {mul, -3, -5, {15, 1, 1}}, {mul, 0, -5, {0, 2, 0}, 2}, // untrimmed zero multiplied out
        {mul, 7, -3 * p64, {-21 * p64, 2, 3}, 2},
        {add, Mpz::ones(99999), 1, {full, 1, 100000}}, {sub, Mpz::ones(99999), -1, {full, 1, 100000}},
        {mul, Mpz::ones(99990), Mpz::ones(10), {Mpz::ones(99990) * Mpz::ones(10), 1, 100000}},
        {mul, 4294967295, Mpz::ones(99999), {4294967295 * Mpz::ones(99999), 1, 100000}},
        {add, ones, 1, over(add)}, {add, -ones, -1, over(add)}, {sub, ones, -1, over(sub)},
        {sub, -ones, 1, over(sub)}, {mul, Mpz::ones(99991), Mpz::ones(10), over(mul)},
        {mul, -Mpz::ones(10), Mpz::ones(99991), over(mul)}, {mul, full, Mpz::pow2(32), over(mul)},
    };
    // clang-format on
    for (const auto &c : cases) {
        Num a(c.a, c.pad_a), b(c.b), dst(-12345), fresh;
        SCOPED_TRACE(name(c.op) + " " + describe(a) + ", " + describe(b));
        Snapshot sa(a), sb(b);
        EXPECT_TRUE(Gives([&] { return c.op(dst, a, b); }, dst, c.want));
        EXPECT_TRUE(sa.Unchanged() && sb.Unchanged());
        if (c.want.message.empty())
            check(c.op, a, b, fresh, true);
    }
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
    EXPECT_TRUE(Holds(m, 0, 2, 0)) << "the marker follows the factors' markers";
    bignum_mul(y, u, y);
    EXPECT_TRUE(Holds(y, 0, 1, 0));
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
    EXPECT_TRUE(Holds(rq, q, 0, word_count(q)));
    EXPECT_TRUE(Holds(rr, r, 1, mpz_cmpabs(n, d) < 0 ? divd->oofm : word_count(r)));
    EXPECT_EQ(bignum_div(q2, nullptr, divd, divs), q2.get());
    EXPECT_EQ(bignum_mod(r2, divd, divs), r2.get());
    EXPECT_TRUE(Holds(q2, q) && Holds(r2, r));
    EXPECT_TRUE(sn.Unchanged() && sd.Unchanged());
}

TEST(Div, DocumentedCasesAndRefusals) {
    const Mpz e30("1000000000000000000000000000000"), e12("1000000000000");
    // clang-format off
    const Mpz cases[][4] = { // dividend, divisor, quotient, remainder
        {100, 7, 14, 2}, {-100, 7, -14, 2}, {100, -7, -14, 2}, {-100, -7, 14, 2}, {-5, 5, -1, 0},
        {-3, 10, 0, 3}, {0, -7, 0, 0}, {e30, -e12, -Mpz("1000000000000000000"), 0},
        {Mpz::pow2(96) + Mpz::pow2(64), Mpz::pow2(32) + 1, Mpz::pow2(64), 0},
        {5, 0, 0, 0}, {-1, 0, 0, 0}, {Mpz::ones(40), 0, 0, 0}, {0, 0, 0, 0},
    };
    // clang-format on
    for (size_t i = 0; i < std::size(cases); i++) {
        const auto &c = cases[i];
        Num n(c[0], i % 2), d(c[1], i % 3), q(9), r(Mpz::ones(3)), m(4); // untrimmed now and then
        SCOPED_TRACE(describe(n) + " / " + describe(d));
        bool zero = c[1].sgn() == 0;
        EXPECT_TRUE(Gives([&] { return bignum_div(q, r, n, d); }, q,
                          zero ? Refusal("bignum_div().. division by zero\n") : Want(c[2])));
        EXPECT_TRUE(Holds(r, c[3], 1, zero ? 0 : kAny));
        EXPECT_TRUE(Gives([&] { return bignum_mod(m, n, d); }, m,
                          zero ? Refusal("bignum_mod().. division by zero\n") : Want(c[3], 1)));
        if (!zero)
            check_division(n, d);
    }
    Num q, r, n(1000), d(-7); // null outputs
    EXPECT_FALSE(bignum_div(nullptr, r, n, d) || bignum_div(nullptr, nullptr, n, d));
    EXPECT_TRUE(Holds(r, 6, 1, 1) && Holds(n, 1000, 1, 1) && Holds(d, -7, 2, 1));
    // bignum_div_aux divides by word 0 of the divisor alone; a negative operand is reported with
    // its dump on the same line.
    Num big(Mpz::ones(4) - 3), neg(-5), three(3), qq(8);
    EXPECT_EQ(bignum_div_aux(q, r, Num(100), Num(7)), q.get());
    EXPECT_TRUE(Holds(q, 14, 1, 1) && Holds(r, 2, 1, 1));
    EXPECT_EQ(bignum_div_aux(nullptr, r, big, Num(Mpz::pow2(32) + 10)), nullptr);
    EXPECT_TRUE(Holds(r, long(mpz_tdiv_ui(Mpz::ones(4) - 3, 10))));
    const std::string dump = "bignum={sign=2, oofm=1, size=10, numb=0x00000005 }\n";
    EXPECT_TRUE(Gives([&] { return bignum_div_aux(qq, nullptr, neg, three); }, qq,
                      {8, 1, 1, "bignum_div_aux().. divd is negative! " + dump}));
    EXPECT_TRUE(Gives([&] { return bignum_div_aux(qq, nullptr, three, neg); }, qq,
                      {8, 1, 1, "bignum_div_aux().. divs is negative! " + dump}));
    EXPECT_TRUE(Gives([&] { return bignum_div_aux(qq, nullptr, three, Num(Mpz::pow2(32))); }, qq,
                      Refusal("bignum_div_aux().. division by zero\n")));
    // bignum_rshift_multi always gives zero, in a new record when dst is null.
    Num src(12345), count(3), dst(77);
    EXPECT_TRUE(bignum_rshift_multi(dst, src, count) == dst.get() && IsClearZero(dst));
    bignum *made = bignum_rshift_multi(nullptr, src, count);
    EXPECT_TRUE(IsClearZero(made) && Holds(src, 12345, 1, 1));
    bignum_free(made);
    EXPECT_FALSE(bignum_rshift_multi(src, nullptr, count) ||
                 bignum_rshift_multi(src, src, nullptr));
}

// Ordering, the three operations and division on the same random operands, from empty records
// to tens of thousands of words, untrimmed now and then, into fresh or reused destinations.
TEST(Arith, RandomAgainstGmp) {
    Rng rng;
    Num reused;
    for (int iter = 0; iter < 600; iter++) {
        Mpz va = rng.value(40000), vb = rng.value(rng.chance(50) ? 40000 : 60);
        if (rng.chance(15)) // equal or nearly equal magnitudes
            vb = (rng.chance(50) ? va : -va) + Mpz(long(rng.below(3)) - 1);
        Num a = rng.record(va), b = rng.record(vb), fresh;
        if (rng.chance(5) && va.sgn() == 0) // zero marked negative, as -3 + 3 leaves it
            a->sign = 2;
        expect_order(a, b);
        bool use_fresh = rng.chance(50);
        if (!use_fresh)
            load(reused, rng.value(300), rng.below(3)); // stale contents to be replaced
        Op op = iter % 3 == 0 ? bignum_mul : iter % 3 == 1 ? bignum_add : bignum_sub;
        check(op, a, b, use_fresh ? fresh.get() : reused.get(), use_fresh);
        if (vb.sgn() != 0)
            check_division(a, b);
        ASSERT_FALSE(HasFailure());
    }
    const uint64_t shapes[][2] = {{100000, 1}, {100000, 99990}, {99999, 50000}, {30000, 20}};
    for (auto [nn, nd] : shapes)
        check_division(Num(-rng.magnitude(nn)), Num(rng.magnitude(nd)));
    check_division(Num(Mpz::ones(100000)), Num(3)); // every quotient word filled
}
