#include "fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "kernels/isa.h"
#include "kernels/limb.h"

namespace fz {

std::string digits(const Mpz &v, int radix) {
    std::string s(mpz_sizeinbase(v, radix) + 2, '\0');
    mpz_get_str(s.data(), radix, v);
    return s.c_str();
}

std::string hex(const Mpz &v) {
    std::string s = digits(v, 16);
    if (s.size() <= 600)
        return "0x" + s;
    return "0x" + s.substr(0, 200) + "...(" + std::to_string(s.size()) + " digits)..." +
           s.substr(s.size() - 200);
}

uint64_t Input::below(uint64_t n) {
    if (n <= 1)
        return 0;
    uint64_t v = 0;
    for (uint64_t span = n - 1; span != 0; span >>= 8)
        v = v << 8 | byte();
    return v % n;
}

std::vector<uint8_t> Input::bytes(size_t n) {
    n = std::min(n, n_ - i_);
    std::vector<uint8_t> out(p_ + i_, p_ + i_ + n);
    i_ += n;
    return out;
}

uint64_t Stream::next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

const std::vector<uint64_t> &crossover_words() {
    static const std::vector<uint64_t> words = [] {
        const karvo::kernel::Tuning &t = karvo::kernel::default_tuning();
        // The last one: products and quotients of up to 32 limbs use buffers on the stack.
        // clang-format off
        const uint64_t limbs[] = {t.karatsuba, t.toom3, t.ntt, t.sqr_karatsuba, t.sqr_toom3,
                                  t.sqr_ntt, t.div_dc, t.radix_dc, t.radix_in_dc, t.root_newton,
                                  t.sqrt_newton, t.hgcd, t.toom4, t.sqr_toom4, t.div_newton,
                                  t.inv_newton, karvo::kernel::kMinToom3, karvo::kernel::kMinToom4,
                                  32};
        // clang-format on
        std::vector<uint64_t> w;
        for (uint64_t l : limbs)
            w.push_back(2 * l);
        std::sort(w.begin(), w.end());
        w.erase(std::unique(w.begin(), w.end()), w.end());
        return w;
    }();
    return words;
}

std::string kernel_path() {
    using namespace karvo::kernel;
    return std::string(isa_name(isa())) + " (requested " + isa_name(requested()) +
           ", best on this processor " + isa_name(best_isa()) + ")";
}

uint64_t decode_words(Input &in, bool large) {
    const uint8_t c = in.byte();
    switch (c % 16) {
    case 0:
        return 0;
    case 1:
    case 2:
    case 3:
    case 4:
        return 1;
    case 5:
    case 6:
    case 7:
        return in.range(2, 4);
    case 8:
    case 9:
    case 10:
        return in.range(5, 70);
    case 11:
    case 12:
        return in.range(71, 400);
    case 13:
    case 14: {
        const auto &cross = crossover_words();
        size_t usable = cross.size();
        while (!large && usable > 1 && cross[usable - 1] > 1300)
            --usable;
        const uint64_t at = cross[in.below(usable)];
        const int64_t offset = int64_t(in.below(9)) - 4;
        return uint64_t(std::max<int64_t>(1, int64_t(at) + offset));
    }
    default: {
        if (!large)
            return in.range(5, 70);
        const uint8_t k = in.byte();
        if (k < 24) // the word limit
            return kMaxWords - in.below(4);
        if (k < 48) // halves of it, for products and sums that just fit or not
            return kMaxWords / 2 + 2 - in.below(5);
        return in.range(1000, 30000);
    }
    }
}

Mpz decode_magnitude(Input &in, uint64_t words) {
    if (words == 0)
        return 0;
    const uint8_t pattern = in.byte();
    Stream s(uint64_t(in.u32()) << 20 ^ pattern ^ words << 8);
    std::vector<uint32_t> w(words);
    switch (pattern % 8) {
    case 3: // all ones, less a little now and then
        std::fill(w.begin(), w.end(), 0xFFFFFFFFu);
        w[0] -= uint32_t(pattern >> 6);
        break;
    case 4: { // runs of ones and zeros, set a word at a time
        bool one = pattern & 8;
        for (uint64_t bit = 0; bit < 32 * words;) {
            const uint64_t end =
                std::min(bit + 1 + s.next() % (pattern & 16 ? 300 : 40), 32 * words);
            for (uint64_t i = bit; one && i < end;) {
                const uint64_t take = std::min<uint64_t>(32 - i % 32, end - i);
                w[i / 32] |= uint32_t(((uint64_t(1) << take) - 1) << (i % 32));
                i += take;
            }
            bit = end;
            one = !one;
        }
        break;
    }
    case 5: { // a power of two, plus or minus a word now and then
        w.back() = 1u << (s.next() % 32);
        if (pattern & 8)
            w[0] |= s.word();
        if (pattern & 16) { // 2^k - 1 - x: all ones below the top bit
            Mpz v;
            mpz_import(v, words, -1, 4, 0, 0, w.data());
            v = v - Mpz(long(1 + (pattern >> 5)));
            if (v.sgn() <= 0)
                return 1;
            return v;
        }
        break;
    }
    case 6: { // the input's own bytes, repeated
        const std::vector<uint8_t> b = in.bytes(std::min<uint64_t>(4 * words, 64));
        for (uint64_t i = 0; i < words; i++) {
            uint32_t x = 0;
            for (int k = 0; k < 4; k++)
                x = x << 8 | (b.empty() ? 0 : b[(4 * i + k) % b.size()]);
            w[i] = x;
        }
        break;
    }
    case 7: // a small top word over uniform words
        for (auto &x : w)
            x = s.word();
        w.back() = 1 + (pattern >> 4);
        break;
    default:
        for (auto &x : w)
            x = s.word();
        break;
    }
    if (w.back() == 0)
        w.back() = 1;
    Mpz v;
    mpz_import(v, words, -1, 4, 0, 0, w.data());
    return v;
}

Rec::Rec() : p_(bignum_alloc()) {
    if (!p_)
        fail("bignum_alloc() returned null");
}

void load(bignum *b, const Mpz &value, uint8_t sign, uint64_t pad, bool junk) {
    Mpz mag = abs(value);
    if (word_count(mag) > kMaxWords) // what a record can hold
        mpz_tdiv_r_2exp(mag, mag, 32 * kMaxWords);
    const uint64_t n = std::min(word_count(mag) + pad, kMaxWords);
    std::vector<uint32_t> w(n + 1, 0);
    mpz_export(w.data(), nullptr, -1, 4, 0, 0, mag);
    __bignum_zero(b);
    for (uint64_t i = 0; i < n; i++)
        __bignum_set(b, i, w[i]);
    b->oofm = n;
    b->sign = sign;
    if (junk)
        for (uint64_t i = n; i < b->size; i++)
            b->numb[i] = 0xA5A5A5A5u ^ uint32_t(i * 2654435761u);
}

void decode_operand(Input &in, bignum *b, bool large) {
    const uint64_t words = decode_words(in, large);
    const Mpz mag = decode_magnitude(in, words);
    const uint8_t flags = in.byte();
    const uint64_t pad = (flags & 6) == 4 ? 1 : (flags & 6) == 6 ? 1 + (flags >> 3 & 3) : 0;
    load(b, mag, flags & 1 ? 2 : 1, pad, flags & 0x20);
}

namespace {

size_t page_round(size_t bytes) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    return (std::max<size_t>(bytes, 1) + page - 1) / page * page;
}

void *map_pages(size_t bytes) {
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        perror("mapping a read-only operand");
        std::abort();
    }
    return p;
}

} // namespace

