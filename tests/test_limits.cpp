// Every family at the 100000-word limit and just past it, with the large value in
// each argument position: results of exactly 100000 words are exact, one word
// more is refused with the family's line and null, and the destination may
// hold a large value beforehand. Records here have exactly the storage they
// claim, so under AddressSanitizer a word written past it is caught.
#include "support/oracle.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace kt;

namespace {

using Bytes = std::vector<uint8_t>;

// The large operands: a magnitude of exactly 100000 words with runs of ones and
// zeros, the largest such value (every carry ripples) and the smallest.
struct Large {
    Large() : full(rng.magnitude(kMaxWords)) {}
    Rng rng;
    Mpz full;
    const Mpz ones = Mpz::ones(kMaxWords);
    const Mpz least = Mpz::pow2(32 * (kMaxWords - 1));
};

// A destination holding a value of 100000 words, and so storage of 100000 words.
Num big_destination(const Mpz &v) { return Num(-v); }

using Op = bignum *(*)(bignum *, bignum *, bignum *);

// op(a, b) into a fresh destination and into one holding a large value; the
// operands must come back unchanged.
void expect_binary(Op op, const char *name, const Mpz &a, const Mpz &b, const Want &want,
                   const Mpz &stale) {
    Num x(a), y(b), fresh, held = big_destination(stale);
    Snapshot sx(x), sy(y);
    for (bignum *dst : {fresh.get(), held.get()}) {
        SCOPED_TRACE(std::string(name) + (dst == fresh.get() ? " into a new record"
                                                             : " into a record of 100000 words"));
        EXPECT_TRUE(Gives([&] { return op(dst, x, y); }, dst, want));
    }
    EXPECT_TRUE(sx.Unchanged() && sy.Unchanged());
}

} // namespace

TEST(Limits, StorageAndCopies) {
    Large l;
    Num r;
    __bignum_grow(r, 99999);
    EXPECT_EQ(r->size, kMaxWords);
    EXPECT_TRUE(PrintedLine(Stdout([&] { __bignum_grow(r, kMaxWords); }),
                            "__bignum_grow().. requested size of 100000 exceeds max of 100000\n"));
    EXPECT_EQ(r->size, kMaxWords);
    __bignum_set(r, 99999, 7);
    __bignum_set(r, 100000, 8); // beyond the last word: dropped without a line
    EXPECT_EQ(r->numb[99999], 7u);

    // A copy of 100000 words, into a new record, a small one and a large one.
    Num src(l.full), small(5), held = big_destination(l.ones);
    for (bignum *dst : {small.get(), held.get()}) {
        EXPECT_EQ(bignum_set_bn(dst, src), dst);
        EXPECT_TRUE(Holds(dst, l.full, 1, kMaxWords));
        EXPECT_EQ(dst->size, kMaxWords);
    }
    bignum *made = bignum_set_bn(nullptr, src);
    EXPECT_TRUE(Holds(made, l.full, 1, kMaxWords));
    bignum_free(made);
    // A small copy over a large record leaves only the small value in use.
    EXPECT_TRUE(Holds(bignum_set_bn(held, Num(-9)), -9, 2, 1));

    // Words given most significant first: 100000 fit; of 100001 the top one is dropped.
    std::vector<uint32_t> msf(kMaxWords + 1);
    mpz_export(msf.data() + 1, nullptr, 1, 4, 0, 0, l.full);
    msf[0] = 0xDEADBEEF;
    Num exact, over;
    bignum_set_ui8(exact, kMaxWords, msf.data() + 1);
    EXPECT_TRUE(Holds(exact, l.full, 1, kMaxWords));
    // Word 100000 is beyond the last one there can be: dropped without a line.
    EXPECT_TRUE(PrintedLine(Stdout([&] { bignum_set_ui8(over, kMaxWords + 1, msf.data()); }), ""));
    EXPECT_TRUE(Holds(over, l.full, 1, kMaxWords));
}

