// Every family run with one allocation failing: for n = 1, 2, ... the n-th
// allocation of the call fails, until a run makes fewer than n. Each run must
// return without an exception, with either the exact result or null and a
// "failed to" line; the outputs must be sound records in the state their
// family documents, the operands untouched, and every block given back.
// Operand sizes sit just past the crossovers of the instruction-set path that
// runs, so that every algorithm's scratch is among the allocations walked.
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "alloc_hooks.h"
#include "kernels/limb.h"
#include "support/oracle.h"

using namespace kt;

namespace {

const karvo::kernel::Tuning &tuning() { return karvo::kernel::default_tuning(); }
// Words of a magnitude of `limbs` 64-bit limbs.
uint64_t limbs(size_t n) { return 2 * uint64_t(n); }

// Quiet lines, and a message buffer already large enough for any line, so that
// neither standard output nor the message kept for the thread takes a block
// in the middle of a measurement.
struct Quiet : ::testing::Environment {
    void SetUp() override {
        bignum_set_messages(0);
        bignum *b = bignum_alloc();
        __bignum_grow(b, ~0ull); // the longest line there is
        bignum_free(b);
    }
};
[[maybe_unused]] ::testing::Environment *const g_quiet =
    ::testing::AddGlobalTestEnvironment(new Quiet);

// Test parts reported so far: a failure's report keeps blocks of its own, so
// the count of live blocks is judged only over a stretch without one.
int parts_so_far() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}
void expect_given_back(int64_t baseline, int parts) {
    if (parts_so_far() == parts) {
        EXPECT_EQ(faults::live_blocks(), baseline) << "blocks not given back";
    }
}

// A line no call below reports, so that a stale one is not taken for the call's.
void mark_message() {
    bignum *b = bignum_alloc();
    __bignum_grow(b, 100000);
    bignum_free(b);
}

// The lines of a failed allocation: the families' own, and those of a word
// storage that could not grow.
bool is_allocation_failure(const std::string &line) {
    return line == "failed to allocate memory" || line.starts_with("failed to realloc") ||
           line.starts_with("failed to grow to");
}

// Every field and every word in use of a record, to compare after a call.
struct Fields {
    explicit Fields(const bignum *b) : rec(*b), words(b->numb, b->numb + b->oofm) {}
    bool same(const bignum *b) const {
        return b->sign == rec.sign && b->oofm == rec.oofm && b->size == rec.size &&
               b->wsize == rec.wsize && b->wbase == rec.wbase && b->numb == rec.numb &&
               std::equal(words.begin(), words.end(), b->numb);
    }
    bool same_value(const bignum *b) const {
        return b->sign == rec.sign && b->oofm == rec.oofm &&
               std::equal(words.begin(), words.end(), b->numb);
    }
    bignum rec;
    std::vector<uint32_t> words;
};

// A record any function may be handed again: sound fields, and storage of the
// size it claims (AddressSanitizer sees every word written).
Result Reusable(bignum *b) {
    if ((b->sign != 1 && b->sign != 2) || b->oofm > b->size || b->size > kMaxWords ||
        b->wsize != 4 || b->wbase != (1ull << 32) || b->numb == nullptr)
        return ::testing::AssertionFailure() << "broken record " << describe(b);
    std::memset(b->numb, 0xA5, b->size * 4);
    bignum_set(b, 0x123456789ull);
    return Holds(b, Mpz("123456789", 16));
}

// What an output holds after a null return.
enum class Left {
    Zero,    // the documented zero of a refusal
    AsItWas, // untouched, as the family documents for its refusals
    Sound,   // some value; only the record's soundness is promised
};

struct Call {
    std::string name;
    std::vector<Mpz> in;
    // Runs the call on the outputs and the operands (records for `in`, in order).
    std::function<bignum *(bignum *const *out, bignum *const *in)> run;
    // The exact value of each output on success; nullopt when it cannot be known.
    std::vector<std::optional<Mpz>> want;
    Left left = Left::Zero;
    size_t returns = 0;          // the output a success returns
    std::vector<Mpz> stale = {}; // what the outputs hold before the call (default below)
    bool same_operand = false;   // both operands are one record (a square, x - x)
    // A further check of a success, for outputs whose values are not unique.
    std::function<Result(bignum *const *out)> verify = nullptr;
};

const Mpz kStale = -(Mpz::pow2(70) + 12345);