bignum *Frozen::operator()(bignum *b) {
    if (!active_ || b == nullptr)
        return b;
    for (const Copy &c : copies_)
        if (c.original == b)
            return c.record;
    Copy c{b, nullptr, nullptr, page_round(sizeof(bignum)), page_round(b->size * sizeof(uint32_t))};
    c.words = map_pages(c.word_bytes);
    std::memcpy(c.words, b->numb, b->size * sizeof(uint32_t));
    c.record = static_cast<bignum *>(map_pages(c.record_bytes));
    *c.record = *b;
    c.record->numb = static_cast<uint32_t *>(c.words);
    if (mprotect(c.words, c.word_bytes, PROT_READ) != 0 ||
        mprotect(c.record, c.record_bytes, PROT_READ) != 0) {
        perror("protecting a read-only operand");
        std::abort();
    }
    copies_.push_back(c);
    return c.record;
}

Frozen::~Frozen() {
    for (const Copy &c : copies_) {
        munmap(c.words, c.word_bytes);
        munmap(c.record, c.record_bytes);
    }
}

Mpz magnitude_of(const bignum *b) {
    Mpz r;
    mpz_import(r, b->oofm, -1, 4, 0, 0, b->numb);
    return r;
}

Mpz value_of(const bignum *b) {
    Mpz m = magnitude_of(b);
    return b->sign == 2 ? -m : m;
}