TEST(Limits, BytesInAndOut) {
    Large l;
    Bytes bytes((mpz_sizeinbase(l.full, 2) + 7) / 8);
    mpz_export(bytes.data(), nullptr, 1, 1, 1, 0, l.full);
    ASSERT_LE(bytes.size(), 400000u);
    Bytes padded(400000 - bytes.size(), 0); // leading zero bytes to exactly 400000
    padded.insert(padded.end(), bytes.begin(), bytes.end());
    Num held = big_destination(l.ones), fresh;
    for (bignum *dst : {fresh.get(), held.get()}) {
        EXPECT_TRUE(Gives([&] { return bignum_setbytes(dst, padded.data(), 400000); }, dst,
                          Want(l.full, 1, kMaxWords)));
        Bytes over = padded;
        over.insert(over.begin(), 1);
        EXPECT_TRUE(Gives([&] { return bignum_setbytes(dst, over.data(), 400001); }, dst,
                          Refusal(TooLarge("bignum_setbytes", 100001))));
    }
    // Out again into a buffer of exactly the bytes it takes.
    Num x(l.full);
    Bytes out(bignum_bytelen(x));
    EXPECT_EQ(out.size(), bytes.size());
    bignum_getbytes(x, out.data());
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(bignum_bitlen(x), mpz_sizeinbase(l.full, 2));
    EXPECT_EQ(bignum_isbitset(x, 32 * kMaxWords), mpz_tstbit(l.full, 32 * kMaxWords - 1));
    EXPECT_EQ(bignum_isbitset(x, 32 * kMaxWords + 1), 0);
    Num top(l.least);
    EXPECT_EQ(bignum_lowest_set_bit(top), int64_t(32 * (kMaxWords - 1)));
    bignum_rshift(top, 31);
    EXPECT_TRUE(Holds(top, Mpz::pow2(32 * (kMaxWords - 1) - 31), 1, kMaxWords));
}

TEST(Limits, RandomWords) {
    Large l;
    Num fresh, held = big_destination(l.full);
    for (bignum *dst : {fresh.get(), held.get()}) {
        EXPECT_EQ(bignum_rnd_mag(dst, kMaxWords), dst);
        EXPECT_EQ(dst->oofm, kMaxWords);
        EXPECT_TRUE(Gives([&] { return bignum_rnd_mag(dst, kMaxWords + 1); }, dst,
                          Refusal(TooLarge("bignum_rnd_mag", 100001))));
    }
    Num bound(l.full), below;
    EXPECT_EQ(bignum_rnd_max(below, bound), below.get());
    EXPECT_TRUE(below->oofm <= kMaxWords && mpz_cmp(value_of(below), l.full) < 0);
}

TEST(Limits, Comparison) {
    Large l;
    Num a(l.ones), b(l.full), c(l.ones);
    EXPECT_EQ(bignum_cmp(a, b), 1);
    EXPECT_EQ(bignum_cmp(b, a), -1);
    EXPECT_TRUE(bignum_eq(a, c) && bignum_gt(a, b) && bignum_lt(b, a));
}

TEST(Limits, AdditionAndSubtraction) {
    Large l;
    const Mpz almost = Mpz::ones(kMaxWords - 1);
    auto over = [](const char *name) { return Refusal(TooLarge(name, 100001)); };
    // clang-format off
    struct Case { Op op; const char *name; Mpz a, b; Want want; } cases[] = {
        {bignum_add, "bignum_add", almost, 1, Want(l.least, 1, kMaxWords)},
        {bignum_add, "bignum_add", 1, almost, Want(l.least, 1, kMaxWords)},
        {bignum_add, "bignum_add", l.full, -l.full, Want(0, 1, 0)},
        {bignum_add, "bignum_add", -l.ones, l.ones - 1, Want(-1)},
        {bignum_add, "bignum_add", l.least, l.least, Want(2 * l.least, 1, kMaxWords)},
        {bignum_add, "bignum_add", l.ones, 1, over("bignum_add")},
        {bignum_add, "bignum_add", 1, l.ones, over("bignum_add")},
        {bignum_add, "bignum_add", -l.ones, -l.full, over("bignum_add")},
        {bignum_sub, "bignum_sub", l.full, l.full, Want(0, 1, 0)},
        {bignum_sub, "bignum_sub", l.least, 1, Want(l.least - 1, 1, kMaxWords - 1)},
        {bignum_sub, "bignum_sub", 1, l.ones, Want(1 - l.ones)},
        {bignum_sub, "bignum_sub", -almost, 1, Want(-l.least, 2, kMaxWords)},
        {bignum_sub, "bignum_sub", l.ones, -1, over("bignum_sub")},
        {bignum_sub, "bignum_sub", -1, l.ones, over("bignum_sub")},
        {bignum_sub, "bignum_sub", l.full, -l.ones, over("bignum_sub")},
    };
    // clang-format on
    for (const auto &c : cases)
        expect_binary(c.op, c.name, c.a, c.b, c.want, l.full);
}