// Walks the failing allocation over one call.
void walk(const Call &c) {
    SCOPED_TRACE(c.name);
    const int64_t baseline = faults::live_blocks();
    const int parts = parts_so_far();
    {
        std::vector<Num> in;
        for (const Mpz &v : c.in)
            in.emplace_back(v);
        std::vector<bignum *> ip;
        for (const Num &r : in)
            ip.push_back(r.get());
        if (c.same_operand)
            ip.push_back(ip[0]);
        std::vector<Fields> in_before;
        for (bignum *r : ip)
            in_before.emplace_back(r);
        for (uint64_t n = 1;; ++n) {
            std::vector<Num> out;
            std::vector<bignum *> op;
            for (size_t i = 0; i < c.want.size(); ++i) {
                out.emplace_back(i < c.stale.size() ? c.stale[i] : kStale);
                op.push_back(out.back().get());
            }
            std::vector<Fields> out_before;
            for (bignum *r : op)
                out_before.emplace_back(r);
            mark_message();

            bignum *ret = nullptr;
            bool threw = false;
            faults::fail_nth(n);
            try {
                ret = c.run(op.data(), ip.data());
            } catch (...) {
                threw = true;
            }
            const bool struck = faults::disarm();

            SCOPED_TRACE("allocation " + std::to_string(n) + " failed");
            if (threw) {
                ADD_FAILURE() << "an exception left the call";
                break;
            }
            for (size_t i = 0; i < ip.size(); ++i)
                EXPECT_TRUE(in_before[i].same(ip[i])) << "operand " << i << " changed";
            if (ret != nullptr) {
                EXPECT_EQ(ret, op[c.returns]) << "returned the wrong record";
                for (size_t i = 0; i < op.size(); ++i) {
                    if (c.want[i]) {
                        EXPECT_TRUE(Holds(op[i], *c.want[i])) << "output " << i;
                    }
                }
                if (c.verify) {
                    EXPECT_TRUE(c.verify(op.data()));
                }
            } else {
                EXPECT_TRUE(struck)
                    << "refused without a failed allocation: " << bignum_last_message();
                EXPECT_TRUE(is_allocation_failure(bignum_last_message()))
                    << "line: " << bignum_last_message();
                for (size_t i = 0; i < op.size(); ++i) {
                    if (c.left == Left::Zero) {
                        EXPECT_TRUE(Holds(op[i], 0, 1)) << "output " << i;
                    } else if (c.left == Left::AsItWas) {
                        EXPECT_TRUE(out_before[i].same_value(op[i])) << "output " << i;
                    }
                }
            }
            for (size_t i = 0; i < op.size(); ++i)
                EXPECT_TRUE(Reusable(op[i])) << "output " << i;
            if (!struck || parts_so_far() != parts) // one report of a fault is enough
                break;
        }
    }
    expect_given_back(baseline, parts);
}

// One operand of `words` words.
Mpz operand(Rng &rng, uint64_t words, bool negative = false) {
    Mpz v = rng.magnitude(words);
    return negative ? -v : v;
}

} // namespace

TEST(AllocationFailure, RecordsAreWholeOrNone) {
    const int64_t baseline = faults::live_blocks();
    for (uint64_t n = 1;; ++n) {
        faults::fail_nth(n);
        bignum *b = bignum_alloc();
        const bool struck = faults::disarm();
        if (b != nullptr) {
            EXPECT_TRUE(Holds(b, 0, 1, 0) && b->size == 10) << "allocation " << n << " failed";
            EXPECT_TRUE(Reusable(b));
            bignum_free(b);
        }
        EXPECT_EQ(faults::live_blocks(), baseline)
            << "a half-built record was left behind when allocation " << n << " failed";
        if (!struck) {
            EXPECT_NE(b, nullptr);
            EXPECT_EQ(n, 3u) << "a record is two blocks";
            break;
        }
    }
}

