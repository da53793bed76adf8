// Several threads computing at once, on operand records they all share and on records of
// their own: every result exact, and the shared operands as they were. Run under
// ThreadSanitizer (scripts/test.sh --thread) this also shows that no call writes an operand.
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "support/oracle.h"

using namespace kt;

namespace {

constexpr int kThreads = 6;

// Runs body(t) for t = 0 .. kThreads - 1, each on its own thread, all released together.
void on_threads(const std::function<void(int)> &body) {
    std::atomic<int> waiting = kThreads;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting.load() > 0)
                std::this_thread::yield();
            body(t);
        });
    }
    for (auto &thread : threads)
        thread.join();
}

Mpz abs_rem(const Mpz &n, const Mpz &d) {
    Mpz r;
    mpz_tdiv_r(r, n, d);
    return abs(r);
}

// Every digit of |v| in `radix`, through a buffer that holds them all.
std::string digits(const bignum *v, int radix) {
    char probe[2];
    const int32_t count = bignum_cstr_base(const_cast<bignum *>(v), 2, probe, radix);
    std::string text(size_t(count) + 1, '\0');
    bignum_cstr_base(const_cast<bignum *>(v), count + 1, text.data(), radix);
    text.pop_back();
    return text;
}

// What one call left: its value, sign marker and words in use, to compare across threads.
struct Outcome {
    Mpz value;
    uint8_t sign = 0;
    uint64_t oofm = 0;
    std::string text;
    friend bool operator==(const Outcome &a, const Outcome &b) {
        return a.value == b.value && a.sign == b.sign && a.oofm == b.oofm && a.text == b.text;
    }
};
Outcome outcome(const bignum *b) { return {value_of(b), b->sign, b->oofm, {}}; }

// Operand pairs on both sides of the multiplication, division and gcd crossovers, in every
// sign combination, with a zero marked negative among them.
struct Operands {
    std::vector<std::pair<Num, Num>> pairs;
    Num three{3}, exponent{Mpz::ones(3) - 2}, modulus{Mpz::ones(40) - 40}, factorial_of{2500};
    Operands() {
        Rng rng;
        const uint64_t sizes[][2] = {{1, 1},       {3, 2},       {40, 17},    {70, 70},
                                     {300, 120},   {900, 850},   {1600, 700}, {3000, 1400},
                                     {5000, 2600}, {7000, 3500}, {14000, 20}, {12500, 12000}};
        for (int i = 0; i < int(std::size(sizes)); ++i) {
            Mpz a = rng.magnitude(sizes[i][0]), b = rng.magnitude(sizes[i][1]);
            if (i & 1)
                a = -a;
            if (i & 2)
                b = -b;
            pairs.emplace_back(rng.record(a), rng.record(b));
        }
        pairs.emplace_back(Num(0), Num(-5));
        pairs.back().first->sign = 2;
        pairs.emplace_back(Num(-3), Num(3));
    }
};

// All the operations on one pair, each into a fresh record.
std::vector<Outcome> run_all(bignum *a, bignum *b, const Operands &in) {
    std::vector<Outcome> out;
    auto record = [&](const std::function<bignum *(bignum *)> &call) {
        Num dst(-9);
        call(dst);
        out.push_back(outcome(dst));
    };
    record([&](bignum *d) { return bignum_add(d, a, b); });
    record([&](bignum *d) { return bignum_add(d, b, a); });
    record([&](bignum *d) { return bignum_sub(d, a, b); });
    record([&](bignum *d) { return bignum_sub(d, b, a); });
    record([&](bignum *d) { return bignum_mul(d, a, b); });
    record([&](bignum *d) { return bignum_mul(d, a, a); });
    if (!bignum_iszero(b)) {
        Num r(4);
        record([&](bignum *d) { return bignum_div(d, r, a, b); });
        out.push_back(outcome(r));
        record([&](bignum *d) { return bignum_mod(d, a, b); });
    }
    record([&](bignum *d) { return bignum_gcd(d, a, b); });
    if (b->oofm <= 3000) {
        Num g(1), x(2);
        record([&](bignum *d) { return bignum_modinv(g, x, d, a, b); });
        out.push_back(outcome(g));
        out.push_back(outcome(x));
    }
    record([&](bignum *d) { return bignum_root(d, in.three, a); });
    if (a->oofm <= 900)
        record([&](bignum *d) { return bignum_pow(d, a, in.three); });
    record([&](bignum *d) { return bignum_factorial(d, in.factorial_of); });
    record([&](bignum *d) { return bignum_modpow(d, b, in.exponent, in.modulus); });
    out.push_back({0, 0, 0, digits(a, 10)});
    out.push_back({0, 0, 0, digits(b, 36)});
    return out;
}

} // namespace