TEST(Limits, Multiplication) {
    Large l;
    const Mpz half = Mpz::ones(kMaxWords / 2), past = Mpz::ones(kMaxWords / 2 + 1);
    auto over = [](uint64_t words) { return Refusal(TooLarge("bignum_mul", words)); };
    // clang-format off
    const std::pair<std::pair<Mpz, Mpz>, Want> cases[] = {
        {{l.full, 1}, Want(l.full)}, {{-1, l.full}, Want(-l.full)}, {{l.full, 0}, Want(0, 1, 0)},
        {{0, l.ones}, Want(0, 1, 0)}, {{l.least, 4294967295}, Want(l.least * 4294967295)},
        {{half, -half}, Want(-(half * half), 2, kMaxWords)},
        {{l.ones, 2}, over(100001)}, {{2, l.ones}, over(100001)},
        {{half, past}, over(100001)},             // computed, then refused
        {{past, past}, over(100001)},             // refused from the sizes alone
        {{l.full, l.full}, over(199999)},
    };
    // clang-format on
    for (const auto &[ab, want] : cases)
        expect_binary(bignum_mul, "bignum_mul", ab.first, ab.second, want, l.ones);
    // A square: the same record twice.
    Num h(half), held = big_destination(l.full);
    EXPECT_TRUE(Gives([&] { return bignum_mul(held, h, h); }, held, Want(half * half)));
    Num p(past);
    EXPECT_TRUE(Gives([&] { return bignum_mul(held, p, p); }, held, over(100001)));
}

TEST(Limits, Division) {
    Large l;
    const Mpz half = l.rng.magnitude(kMaxWords / 2), word = 4294967291;
    const std::pair<Mpz, Mpz> cases[] = {{l.full, word},   {-l.full, half}, {l.full, -l.full},
                                         {l.ones, l.full}, {word, l.full},  {half, -l.ones},
                                         {l.full, 1}};
    for (const auto &[n, d] : cases) {
        Num divd(n), divs(d), q = big_destination(l.ones), r = big_destination(l.full), m(7);
        SCOPED_TRACE(describe(divd) + " / " + describe(divs));
        Snapshot sn(divd), sd(divs);
        EXPECT_TRUE(Gives([&] { return bignum_div(q, r, divd, divs); }, q, Want(tdiv_q(n, d))));
        EXPECT_TRUE(Holds(r, mod_abs(n, d)));
        EXPECT_TRUE(Gives([&] { return bignum_mod(m, divd, divs); }, m, Want(mod_abs(n, d))));
        EXPECT_TRUE(sn.Unchanged() && sd.Unchanged());
    }
    Num n(l.full), zero(0), q = big_destination(l.ones), r = big_destination(l.ones);
    EXPECT_TRUE(Gives([&] { return bignum_div(q, r, n, zero); }, q,
                      Refusal("bignum_div().. division by zero\n")));
    EXPECT_TRUE(IsClearZero(r));
}

