// Differential fuzzing of ordering, addition, subtraction, multiplication and division against
// GMP: values, sign markers, words in use, the refusals above 100000 words, destinations shared
// with operands where the interface allows it, and operands only read.
#include "fuzz_pool.h"

using namespace fz;

namespace {

using Op = bignum *(*)(bignum *, bignum *, bignum *);

// An operand must be left as it was, unless it is also the destination.
void expect_unchanged(const Pool &p, const bignum *b, const State &was, const bignum *dst) {
    if (b != nullptr && b != dst)
        expect_holds("operand " + p.name(b) + " afterwards", b, was);
}

// The library's order: sign markers first, magnitudes otherwise; no words on both sides is
// equal; a null argument compares equal to anything. The four functions agree, both ways round.
void compare(Input &in, Pool &p) {
    const uint8_t nulls = in.byte();
    bignum *a = (nulls & 0x0F) == 1 ? nullptr : p.operand(in, true);
    bignum *b = (nulls & 0xF0) == 0x10 ? nullptr : p.operand(in, true);
    context("compare " + p.name(a) + " " + (a ? describe(a) : "") + " with " + p.name(b) + " " +
            (b ? describe(b) : ""));
    int want = 0;
    State sa = a ? State(a) : State(), sb = b ? State(b) : State();
    if (a && b && (sa.oofm || sb.oofm)) {
        const int c = mpz_cmp(sa.mag, sb.mag);
        want = sa.sign != sb.sign ? (sa.sign == 1 ? 1 : -1) : (c > 0) - (c < 0);
    }
    Frozen ro(freeze_operands());
    bignum *fa = ro(a), *fb = ro(b);
    for (int flip : {1, -1}) {
        const int w = want * flip;
        const int got[] = {bignum_cmp(fa, fb), bignum_eq(fa, fb), bignum_gt(fa, fb),
                           bignum_lt(fa, fb)};
        const int expected[] = {w, w == 0, w == 1, w == -1};
        for (int i = 0; i < 4; i++)
            expect(got[i] == expected[i],
                   std::string("cmp/eq/gt/lt") + (flip < 0 ? " swapped" : "") + ": function " +
                       std::to_string(i) + " gave " + std::to_string(got[i]) + ", expected " +
                       std::to_string(expected[i]));
        std::swap(a, b);
        std::swap(fa, fb);
        std::swap(sa, sb);
    }
    if (a) // looks at one word at most
        expect(bignum_iszero(fa) == int(sa.looks_zero()),
               "bignum_iszero gave " + std::to_string(bignum_iszero(fa)));
    expect_quiet();
    expect_unchanged(p, a, sa, nullptr);
    expect_unchanged(p, b, sb, nullptr);
}

// dst = a + b, a - b or a * b. The destination is cleared before the operands are read, so an
// operand that is also the destination counts as zero.
void arith(Input &in, Pool &p, int kind) {
    static const Op ops[] = {bignum_add, bignum_sub, bignum_mul};
    static const char *names[] = {"bignum_add", "bignum_sub", "bignum_mul"};
    bignum *dst = p.destination(in);
    bignum *a = p.operand(in, true), *b = p.operand(in, true);
    const State sa(a), sb(b);
    const State ea = a == dst ? cleared() : sa, eb = b == dst ? cleared() : sb;
    uint64_t words = 0;
    State want;
    if (kind < 2) {
        want = add_model(kind == 1, ea, eb, &words);
    } else if (sa.looks_zero() || sb.looks_zero()) { // tested before the destination is cleared
        want = cleared();
    } else {
        const Mpz product = ea.mag * eb.mag;
        words = word_count(product);
        want = {product, uint8_t((ea.sign == 2) != (eb.sign == 2) ? 2 : 1), words};
    }
    context(std::string(names[kind]) + "(" + p.name(dst) + ", " + p.name(a) + ", " + p.name(b) +
            ") with " + p.name(dst) + " " + describe(dst) + ", a " + describe(a) + ", b " +
            describe(b));
    Frozen ro(freeze_operands());
    bignum *ret = ops[kind](dst, a == dst ? a : ro(a), b == dst ? b : ro(b));
    if (words > kMaxWords) {
        expect(ret == nullptr, "returned a record for a result beyond the limit");
        expect_too_large(names[kind], words);
        expect_holds("destination", dst, cleared());
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, want);
    }
    expect_unchanged(p, a, sa, dst);
    expect_unchanged(p, b, sb, dst);
}