TEST(AllocationFailure, CopiesAreWholeOrCutAsDocumented) {
    Rng rng;
    const Mpz v = operand(rng, 5000, true);
    const int64_t baseline = faults::live_blocks();
    const int parts = parts_so_far();
    // The whole copy, or, when the growth failed, the copy cut to the words that fit.
    auto expect_copy = [&](bignum *dst) {
        if (value_of(dst) == v)
            return;
        EXPECT_TRUE(std::string(bignum_last_message()).starts_with("failed to realloc"));
        Mpz low;
        mpz_tdiv_r_2exp(low, abs(v), 32 * dst->size);
        EXPECT_TRUE(Holds(dst, -low, 2, dst->size));
    };
    {
        Num src(v);
        const Fields before(src);
        for (uint64_t n = 1;; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " failed");
            Num dst(kStale);
            mark_message();
            faults::fail_nth(n);
            bignum *ret = bignum_set_bn(dst, src);
            const bool struck = faults::disarm();
            EXPECT_EQ(ret, dst.get());
            EXPECT_TRUE(before.same(src));
            expect_copy(dst);
            EXPECT_TRUE(Reusable(dst));
            // Into a new record: the record or nothing.
            mark_message();
            faults::fail_nth(n);
            bignum *made = bignum_set_bn(nullptr, src);
            const bool struck_new = faults::disarm();
            if (made != nullptr) {
                expect_copy(made);
                EXPECT_TRUE(Reusable(made));
                bignum_free(made);
            }
            if (!struck && !struck_new)
                break;
        }
    }
    expect_given_back(baseline, parts);
}

TEST(AllocationFailure, ParsingText) {
    Rng rng;
    auto text = [&](size_t digits, int radix) {
        std::string s = rng.below(Mpz::pow2(uint64_t(digits * std::log2(radix)) + 8)).str(radix);
        return s.substr(0, digits);
    };
    const std::string small = text(40, 10), large = text((tuning().radix_in_dc + 40) * 20, 10),
                      hex = text(3000, 16);
    auto parse = [](const std::string &s, uint32_t radix) {
        return [s, radix](bignum *const *out, bignum *const *) {
            return bignum_set_str(out[0], radix, s.c_str());
        };
    };
    const Mpz held = Mpz::pow2(200) + 3;
    for (const auto &[s, radix] : {std::pair{small, 10u}, {large, 10u}, {hex, 16u}}) {
        const Mpz v(s.c_str(), int(radix));
        walk({"parse " + std::to_string(s.size()) + " digits",
              {},
              parse(s, radix),
              {v},
              Left::Zero,
              0,
              {Mpz(0)}});
        // A destination that holds a value gets the sum.
        walk({"parse onto a value", {}, parse(s, radix), {v + held}, Left::Zero, 0, {held}});
        walk({"parse onto a negative value",
              {},
              parse(s, radix),
              {v - held},
              Left::Zero,
              0,
              {-held}});
    }
}

TEST(AllocationFailure, WritingText) {
    Rng rng;
    const std::vector<Mpz> values = {operand(rng, 3), operand(rng, limbs(tuning().radix_dc * 8)),
                                     -operand(rng, 2500)};
    for (const Mpz &v : values) {
        const std::string digits = abs(v).str(10);
        for (size_t len : {size_t(100), digits.size() + 1}) {
            SCOPED_TRACE(std::to_string(digits.size()) + " digits into " + std::to_string(len));
            std::string want = digits;
            if (digits.size() > len - 1) {
                const std::string suffix = "x10^" + std::to_string(digits.size() - 1);
                want = (digits.substr(0, 1) + "." + digits.substr(1))
                           .substr(0, len - 1 - suffix.size()) +
                       suffix;
            }
            const int64_t baseline = faults::live_blocks();
            const int parts = parts_so_far();
            {
                Num x(v);
                const Fields before(x);
                std::vector<char> buf(len);
                for (uint64_t n = 1;; ++n) {
                    SCOPED_TRACE("allocation " + std::to_string(n) + " failed");
                    std::fill(buf.begin(), buf.end(), '?');
                    mark_message();
                    faults::fail_nth(n);
                    const int32_t count = bignum_cstr_base(x, int32_t(len), buf.data(), 10);
                    const bool struck = faults::disarm();
                    EXPECT_TRUE(before.same(x));
                    if (count == -3) {
                        EXPECT_TRUE(struck);
                        EXPECT_STREQ(bignum_last_message(), "failed to allocate memory");
                        EXPECT_EQ(buf[0], '\0') << "nothing stale is shown";
                    } else {
                        EXPECT_EQ(count, int32_t(digits.size()));
                        EXPECT_EQ(std::string(buf.data()), want);
                    }
                    faults::fail_nth(n);
                    char *made = bignum_cstr_base2(x, int32_t(len), 10);
                    const bool struck2 = faults::disarm();
                    if (made != nullptr) {
                        EXPECT_EQ(std::string(made), want);
                    } else {
                        EXPECT_TRUE(struck2);
                    }
                    std::free(made);
                    if ((!struck && !struck2) || parts_so_far() != parts)
                        break;
                }
            }
            expect_given_back(baseline, parts);
        }
    }
}