TEST(Limits, Text) {
    Large l;
    for (const Mpz &v : {l.full, -l.ones}) {
        Num x(v), held = big_destination(l.full);
        Snapshot sx(x);
        const std::string decimal = abs(v).str(10), hex = abs(v).str(16);
        // The display form in a buffer of exactly 100 bytes, and every digit in one
        // of exactly the size they take.
        std::vector<char> shown(100, '?');
        EXPECT_EQ(bignum_cstr_base(x, 100, shown.data(), 10), int32_t(decimal.size()));
        const std::string suffix = "x10^" + std::to_string(decimal.size() - 1);
        EXPECT_EQ(std::string(shown.data()),
                  decimal.substr(0, 1) + "." + decimal.substr(1, 97 - suffix.size()) + suffix);
        std::vector<char> all(hex.size() + 1, '?');
        EXPECT_EQ(bignum_cstr_base(x, int32_t(all.size()), all.data(), 16), int32_t(hex.size()));
        EXPECT_EQ(std::string(all.data()), hex);
        // The raw words: "0x" and nine characters a word, from the top.
        std::string words = "0x";
        for (uint64_t i = kMaxWords; i-- > 0;) {
            char piece[16];
            std::snprintf(piece, sizeof piece, "%08X ", x->numb[i]);
            words += piece;
        }
        std::vector<char> raw(words.size() + 1, '?');
        EXPECT_EQ(bignum_cstr(x, raw.size(), raw.data()), int32_t(words.size()));
        EXPECT_EQ(std::string(raw.data()), words);
        EXPECT_TRUE(sx.Unchanged());

        // Read back into a new record and into a large one: exactly 100000 words.
        Num fresh;
        for (bignum *dst : {fresh.get(), held.get()}) {
            __bignum_zero(dst);
            EXPECT_TRUE(Gives([&] { return bignum_set_str(dst, 16, hex.c_str()); }, dst,
                              Want(abs(v), 1, kMaxWords)));
        }
    }
    // One digit more is refused, whether its value or the sum with what the
    // destination holds would need the word.
    const std::string hex = l.full.str(16);
    Num fresh, held = big_destination(l.ones);
    EXPECT_TRUE(
        Gives([&] { return bignum_set_str(fresh, 16, ("1" + std::string(800000, '0')).c_str()); },
              fresh, Refusal(TooLarge("bignum_set_str", 100001))));
    held->sign = 1;
    EXPECT_TRUE(Gives([&] { return bignum_set_str(held, 10, "1"); }, held,
                      Refusal(TooLarge("bignum_set_str", 100001))));
    EXPECT_TRUE(Gives([&] { return bignum_set_str(fresh, 10, std::string(963000, '9').c_str()); },
                      fresh, Want(Mpz(std::string(963000, '9').c_str()))));
    EXPECT_TRUE(Gives([&] { return bignum_set_str(fresh, 10, std::string(964000, '9').c_str()); },
                      fresh, Refusal(TooLarge("bignum_set_str"))));
}

TEST(Limits, PowerRootFactorial) {
    Large l;
    auto pow = [](const Mpz &b, unsigned long e) {
        Mpz r;
        mpz_pow_ui(r, b, e);
        return r;
    };
    // clang-format off
    const std::pair<std::pair<Mpz, Mpz>, Want> powers[] = {
        {{2, 3199999}, Want(Mpz::pow2(3199999), 1, kMaxWords)},
        {{-2, 3199999}, Want(-Mpz::pow2(3199999), 2, kMaxWords)},
        {{l.full, 1}, Want(l.full)}, {{-l.ones, 1}, Want(-l.ones)},
        {{1, l.full}, Want(1)}, {{-1, l.ones}, Want(-1)}, {{0, l.full}, Want(0)},
        {{l.full, 0}, Want(1)}, {{l.full, -l.ones}, Want(0)},
        {{2, 3200000}, Refusal(TooLarge("bignum_pow", 100001))},
        {{l.full, 2}, Refusal(TooLarge("bignum_pow"))},
        {{2, l.full}, Refusal(TooLarge("bignum_pow"))},
        {{Mpz::ones(50000), 2}, Want(pow(Mpz::ones(50000), 2), 1, kMaxWords)},
    };
    // clang-format on
    for (const auto &[be, want] : powers)
        expect_binary(bignum_pow, "bignum_pow", be.first, be.second, want, l.full);

    auto root = [](const Mpz &x, unsigned long n) {
        Mpz r;
        mpz_root(r, x, n);
        return r;
    };
    // The destination is written once, at the end: it may be the radicand itself.
    for (unsigned long degree : {1ul, 2ul, 3ul, 7ul}) {
        Num d = Num(long(degree)), x(l.full), held = big_destination(l.ones);
        EXPECT_TRUE(
            Gives([&] { return bignum_root(held, d, x); }, held, Want(root(l.full, degree))));
        EXPECT_TRUE(Gives([&] { return bignum_root(x, d, x); }, x, Want(root(l.full, degree))));
    }
    Num huge_degree(l.full), five(5), held = big_destination(l.full);
    EXPECT_TRUE(Gives([&] { return bignum_root(held, huge_degree, five); }, held, Want(1)));
    Num minus(-l.ones), three(3);
    EXPECT_TRUE(
        Gives([&] { return bignum_root(held, three, minus); }, held, Want(-root(l.ones, 3))));

    // The largest factorial that fits, and the next one: log2(n!) below 3200000.
    unsigned long n = 2;
    while (std::lgammal((long double)n + 2) / std::log(2.0L) < 3200000)
        ++n;
    Mpz last, next;
    mpz_fac_ui(last, n);
    mpz_mul_ui(next, last, n + 1);
    ASSERT_TRUE(word_count(last) == kMaxWords && word_count(next) > kMaxWords);
    Num fits = Num(long(n)), past = Num(long(n + 1)), huge(l.full), dst = big_destination(l.ones);
    EXPECT_TRUE(Gives([&] { return bignum_factorial(dst, fits); }, dst, Want(last, 1, kMaxWords)));
    EXPECT_TRUE(Gives([&] { return bignum_factorial(dst, past); }, dst,
                      Refusal(TooLarge("bignum_factorial"))));
    EXPECT_TRUE(Gives([&] { return bignum_factorial(dst, huge); }, dst,
                      Refusal(TooLarge("bignum_factorial"))));
}