// The threads share every operand record; each result must equal GMP's, and what one thread
// computes must equal what the others computed.
TEST(Threads, SharedOperandsGiveExactResults) {
    const Operands in;
    std::vector<Snapshot> before;
    for (const auto &[a, b] : in.pairs) {
        before.emplace_back(a);
        before.emplace_back(b);
    }
    std::vector<std::vector<std::vector<Outcome>>> got(kThreads);
    on_threads([&](int t) {
        // Each thread takes the pairs in its own order, so that different operations meet.
        got[t].resize(in.pairs.size());
        for (size_t k = 0; k < in.pairs.size(); ++k) {
            const size_t i = (k + size_t(t) * 5) % in.pairs.size();
            got[t][i] = run_all(in.pairs[i].first, in.pairs[i].second, in);
        }
    });
    for (const auto &snapshot : before)
        EXPECT_TRUE(snapshot.Unchanged());
    for (size_t i = 0; i < in.pairs.size(); ++i) {
        const bignum *a = in.pairs[i].first, *b = in.pairs[i].second;
        SCOPED_TRACE(describe(a) + ", " + describe(b));
        for (int t = 1; t < kThreads; ++t)
            EXPECT_TRUE(got[t][i] == got[0][i]) << "thread " << t;
        // The first few against GMP; the rest are covered by the single-threaded suites.
        const std::vector<Outcome> &r = got[0][i];
        const Mpz va = value_of(a), vb = value_of(b);
        EXPECT_TRUE(r[0].value == va + vb && r[1].value == va + vb);
        EXPECT_TRUE(r[2].value == va - vb && r[3].value == vb - va);
        EXPECT_TRUE(r[4].value == va * vb && r[5].value == va * va);
        size_t next = 6;
        if (vb.sgn() != 0) {
            Mpz q;
            mpz_tdiv_q(q, va, vb);
            EXPECT_TRUE(r[6].value == q && r[7].value == abs_rem(va, vb) &&
                        r[8].value == abs_rem(va, vb));
            next = 9;
        }
        Mpz g;
        mpz_gcd(g, va, vb);
        EXPECT_TRUE(r[next].value == g);
        Mpz factorial;
        mpz_fac_ui(factorial, 2500);
        EXPECT_TRUE(r[r.size() - 4].value == factorial);
        EXPECT_EQ(r.back().text, abs(vb).str(36));
        EXPECT_EQ(r[r.size() - 2].text, abs(va).str(10));
    }
    // -3 + 3 is a zero marked negative in every thread.
    const std::vector<Outcome> &last = got[kThreads - 1].back();
    EXPECT_TRUE(last[0].value.sgn() == 0 && last[0].sign == 2 && last[0].oofm == 0);
}

// Many short mixed-sign calls on the same two records: a call that changed an operand's marker,
// even for a moment, would let another thread read the wrong sign.
TEST(Threads, SharedSignsUnderManySmallCalls) {
    Num minus(-1000003), plus(77), minus_two_words(-(Mpz::pow2(40) + 9));
    std::atomic<int> wrong = 0;
    on_threads([&](int) {
        Num s, d, q, r;
        for (int i = 0; i < 20000; ++i) {
            bignum_add(s, minus, plus);
            bignum_sub(d, plus, minus);
            bignum_div(q, r, minus, plus);
            const bool ok = value_of(s) == Mpz(-999926) && value_of(d) == Mpz(1000080) &&
                            value_of(q) == Mpz(-12987) && value_of(r) == Mpz(4);
            bignum_div(q, r, minus_two_words, minus);
            if (!ok || !(value_of(q) == Mpz(1099508) && value_of(r) == Mpz(329261)))
                ++wrong;
        }
    });
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(Holds(minus, -1000003, 2, 1) && Holds(plus, 77, 1, 1));
}

// Each thread on records of its own, with operands drawn from its own generator, against GMP
// in the same thread.
TEST(Threads, DistinctRecordsAgainstGmp) {
    std::vector<int> failures(kThreads, 0);
    on_threads([&](int t) {
        gmp_randstate_t state;
        gmp_randinit_mt(state);
        gmp_randseed_ui(state, 1000 + unsigned(t));
        Num a, b, dst, r;
        for (int i = 0; i < 150; ++i) {
            Mpz va, vb, want, rem;
            mpz_urandomb(va, state, 32 * (1 + i * 37 % 3000));
            mpz_urandomb(vb, state, 32 * (1 + i * 11 % 900));
            mpz_add_ui(vb, vb, 1);
            if (i & 1)
                mpz_neg(va, va);
            if (i & 2)
                mpz_neg(vb, vb);
            load(a, va);
            load(b, vb);
            int bad = 0;
            bignum_mul(dst, a, b);
            bad += !(value_of(dst) == va * vb);
            bignum_sub(dst, a, b);
            bad += !(value_of(dst) == va - vb);
            bignum_div(dst, r, a, b);
            mpz_tdiv_q(want, va, vb);
            bad += !(value_of(dst) == want && value_of(r) == abs_rem(va, vb));
            bignum_gcd(dst, a, b);
            mpz_gcd(want, va, vb);
            bad += !(value_of(dst) == want);
            bad += digits(a, 10) != abs(va).str(10);
            failures[t] += bad;
        }
        gmp_randclear(state);
    });
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << "thread " << t;
}