TEST(AllocationFailure, AdditionAndSubtraction) {
    Rng rng;
    const Mpz a = operand(rng, 3000), b = operand(rng, 2000);
    auto add = [](bignum *const *o, bignum *const *i) { return bignum_add(o[0], i[0], i[1]); };
    auto sub = [](bignum *const *o, bignum *const *i) { return bignum_sub(o[0], i[0], i[1]); };
    for (const auto &[x, y] : {std::pair{a, b}, {-a, b}, {a, -b}, {-a, -b}, {b, a}}) {
        walk({"add", {x, y}, add, {x + y}});
        walk({"sub", {x, y}, sub, {x - y}});
    }
}

TEST(AllocationFailure, MultiplicationAtEverySize) {
    Rng rng;
    const auto &t = tuning();
    auto mul = [](bignum *const *o, bignum *const *i) { return bignum_mul(o[0], i[0], i[1]); };
    for (size_t l : {size_t(10), t.karatsuba + 8, t.toom3 + 8, t.toom4 + 8, t.ntt + 40}) {
        const Mpz a = operand(rng, limbs(l)), b = operand(rng, limbs(l) - 3, true);
        walk({"mul of " + std::to_string(l) + " limbs", {a, b}, mul, {a * b}});
    }
    const Mpz wide = operand(rng, limbs(t.ntt + 40)), narrow = operand(rng, 70);
    walk({"unbalanced mul", {wide, narrow}, mul, {wide * narrow}});
    for (size_t l : {t.sqr_karatsuba + 8, t.sqr_toom3 + 8, t.sqr_toom4 + 8, t.sqr_ntt + 40}) {
        const Mpz a = operand(rng, limbs(l), true);
        Call c{"square of " + std::to_string(l) + " limbs", {a}, mul, {a * a}};
        c.same_operand = true;
        walk(c);
    }
}

TEST(AllocationFailure, DivisionAtEverySize) {
    Rng rng;
    const auto &t = tuning();
    auto div = [](bignum *const *o, bignum *const *i) {
        return bignum_div(o[0], o[1], i[0], i[1]);
    };
    auto quotient = [](bignum *const *o, bignum *const *i) {
        return bignum_div(o[0], nullptr, i[0], i[1]);
    };
    auto mod = [](bignum *const *o, bignum *const *i) { return bignum_mod(o[0], i[0], i[1]); };
    struct Shape {
        uint64_t divisor, quotient; // words
    };
    const Shape shapes[] = {{1, 300},
                            {limbs(std::max<size_t>(t.div_dc, 8) - 3), 300},
                            {limbs(3 * t.div_dc), limbs(7 * t.div_dc + 5)},
                            {limbs(t.div_newton + 60), limbs(t.div_newton + 80)}};
    for (const Shape &s : shapes) {
        const Mpz d = operand(rng, s.divisor, true);
        const Mpz n = operand(rng, s.quotient) * d + rng.below(abs(d));
        const std::string what = std::to_string(s.quotient) + " by " + std::to_string(s.divisor);
        walk({"div " + what, {n, d}, div, {tdiv_q(n, d), mod_abs(n, d)}});
        walk({"quotient " + what, {n, d}, quotient, {tdiv_q(n, d)}});
        walk({"mod " + what, {n, d}, mod, {mod_abs(n, d)}});
    }
}