TEST(Limits, NumberTheory) {
    Large l;
    const Mpz prime = 4294967291;
    Mpz g_full_prime;
    mpz_gcd(g_full_prime, l.full, prime);
    // gcd with the large value in either place and a large destination.
    const std::pair<std::pair<Mpz, Mpz>, Mpz> gcds[] = {{{l.full, -l.full}, l.full},
                                                        {{l.full, prime}, g_full_prime},
                                                        {{0, -l.ones}, l.ones},
                                                        {{l.ones, 0}, l.ones}};
    for (const auto &[ab, g] : gcds)
        expect_binary(bignum_gcd, "bignum_gcd", ab.first, ab.second, Want(g), l.full);

    // Bezout's coefficients with large outputs beforehand.
    for (const auto &[a, b] : {std::pair{l.full, prime}, {prime, -l.full}, {l.ones, l.full}}) {
        Num x(a), y(b), g = big_destination(l.ones), s = big_destination(l.full),
                        t = big_destination(l.ones);
        SCOPED_TRACE(describe(x) + ", " + describe(y));
        Snapshot sx(x), sy(y);
        EXPECT_EQ(bignum_modinv(g, s, t, x, y), t.get());
        Mpz want;
        mpz_gcd(want, a, b);
        EXPECT_TRUE(Holds(g, want));
        EXPECT_TRUE(value_of(s) * a + value_of(t) * b == want) << "a x + b y is not the gcd";
        EXPECT_TRUE(sx.Unchanged() && sy.Unchanged());
    }

    // Modular powers: a modulus, a base and an exponent of 100000 words, one at a
    // time; the other operands small so that it stays quick.
    const Mpz even = l.full + (mpz_odd_p(l.full.get()) ? 1 : 0);
    struct Case {
        Mpz base, exponent, modulus;
    } cases[] = {{3, 2, even},       {-l.ones, 1, even}, {-l.ones, 3, -even},
                 {l.full, 3, prime}, {3, l.full, prime}, {l.ones, 2, Mpz::pow2(64)}};
    for (const Case &c : cases) {
        Num b(c.base), e(c.exponent), m(c.modulus), dst = big_destination(l.ones);
        SCOPED_TRACE(describe(b) + " ^ " + describe(e) + " mod " + describe(m));
        Snapshot sb(b), se(e), sm(m);
        Mpz want; // a negative base acts as its magnitude
        mpz_powm(want, abs(c.base), c.exponent, abs(c.modulus));
        EXPECT_TRUE(Gives([&] { return bignum_modpow(dst, b, e, m); }, dst, Want(want)));
        EXPECT_TRUE(sb.Unchanged() && se.Unchanged() && sm.Unchanged());
    }
}