// Two more records distinct from the operands for the quotient and remainder, or null.
bignum *output(Input &in, Pool &p, const bignum *x, const bignum *y, const bignum *z, Rec &spare) {
    const uint8_t c = in.byte();
    if (c % 8 == 0)
        return nullptr;
    for (int k = 0; k < Pool::kSlots; k++) {
        bignum *s = p.slot((c / 8 + k) % Pool::kSlots);
        if (s != x && s != y && s != z)
            return s;
    }
    return spare.get();
}

// A division's outputs (either may be null) hold what was wanted, and its
// operands what they held.
void expect_division(const Pool &p, const bignum *q, const bignum *r, const State &wq,
                     const State &wr, const bignum *divd, const State &sn, const bignum *divs,
                     const State &sd) {
    if (q)
        expect_holds("quotient", q, wq);
    if (r)
        expect_holds("remainder", r, wr);
    expect_unchanged(p, divd, sn, nullptr);
    expect_unchanged(p, divs, sd, nullptr);
}

// q = divd / divs rounded toward zero, negative when exactly one marker is; r = the remainder of
// the magnitudes; both cleared first, either may be null; bignum_mod is the remainder alone.
void divide(Input &in, Pool &p, bool mod, bignum *divd, bignum *divs) {
    Rec spare_q, spare_r;
    bignum *q = mod ? nullptr : output(in, p, divd, divs, nullptr, spare_q);
    bignum *r = output(in, p, divd, divs, q, spare_r);
    const State sn(divd), sd(divs);
    const bool negative = (sn.sign == 2) != (sd.sign == 2);
    State wq, wr;
    if (sd.mag.sgn() == 0) {
        wq = wr = cleared();
    } else if (mpz_cmp(sn.mag, sd.mag) < 0) { // the dividend comes back, words in use and all
        wq = cleared();
        wr = {sn.mag, 1, sn.oofm};
    } else {
        Mpz quotient, remainder;
        mpz_tdiv_qr(quotient, remainder, sn.mag, sd.mag);
        wq = {quotient, uint8_t(negative ? 2 : 1), word_count(quotient)};
        wr = trimmed(remainder);
    }
    const char *name = mod ? "bignum_mod" : "bignum_div";
    context(std::string(name) + "(" + p.name(q) + ", " + p.name(r) + ", " + p.name(divd) + ", " +
            p.name(divs) + ") of " + describe(divd) + " by " + describe(divs) + ", q " +
            (q ? describe(q) : "null") + ", r " + (r ? describe(r) : "null"));
    Frozen ro(freeze_operands());
    bignum *ret = mod ? bignum_mod(r, ro(divd), ro(divs)) : bignum_div(q, r, ro(divd), ro(divs));
    if (sd.mag.sgn() == 0) {
        expect(ret == nullptr, "returned a record for a zero divisor");
        expect_line(name, "division by zero");
    } else {
        expect(ret == (mod ? r : q), "did not return the documented record");
        expect_quiet();
    }
    expect_division(p, q, r, wq, wr, divd, sn, divs, sd);
}

// A dividend made from the divisor: divs * Q + R with R zero, one, divs - 1 or any below divs,
// so that quotients are exact or off by one at every size.
void structured_division(Input &in, Pool &p) {
    bignum *divs = p.slot(in.byte() % Pool::kSlots);
    p.reload(in, divs);
    bignum *divd = p.slot(in.byte() % Pool::kSlots);
    if (divd == divs)
        divd = p.slot((p.index(divs) + 1) % Pool::kSlots);
    const Mpz d = magnitude_of(divs);
    const Mpz q = decode_magnitude(in, decode_words(in, p.large()));
    const uint8_t how = in.byte();
    Mpz r;
    switch (how % 5) {
    case 1:
        r = 1;
        break;
    case 2:
        r = d.sgn() ? d - Mpz(1) : Mpz(0);
        break;
    case 3:
        if (d.sgn())
            mpz_tdiv_r(r, decode_magnitude(in, word_count(d) + 1), d);
        break;
    case 4:
        r = d;
        break;
    }
    Mpz n = d * q + r;
    if (word_count(n) > kMaxWords)
        mpz_tdiv_r_2exp(n, n, 32 * kMaxWords);
    p.spend(word_count(n));
    load(divd, n, how & 0x80 ? 2 : 1, (how >> 5) & 1, how & 0x40);
    divide(in, p, how & 0x10, divd, divs);
}

