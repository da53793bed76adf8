#include "support/oracle.h"

#include <cstdlib>
#include <functional>

namespace kt {

bool g_constants_null_before_init = false;

// The shared constants are created once per test process, before any test runs.
struct InitEnvironment : ::testing::Environment {
    void SetUp() override {
        g_constants_null_before_init = !bignum_zero() && !bignum_one() && !bignum_one_hundred();
        bignum_init();
    }
};
[[maybe_unused]] static ::testing::Environment *const g_env =
    ::testing::AddGlobalTestEnvironment(new InitEnvironment);

static std::string short_hex(const Mpz &v) {
    std::string s = v.str(16);
    return s.size() <= 80 ? s : s.substr(0, 40) + "..." + s.substr(s.size() - 24);
}

Num::Num() : p_(bignum_alloc()) {
    if (!p_)
        std::abort();
}
Num::Num(const Mpz &v, uint64_t pad) : Num() { load(p_, v, pad); }
Mpz Num::value() const { return value_of(p_); }

Num words(std::initializer_list<uint32_t> lsf, uint8_t sign) {
    Num n;
    uint64_t i = 0;
    for (uint32_t w : lsf)
        __bignum_set(n, i++, w);
    n->oofm = lsf.size();
    n->sign = sign;
    return n;
}

void load(bignum *b, const Mpz &v, uint64_t pad) {
    std::vector<uint32_t> w(std::min(word_count(v) + pad, kMaxWords), 0);
    mpz_export(w.data(), nullptr, -1, 4, 0, 0, v);
    __bignum_zero(b);
    for (uint64_t i = 0; i < w.size(); i++)
        __bignum_set(b, i, w[i]);
    b->oofm = w.size();
    b->sign = v.sgn() < 0 ? 2 : 1;
}

Mpz value_of(const bignum *b) {
    Mpz r;
    mpz_import(r, b->oofm, -1, 4, 0, 0, b->numb);
    return b->sign == 2 ? -r : r;
}

std::vector<uint32_t> words_of(const bignum *b) { return {b->numb, b->numb + b->oofm}; }

std::string describe(const bignum *b) {
    bool readable = b->oofm <= b->size && b->size <= kMaxWords;
    return "{sign=" + std::to_string(b->sign) + ", oofm=" + std::to_string(b->oofm) +
           ", size=" + std::to_string(b->size) +
           ", value=" + (readable ? "0x" + short_hex(value_of(b)) : "?") + "}";
}

uint64_t grown_size(uint64_t n) {
    uint64_t size = 10;
    while (size < n)
        size *= 2;
    return std::min(size, kMaxWords);
}

Result Holds(const bignum *b, const Mpz &want, uint8_t sign, uint64_t oofm) {
    if (!b)
        return ::testing::AssertionFailure() << "record is null";
    if ((b->sign != 1 && b->sign != 2) || b->oofm > b->size || b->size > kMaxWords ||
        b->wsize != 4 || b->wbase != (1ull << 32))
        return ::testing::AssertionFailure() << "broken record " << describe(b);
    if (!(value_of(b) == want) ||
        b->sign != (sign             ? sign
                    : want.sgn() < 0 ? 2
                                     : 1) ||
        (oofm != kAny && b->oofm != oofm))
        return ::testing::AssertionFailure()
               << "holds " << describe(b) << ", expected 0x" << short_hex(want)
               << ", sign=" << int(sign) << ", oofm=" << (oofm == kAny ? -1 : int64_t(oofm));
    return ::testing::AssertionSuccess();
}

Result Snapshot::Unchanged() const {
    if (value_of(rec) == value && rec->sign == sign && rec->oofm == oofm)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "operand changed to " << describe(rec);
}

std::string TooLarge(const std::string &function, uint64_t words) {
    return function + "().. result of " + (words ? std::to_string(words) : "*") +
           " words exceeds max of 100000\n";
}

Result PrintedLine(const std::string &out, const std::string &want) {
    size_t star = want.find('*'), tail = want.size() - star - 1;
    bool ok = out == want;
    if (!ok && star != std::string::npos && out.size() > want.size()) {
        std::string n = out.substr(star, out.size() - star - tail);
        ok = out.compare(0, star, want, 0, star) == 0 &&
             out.compare(out.size() - tail, tail, want, star + 1) == 0 && n.size() <= 20 &&
             n.find_first_not_of("0123456789") == std::string::npos && std::stoull(n) > kMaxWords;
    }
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "printed \"" << out << "\", expected \"" << want << "\"";
}

static uint64_t pick_seed() {
    if (const char *s = std::getenv("KARVO_TEST_SEED"))
        return std::strtoull(s, nullptr, 0);
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "";
    return std::hash<std::string>{}(name)&0xFFFFFFFFull;
}

Rng::Rng()
    : seed_(pick_seed()), trace_(__FILE__, __LINE__, "KARVO_TEST_SEED=" + std::to_string(seed_)) {
    ::testing::Test::RecordProperty("seed", std::to_string(seed_));
    gmp_randinit_mt(st_);
    gmp_randseed_ui(st_, seed_);
}

Mpz Rng::below(const Mpz &n) {
    Mpz r;
    mpz_urandomm(r, st_, n);
    return r;
}

uint64_t Rng::words(uint64_t max) {
    static const uint64_t caps[] = {3, 10, 10, 10, 10, 60, 60, 60, 400, kMaxWords};
    return below(std::min(caps[below(10)], max) + 1);
}

Mpz Rng::magnitude(uint64_t n) {
    Mpz v;
    uint64_t bits = n ? 32 * (n - 1) + (chance(20) ? 1 : range(1, 32)) : 0;
    if (n && chance(15)) // every word 0xFFFFFFFF, or nearly
        return Mpz::ones(n) - long(below(3));
    if (n && chance(40)) // long runs of ones and zeros
        mpz_rrandomb(v, st_, bits);
    else if (n) {
        mpz_urandomb(v, st_, bits);
        mpz_setbit(v, bits - 1);
    }
    return v;
}

Mpz Rng::value(uint64_t max_words, bool negative) {
    Mpz v = magnitude(words(max_words));
    return negative && chance(50) ? -v : v;
}

} // namespace kt