TEST(AllocationFailure, PowerRootFactorial) {
    Rng rng;
    const auto &t = tuning();
    auto pow = [](bignum *const *o, bignum *const *i) { return bignum_pow(o[0], i[0], i[1]); };
    auto root = [](bignum *const *o, bignum *const *i) { return bignum_root(o[0], i[0], i[1]); };
    auto fac = [](bignum *const *o, bignum *const *i) { return bignum_factorial(o[0], i[0]); };
    auto pow_of = [](const Mpz &b, unsigned long e) {
        Mpz r;
        mpz_pow_ui(r, b, e);
        return r;
    };
    auto root_of = [](const Mpz &x, unsigned long n) {
        Mpz r;
        mpz_root(r, x, n);
        return r;
    };
    // A base of 64 bits: the last squares are of more limbs than the transform's crossover.
    const Mpz base = -(Mpz::pow2(63) + 12345);
    const unsigned long e = 3 * t.sqr_ntt;
    walk({"pow", {base, Mpz(long(e))}, pow, {pow_of(base, e)}});
    walk({"pow 7^300", {Mpz(7), Mpz(300)}, pow, {pow_of(Mpz(7), 300)}});
    for (const auto &[degree, words] : {std::pair{2ul, uint64_t(60)},
                                        {2ul, limbs(2 * t.sqrt_newton + 100)},
                                        {3ul, 5ul},
                                        {3ul, 600ul},
                                        {5ul, 3000ul}}) {
        const Mpz x = operand(rng, words);
        walk({"root " + std::to_string(degree) + " of " + std::to_string(words) + " words",
              {Mpz(long(degree)), x},
              root,
              {root_of(x, degree)},
              Left::AsItWas});
    }
    const Mpz negative = -operand(rng, 900);
    walk({"odd root of a negative number",
          {Mpz(3), negative},
          root,
          {root_of(negative, 3)},
          Left::AsItWas});
    for (unsigned long n : {300ul, 20000ul}) {
        Mpz f;
        mpz_fac_ui(f, n);
        walk({"factorial " + std::to_string(n), {Mpz(long(n))}, fac, {f}});
    }
}

TEST(AllocationFailure, NumberTheory) {
    Rng rng;
    const auto &t = tuning();
    auto gcd = [](bignum *const *o, bignum *const *i) { return bignum_gcd(o[0], i[0], i[1]); };
    auto modinv = [](bignum *const *o, bignum *const *i) {
        return bignum_modinv(o[0], o[1], o[2], i[0], i[1]);
    };
    auto modpow = [](bignum *const *o, bignum *const *i) {
        return bignum_modpow(o[0], i[0], i[1], i[2]);
    };
    for (uint64_t words : {uint64_t(30), limbs(t.hgcd + 60)}) {
        const Mpz common = operand(rng, 3);
        const Mpz a = operand(rng, words) * common, b = -operand(rng, words - 5) * common;
        Mpz g;
        mpz_gcd(g, a, b);
        walk({"gcd of " + std::to_string(words) + " words", {a, b}, gcd, {g}});
        // The coefficients are checked through the identity, not by value.
        Call c{"modinv of " + std::to_string(words) + " words",
               {a, b},
               modinv,
               {g, std::nullopt, std::nullopt},
               Left::AsItWas,
               2};
        c.verify = [a, b, g](bignum *const *o) {
            if (value_of(o[1]) * a + value_of(o[2]) * b == g)
                return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "a x + b y is not the gcd";
        };
        walk(c);
    }
    const Mpz only = -operand(rng, 40);
    walk({"gcd with zero", {only, Mpz(0)}, gcd, {abs(only)}});
    const Mpz odd = operand(rng, 40) * 2 + 1, even = operand(rng, 40) * 2;
    for (const Mpz &m : {odd, even}) {
        const Mpz b = -operand(rng, 45), e = operand(rng, 4) * 2 + 1;
        Mpz want; // a negative base acts as its magnitude
        mpz_powm(want, abs(b), e, m);
        walk({"modpow", {b, e, m}, modpow, {want}});
    }
    Mpz b = operand(rng, 30), common;
    for (mpz_gcd(common, b, odd); !(common == 1); mpz_gcd(common, b, odd))
        b = b + 1;
    Mpz want;
    mpz_powm(want, b, Mpz(-5), odd);
    walk({"modpow with a negative exponent", {b, Mpz(-5), odd}, modpow, {want}});
}

TEST(AllocationFailure, BytesAndRandomWords) {
    Rng rng;
    const Mpz v = operand(rng, 5000);
    std::vector<uint8_t> bytes((mpz_sizeinbase(v, 2) + 7) / 8);
    mpz_export(bytes.data(), nullptr, 1, 1, 1, 0, v);
    walk({"setbytes",
          {},
          [&](bignum *const *o, bignum *const *) {
              return bignum_setbytes(o[0], bytes.data(), int32_t(bytes.size()));
          },
          {v}});
    walk({"rnd_mag",
          {},
          [](bignum *const *o, bignum *const *) { return bignum_rnd_mag(o[0], 3000); },
          {std::nullopt},
          Left::Sound});
    walk({"rnd_max",
          {v},
          [](bignum *const *o, bignum *const *i) { return bignum_rnd_max(o[0], i[0]); },
          {std::nullopt},
          Left::Sound,
          0,
          {Mpz(0)}});
}