// Division by word 0 of divs alone, for operands not marked negative: q is cleared first, r gets
// word 0 alone (its count becomes 1 for a non-zero remainder). A negative marker is reported with
// the dump of the record, also with messages off, and nothing changes.
void divide_by_word(Input &in, Pool &p) {
    bignum *divd = p.operand(in), *divs = p.operand(in);
    Rec spare_q, spare_r;
    bignum *q = output(in, p, divd, divs, nullptr, spare_q);
    bignum *r = output(in, p, divd, divs, q, spare_r);
    const State sn(divd), sd(divs), sq = q ? State(q) : State(), sr = r ? State(r) : State();
    const uint32_t w = divs->oofm ? divs->numb[0] : 0;
    std::string printed;
    State wq = sq, wr = sr;
    bignum *want_ret = nullptr;
    if (sn.sign == 2) {
        printed = "bignum_div_aux().. divd is negative! " + dump(divd);
    } else if (sd.sign == 2) {
        printed = "bignum_div_aux().. divs is negative! " + dump(divs);
    } else {
        wq = cleared();
        if (w != 0) {
            Mpz quotient;
            const unsigned long rem = mpz_tdiv_q_ui(quotient, sn.mag, w);
            wq = trimmed(quotient);
            if (rem != 0)
                wr = {Mpz(long(rem)), sr.sign, 1};
            else if (sr.oofm != 0) { // word 0 becomes 0, the count stays
                Mpz low;
                mpz_tdiv_r_2exp(low, sr.mag, 32);
                wr = {sr.mag - low, sr.sign, sr.oofm};
            }
            want_ret = q;
        }
    }
    context("bignum_div_aux(" + p.name(q) + ", " + p.name(r) + ", " + p.name(divd) + ", " +
            p.name(divs) + ") of " + describe(divd) + " by " + describe(divs) + ", q " +
            (q ? describe(q) : "null") + ", r " + (r ? describe(r) : "null"));
    Frozen ro(freeze_operands());
    bignum *ret = bignum_div_aux(q, r, ro(divd), ro(divs));
    expect(ret == want_ret, "returned " + p.name(ret) + ", expected " + p.name(want_ret));
    if (!printed.empty())
        expect_printed(printed);
    else if (w == 0) {
        expect_line("bignum_div_aux", "division by zero");
    } else {
        expect_quiet();
    }
    expect_division(p, q, r, wq, wr, divd, sn, divs, sd);
}

// Always zero: the destination is cleared (or made), src and count only checked for null.
void rshift_multi(Input &in, Pool &p) {
    const uint8_t c = in.byte();
    bignum *src = c % 7 == 1 ? nullptr : p.slot(c / 7 % Pool::kSlots);
    bignum *count = c % 7 == 2 ? nullptr : p.slot(c / 28 % Pool::kSlots);
    bignum *dst = c % 7 == 3 ? nullptr : p.destination(in);
    if (dst && (dst == src || dst == count))
        dst = nullptr;
    const State ss = src ? State(src) : State(), sc = count ? State(count) : State(),
                sdst = dst ? State(dst) : State();
    context("bignum_rshift_multi(" + p.name(dst) + ", " + p.name(src) + ", " + p.name(count) + ")");
    Frozen ro(freeze_operands());
    bignum *ret = bignum_rshift_multi(dst, ro(src), ro(count));
    expect_quiet();
    if (!src || !count) {
        expect(ret == nullptr, "returned a record with a null operand");
        if (dst)
            expect_holds("destination", dst, sdst);
    } else if (!dst) {
        expect_holds("new record", ret, cleared());
        expect(ret->size == 10, "a new record has size 10");
        bignum_free(ret);
    } else {
        expect(ret == dst, "did not return the destination");
        expect_holds("destination", dst, cleared());
    }
    expect_unchanged(p, src, ss, nullptr);
    expect_unchanged(p, count, sc, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initialize("fuzz_arith");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in(data, size);
    begin_input(in);
    Pool p;
    for (int step = 0; step < 8 && in.more(); step++) {
        const uint8_t op = in.byte();
        switch (op % 10) {
        case 0:
            p.reload(in, p.slot(in.byte() % Pool::kSlots));
            break;
        case 1:
            compare(in, p);
            break;
        case 2:
        case 3:
        case 4:
            arith(in, p, op / 10 % 3);
            break;
        case 5:
        case 6: {
            bignum *divd = p.operand(in), *divs = p.operand(in);
            divide(in, p, op % 10 == 6, divd, divs);
            break;
        }
        case 7:
            structured_division(in, p);
            break;
        case 8:
            divide_by_word(in, p);
            break;
        default:
            rshift_multi(in, p);
            break;
        }
    }
    return 0;
}