std::string describe(const bignum *b) {
    if (b == nullptr)
        return "null";
    const bool readable = b->oofm <= b->size && b->size <= kMaxWords && b->numb != nullptr;
    return "{sign=" + std::to_string(b->sign) + ", oofm=" + std::to_string(b->oofm) +
           ", size=" + std::to_string(b->size) +
           ", words=" + (readable ? hex(magnitude_of(b)) : "?") + "}";
}

std::string describe(const State &s) {
    return "{sign=" + std::to_string(s.sign) +
           ", oofm=" + (s.oofm == kAny ? std::string("any") : std::to_string(s.oofm)) +
           ", words=" + hex(s.mag) + "}";
}

std::string dump(const bignum *b) {
    std::string s = "bignum={sign=" + std::to_string(b->sign) +
                    ", oofm=" + std::to_string(b->oofm) + ", size=" + std::to_string(b->size) +
                    ", numb=0x";
    if (b->oofm == 0)
        s += "0";
    for (uint64_t i = b->oofm; i-- > 0;) {
        char w[16];
        snprintf(w, sizeof w, "%08X ", b->numb[i]);
        s += w;
    }
    return s + "}\n";
}

State add_model(bool subtract, const State &a, const State &b, uint64_t *words) {
    const bool negative = a.sign == 2;
    if ((a.sign == b.sign) != subtract) { // the magnitudes add
        const Mpz s = a.mag + b.mag;
        *words = word_count(s);
        const uint64_t m = std::max<uint64_t>({a.oofm, b.oofm, 1});
        return {s, uint8_t(negative ? 2 : 1), std::max(m, *words)};
    }
    const int c = mpz_cmp(a.mag, b.mag);
    if (c == 0) { // -x + x is a zero marked negative
        *words = 0;
        return {0, uint8_t(!subtract && negative ? 2 : 1), 0};
    }
    const Mpz d = c > 0 ? a.mag - b.mag : b.mag - a.mag;
    *words = word_count(d);
    const bool neg = (c > 0) == negative;
    // Taking a zero of at most one word copies the other operand as it stands.
    const State &big = c > 0 ? a : b, &small = c > 0 ? b : a;
    return {d, uint8_t(neg ? 2 : 1), small.looks_zero() ? big.oofm : word_count(d)};
}

namespace {

std::string g_context;
bool g_on = true;        // this thread's messages setting, as the harness last set it
std::string g_last = ""; // what bignum_last_message() must hold
int g_stdout = -1;

} // namespace

void context(const std::string &what) {
    // KARVO_FUZZ_TRACE=1 names every call on standard error, with the time since the one before.
    static const bool trace = std::getenv("KARVO_FUZZ_TRACE") != nullptr;
    if (trace) {
        static auto last = std::chrono::steady_clock::now();
        const auto now = std::chrono::steady_clock::now();
        fprintf(stderr, "[%8.3f ms] %s\n",
                std::chrono::duration<double, std::milli>(now - last).count(),
                what.substr(0, 300).c_str());
        last = now;
    }
    g_context = what;
}

void fail(const std::string &what) {
    fflush(stdout);
    fprintf(stderr, "\n==== Karvo differs from the reference ====\ncall: %s\n%s\n",
            g_context.c_str(), what.c_str());
    fflush(stderr);
    std::abort();
}

void expect(bool ok, const std::string &what) {
    if (!ok)
        fail(what);
}

void expect_sound(const std::string &name, const bignum *b) {
    if (b == nullptr)
        fail(name + ": record is null");
    if ((b->sign != 1 && b->sign != 2) || b->oofm > b->size || b->size > kMaxWords ||
        b->size < 10 || b->wsize != 4 || b->wbase != (uint64_t(1) << 32) || b->numb == nullptr)
        fail(name + ": broken record {sign=" + std::to_string(b->sign) +
             ", oofm=" + std::to_string(b->oofm) + ", size=" + std::to_string(b->size) +
             ", wsize=" + std::to_string(b->wsize) + ", wbase=" + std::to_string(b->wbase) + "}");
}

void expect_holds(const std::string &name, const bignum *b, const State &want) {
    expect_sound(name, b);
    if (b->sign != want.sign || (want.oofm != kAny && b->oofm != want.oofm) ||
        magnitude_of(b) != want.mag)
        fail(name + ":\n  expected " + describe(want) + "\n  got      " + describe(b));
}

void capture_stdout() {
    fflush(stdout);
    g_stdout = memfd_create("karvo-stdout", 0);
    if (g_stdout < 0 || dup2(g_stdout, 1) < 0) {
        perror("capturing standard output");
        std::abort();
    }
}

std::string take_stdout() {
    fflush(stdout);
    const off_t n = lseek(1, 0, SEEK_END);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0 && pread(1, out.data(), out.size(), 0) != n)
        fail("standard output could not be read back");
    if (ftruncate(1, 0) != 0 || lseek(1, 0, SEEK_SET) != 0)
        fail("standard output could not be reset");
    return out;
}

static std::string quoted(const std::string &s) {
    std::string q = "\"";
    for (char c : s.size() > 400 ? s.substr(0, 400) + "..." : s)
        q += c == '\n' ? std::string("\\n") : std::string(1, c);
    return q + "\"";
}

void set_messages(bool on) {
    const int was = bignum_set_messages(on);
    if (was != (g_on ? 1 : 0))
        fail("bignum_set_messages() returned " + std::to_string(was) + ", the setting was " +
             std::to_string(g_on ? 1 : 0));
    g_on = on;
}

bool messages_on() { return g_on; }

void expect_quiet() {
    const std::string out = take_stdout();
    if (!out.empty())
        fail("printed " + quoted(out) + " where nothing was due");
    if (g_last != bignum_last_message())
        fail("reported " + quoted(bignum_last_message()) + " where nothing was due");
}

void expect_line(const std::string &function, const std::string &text) {
    const std::string out = take_stdout();
    const std::string want = g_on ? function + "().. " + text + "\n" : "";
    if (out != want)
        fail("printed " + quoted(out) + ", expected " + quoted(want));
    if (text != bignum_last_message())
        fail("last message " + quoted(bignum_last_message()) + ", expected " + quoted(text));
    g_last = text;
}

void expect_lines(const std::string &printed, const std::string &last_text) {
    const std::string out = take_stdout();
    const std::string want = g_on ? printed : "";
    if (out != want)
        fail("printed " + quoted(out) + ", expected " + quoted(want));
    if (last_text != bignum_last_message())
        fail("last message " + quoted(bignum_last_message()) + ", expected " + quoted(last_text));
    g_last = last_text;
}

void expect_printed(const std::string &printed) {
    const std::string out = take_stdout();
    if (out != printed)
        fail("printed " + quoted(out) + ", expected " + quoted(printed));
    if (g_last != bignum_last_message())
        fail("reported " + quoted(bignum_last_message()) + " where nothing was due");
}

void reset_last_message() {
    static Rec one, zero;
    bignum_set(one, 1);
    bignum_mod(nullptr, one, zero);
    expect_line("bignum_mod", "division by zero");
}

void expect_too_large(const std::string &function, uint64_t at_most) {
    const std::string out = take_stdout();
    const std::string last = bignum_last_message();
    unsigned long long n = 0;
    char tail[64] = "";
    const bool parsed =
        sscanf(last.c_str(), "result of %llu words exceeds max of %63[0-9]", &n, tail) == 2 &&
        std::string(tail) == "100000" &&
        last == "result of " + std::to_string(n) + " words exceeds max of 100000";
    if (!parsed || n <= kMaxWords || n > at_most)
        fail("last message " + quoted(last) +
             ", expected a result of more than 100000 words, at most " + std::to_string(at_most));
    const std::string want = g_on ? function + "().. " + last + "\n" : "";
    if (out != want)
        fail("printed " + quoted(out) + ", expected " + quoted(want));
    g_last = last;
}

void initialize(const char *harness) {
    capture_stdout();
    if (bignum_zero() || bignum_one() || bignum_one_hundred())
        fail("the constants are not null before bignum_init()");
    bignum_init();
    g_last = bignum_last_message();
    if (!g_last.empty())
        fail("the last message is not empty before the first report");
    fprintf(stderr, "%s: kernel path %s\n", harness, kernel_path().c_str());
}

namespace {
bool g_freeze = false;
}

void begin_input(Input &in) {
    const uint8_t b = in.byte();
    set_messages(b % 4 != 0);
    g_freeze = b & 4;
    context("(start of input)");
}

bool freeze_operands() { return g_freeze; }

} // namespace fz
