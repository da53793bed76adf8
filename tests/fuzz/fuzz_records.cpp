// Differential fuzzing of the record and its word operations, assignment, the debug dump, the
// constants, bits and bytes of the magnitude, and the random words (fed from the input through
// this program's own random()): every field of every record after every call, against a model
// of its words, and every line printed.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "fuzz_pool.h"

using namespace fz;

// The library draws its random words from the C library's random(); this program's definition
// comes first, so the draws are the input's and can be counted.
static std::deque<long> g_draws;
static uint64_t g_calls = 0;

extern "C" long random() noexcept {
    g_calls++;
    if (g_draws.empty())
        return 0x2A2A2A2A;
    const long v = g_draws.front();
    g_draws.pop_front();
    return v;
}

namespace {

using Words = std::vector<uint32_t>;

Words words_of(const bignum *b) { return Words(b->numb, b->numb + b->oofm); }

// Words and count must be exactly these, marker and size as given (kAny: not checked).
void expect_words(const std::string &name, const bignum *b, const Words &w, uint8_t sign,
                  uint64_t size = kAny) {
    expect_sound(name, b);
    if (words_of(b) != w || b->sign != sign || (size != kAny && b->size != size)) {
        Mpz v;
        mpz_import(v, w.size(), -1, 4, 0, 0, w.data());
        fail(name + ":\n  expected {sign=" + std::to_string(sign) + ", oofm=" +
             std::to_string(w.size()) + ", size=" + (size == kAny ? "any" : std::to_string(size)) +
             ", words=" + hex(v) + "}\n  got      " + describe(b));
    }
}

// Cleared storage: the words above oofm that were allocated before the call (words added by
// growth are unspecified).
void expect_clear_above(const std::string &name, const bignum *b, uint64_t old_size) {
    for (uint64_t i = b->oofm; i < std::min(b->size, old_size); i++)
        if (b->numb[i] != 0)
            fail(name + ": word " + std::to_string(i) + " above the words in use is not cleared");
}

uint64_t grown(uint64_t size, uint64_t want) {
    return std::min<uint64_t>(want <= 2 * size ? 2 * size : 2 * want, kMaxWords);
}

std::string too_many(uint64_t want) {
    return "requested size of " + std::to_string(want) + " exceeds max of 100000";
}

// An index or count: within the words in use, at the size, at the limit, or anywhere.
uint64_t decode_index(Input &in, const bignum *b) {
    const uint8_t c = in.byte();
    switch (c % 6) {
    case 0:
        return in.below(b->oofm + 3);
    case 1:
        return b->size - 1 + in.below(3);
    case 2:
        return kMaxWords - 2 + in.below(4);
    case 3:
        return in.u64();
    case 4:
        return 2 * b->size + in.below(5) - 2;
    default:
        return in.below(2 * kMaxWords);
    }
}

// Room for want + 1 words: nothing below size; else twice the size, or twice want when that is
// more, at most 100000; a want above 99999 is refused with a message.
void grow(Input &in, Pool &p) {
    bignum *b = p.destination(in);
    const uint64_t want = decode_index(in, b);
    const Words w = words_of(b);
    const uint8_t sign = b->sign;
    const uint64_t size = want > kMaxWords - 1 || want < b->size ? b->size : grown(b->size, want);
    context("__bignum_grow(" + p.name(b) + " " + describe(b) + ", " + std::to_string(want) + ")");
    __bignum_grow(b, want);
    if (want > kMaxWords - 1)
        expect_line("__bignum_grow", too_many(want));
    else
        expect_quiet();
    expect_words("record", b, w, sign, size);
}

// Stores word i, growing as __bignum_grow does; an index above 99999 is dropped silently, and
// 99999 needs the storage at the limit already.
void set_word(Input &in, Pool &p) {
    bignum *b = p.destination(in);
    const uint64_t i = decode_index(in, b);
    const uint32_t w = in.u32();
    Words want = words_of(b);
    if (i < want.size())
        want[i] = w;
    const uint8_t sign = b->sign;
    uint64_t size = b->size;
    const bool refused = i == kMaxWords - 1 && size < kMaxWords;
    if (i < kMaxWords - 1 && i >= size)
        size = grown(size, i + 1);
    context("__bignum_set(" + p.name(b) + " " + describe(b) + ", " + std::to_string(i) + ", " +
            std::to_string(w) + ")");
    __bignum_set(b, i, w);
    if (refused)
        expect_lines("__bignum_grow().. " + too_many(kMaxWords) +
                         "\n__bignum_set().. failed to grow to 100000\n",
                     "failed to grow to 100000");
    else
        expect_quiet();
    expect_words("record", b, want, sign, size);
    if (i < size && !refused)
        expect(b->numb[i] == w, "word " + std::to_string(i) + " was not stored");
}

// Word i when i is below oofm, else 0; trim drops zero words from the top; zero clears every
// allocated word and keeps the size.
void word_reads_trim_zero(Input &in, Pool &p) {
    bignum *b = p.destination(in);
    const uint8_t c = in.byte();
    const Words w = words_of(b);
    const uint8_t sign = b->sign;
    const uint64_t size = b->size;
    context("__bignum_get/__bignum_trim/__bignum_zero of " + p.name(b) + " " + describe(b));
    for (int k = 0; k < 4; k++) {
        const uint64_t i = decode_index(in, b);
        const uint32_t got = __bignum_get(b, i);
        expect(got == (i < w.size() ? w[i] : 0u),
               "__bignum_get(" + std::to_string(i) + ") gave " + std::to_string(got));
    }
    expect_quiet();
    if (c % 3 == 1) {
        Words t = w;
        while (!t.empty() && t.back() == 0)
            t.pop_back();
        __bignum_trim(b);
        expect_quiet();
        expect_words("trimmed record", b, t, sign, size);
    } else if (c % 3 == 2) {
        __bignum_zero(b);
        expect_quiet();
        expect_words("zeroed record", b, {}, 1, size);
        expect_clear_above("zeroed record", b, size);
    }
}

// bignum_set clears the record and stores a machine integer in 0, 1 or 2 words with marker 1.
void set_value(Input &in, Pool &p) {
    bignum *b = p.destination(in);
    const uint8_t c = in.byte();
    const uint64_t v = c % 4 == 0   ? in.u64()
                       : c % 4 == 1 ? in.u32()
                       : c % 4 == 2 ? 0
                                    : ~0ull >> in.below(64);
    const uint64_t size = b->size;
    context("bignum_set(" + p.name(b) + " " + describe(b) + ", " + std::to_string(v) + ")");
    bignum *ret = bignum_set(b, v);
    expect(ret == b, "did not return the record");
    expect_quiet();
    Words want;
    if (v)
        want.push_back(uint32_t(v));
    if (v >> 32)
        want.push_back(uint32_t(v >> 32));
    expect_words("record", b, want, 1, size);
    expect_clear_above("record", b, size);
}

// Word i becomes words[n - 1 - i]; oofm becomes one past the highest non-zero word written (all
// zero words leave it); sign and the words above n stay; words past index 99999 are dropped.
void set_ui8(Input &in, Pool &p) {
    bignum *b = p.destination(in);
    const uint8_t c = in.byte();
    if (c & 1)
        __bignum_zero(b);
    uint64_t n = c % 8 < 6 ? in.below(c & 2 ? 40 : 6) : decode_words(in, p.large());
    if ((c & 0xF0) == 0xF0 && p.large())
        n = kMaxWords + in.below(3);
    p.spend(n);
    Stream s(in.u32());
    Words msf(n);
    for (auto &w : msf) {
        const uint64_t x = s.next();
        w = x % 4 == 0 ? 0 : uint32_t(x >> 32);
    }
    Words want = words_of(b);
    const uint64_t written = std::min(n, kMaxWords);
    uint64_t top = 0;
    if (want.size() < written)
        want.resize(written, 0);
    for (uint64_t i = 0; i < written; i++) {
        want[i] = msf[n - 1 - i];
        if (want[i])
            top = i + 1;
    }
    want.resize(top ? top : b->oofm);
    const uint8_t sign = b->sign;
    context("bignum_set_ui8(" + p.name(b) + " " + describe(b) + ", " + std::to_string(n) +
            ", ...)");
    bignum *ret = bignum_set_ui8(b, n, msf.data());
    expect(ret == b, "did not return the record");
    expect_quiet();
    expect_words("record", b, want, sign);
}

// A copy takes words, oofm and sign; a null destination gives a new record; a record copied
// onto itself stays as it is.
void set_bn(Input &in, Pool &p) {
    bignum *src = p.operand(in, true);
    const uint8_t c = in.byte();
    bignum *dst = c % 4 == 0 ? nullptr : c % 4 == 1 && p.index(src) >= 0 ? src : p.destination(in);
    const State ss(src);
    const Words w = words_of(src);
    context("bignum_set_bn(" + p.name(dst) + ", " + p.name(src) + " " + describe(src) + ")");
    Frozen ro(freeze_operands() && dst != src);
    bignum *ret = bignum_set_bn(dst, ro(src));
    expect_quiet();
    if (dst == nullptr) {
        expect(ret != nullptr, "returned null for a null destination");
        expect_words("new record", ret, w, ss.sign);
        bignum_free(ret);
    } else {
        expect(ret == dst, "did not return the destination");
        expect_words("destination", dst, w, ss.sign);
    }
    expect_holds("source afterwards", src, ss);
}

// The debug dump: printed whatever the messages setting.
void print(Input &in, Pool &p) {
    bignum *b = p.operand(in, true);
    const std::string want = dump(b);
    context("bignum_print(" + p.name(b) + " " + describe(b) + ")");
    Frozen ro(freeze_operands());
    bignum_print(ro(b));
    expect_printed(want);
}

unsigned top_bytes(uint32_t t) {
    return t > 0xFFFFFF ? 4 : t > 0xFFFF ? 3 : t > 0xFF ? 2 : t ? 1 : 0;
}

// Bytes most significant first (the top word's significant bytes, one for a zero top word, then
// four per word), the lengths from the top word in use, bit tests numbered from 1, the lowest set
// bit, word 0; the record is not changed.
void reads(Input &in, Pool &p) {
    bignum *b = p.operand(in, true);
    const State sb(b);
    const Words w = words_of(b);
    const uint32_t top = w.empty() ? 0 : w.back();
    std::vector<uint8_t> want = {0};
    if (!w.empty()) {
        want.clear();
        for (int i = int(std::max(top_bytes(top), 1u)) - 1; i >= 0; i--)
            want.push_back(uint8_t(top >> (8 * i)));
        for (uint64_t k = w.size() - 1; k-- > 0;)
            for (int i = 3; i >= 0; i--)
                want.push_back(uint8_t(w[k] >> (8 * i)));
    }
    context("bit and byte reads of " + p.name(b) + " " + describe(b));
    Frozen ro(freeze_operands());
    bignum *rb = ro(b);
    uint8_t *buf = static_cast<uint8_t *>(std::malloc(want.size()));
    expect(bignum_getbytes(rb, buf) == buf, "bignum_getbytes did not return the buffer");
    expect(std::equal(want.begin(), want.end(), buf), "bignum_getbytes wrote other bytes");
    std::free(buf);
    const uint64_t bitlen = top ? 32 * w.size() - __builtin_clz(top) : 0;
    expect(bignum_bitlen(rb) == bitlen, "bignum_bitlen gave " + std::to_string(bignum_bitlen(rb)) +
                                            ", expected " + std::to_string(bitlen));
    const uint64_t bytelen = w.empty() ? 0 : 4 * (w.size() - 1) + top_bytes(top);
    expect(bignum_bytelen(rb) == bytelen, "bignum_bytelen gave " +
                                              std::to_string(bignum_bytelen(rb)) + ", expected " +
                                              std::to_string(bytelen));
    expect(bignum_get_uint32(rb) == (w.empty() ? 0u : w[0]), "bignum_get_uint32 differs");
    const int64_t lowest = sb.mag.sgn() ? int64_t(mpz_scan1(sb.mag, 0)) : -1;
    expect(bignum_lowest_set_bit(rb) == lowest, "bignum_lowest_set_bit gave " +
                                                    std::to_string(bignum_lowest_set_bit(rb)) +
                                                    ", expected " + std::to_string(lowest));
    for (int i = 0; i < 6; i++) {
        const uint8_t c = in.byte();
        const uint64_t k =
            c % 4 == 0   ? in.u64()
            : c % 4 == 1 ? in.below(3)
                         : 32 * w.size() + 1 - in.below(std::min<uint64_t>(64, 32 * w.size() + 2));
        const int set = k > 0 && (k - 1) / 32 < w.size() && (w[(k - 1) / 32] >> ((k - 1) % 32) & 1);
        expect(bignum_isbitset(rb, k) == set, "bignum_isbitset(" + std::to_string(k) + ") gave " +
                                                  std::to_string(bignum_isbitset(rb, k)));
    }
    expect(bignum_get_uint32(nullptr) == 0, "bignum_get_uint32(null) is not 0");
    expect_quiet();
    expect_holds("record afterwards", b, sb);
}

// Bytes most significant first into a cleared destination: oofm = ceil(len / 4) whatever the
// leading bytes, marker 1; len <= 0 gives zero; more than 400000 bytes are refused.
void setbytes(Input &in, Pool &p) {
    bignum *dst = p.destination(in);
    const uint8_t c = in.byte();
    int64_t len = c % 4 == 0 ? int64_t(in.below(40)) : c % 4 == 1 ? int64_t(in.below(600)) : 0;
    if (c % 4 == 2)
        len = -int64_t(in.below(3)) - (c & 0x80 ? 0x7FFFFFF0 : 0);
    if (c % 4 == 3)
        len = p.large() ? int64_t(4 * kMaxWords) + int64_t(in.below(9)) - 4 : 12;
    const size_t bytes = size_t(std::max<int64_t>(len, 1));
    p.spend(bytes / 4);
    uint8_t *buf = static_cast<uint8_t *>(std::malloc(bytes));
    Stream s(in.u32());
    const std::vector<uint8_t> head = in.bytes(std::min<size_t>(bytes, 48));
    for (size_t i = 0; i < bytes; i++)
        buf[i] = i < head.size() ? head[i] : (c & 8 ? 0 : uint8_t(s.next()));
    const uint64_t words = len > 0 ? (uint64_t(len) + 3) / 4 : 0;
    Mpz v;
    if (len > 0)
        mpz_import(v, size_t(len), 1, 1, 1, 0, buf);
    const uint64_t old_size = dst->size;
    context("bignum_setbytes(" + p.name(dst) + " " + describe(dst) + ", " + std::to_string(len) +
            " bytes)");
    bignum *ret = bignum_setbytes(dst, buf, int32_t(len));
    std::free(buf);
    if (words > kMaxWords) {
        expect(ret == nullptr, "accepted more than 400000 bytes");
        expect_too_large("bignum_setbytes", words);
        expect_holds("destination", dst, cleared());
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_holds("destination", dst, {v, 1, words});
    }
    expect_clear_above("destination", dst, old_size);
}

// The magnitude shifted right in place by count mod 32; oofm and the marker stay.
void rshift(Input &in, Pool &p) {
    bignum *b = p.destination(in);
    const uint8_t c = in.byte();
    const uint64_t count = c % 2 ? in.below(70) : in.u64();
    const State sb(b);
    Mpz want;
    mpz_tdiv_q_2exp(want, sb.mag, count % 32);
    context("bignum_rshift(" + p.name(b) + " " + describe(b) + ", " + std::to_string(count) + ")");
    expect(bignum_rshift(b, count) == b, "did not return the record");
    expect_quiet();
    expect_holds("record", b, {want, sb.sign, sb.oofm});
}

std::vector<long> script(Input &in, uint64_t n) {
    Stream s(in.u32());
    const uint8_t zeros = in.byte() % 4;
    std::vector<long> d(n);
    for (auto &x : d) {
        const uint64_t r = s.next();
        x = r % 8 < zeros ? 0 : long(r >> 33);
    }
    g_draws.assign(d.begin(), d.end());
    g_calls = 0;
    return d;
}

// words random words from word 0 up, one draw each; oofm = words, the marker stays; more than
// 100000 words are refused.
void rnd_mag(Input &in, Pool &p) {
    bignum *dst = p.destination(in);
    const uint8_t c = in.byte();
    uint64_t n = c % 4 == 0 ? in.below(25) : decode_words(in, p.large());
    if (c % 8 == 1)
        n = c & 0x80 ? in.u64() | (1ull << 40) : kMaxWords + 1 + in.below(3);
    p.spend(std::min(n, kMaxWords));
    const std::vector<long> d = script(in, std::min(n, kMaxWords));
    const uint8_t sign = dst->sign;
    context("bignum_rnd_mag(" + p.name(dst) + " " + describe(dst) + ", " + std::to_string(n) + ")");
    bignum *ret = bignum_rnd_mag(dst, n);
    if (n > kMaxWords) {
        expect(ret == nullptr, "accepted more than 100000 words");
        expect_too_large("bignum_rnd_mag", n);
        expect_holds("destination", dst, cleared());
        expect(g_calls == 0, "drew random words for a refused count");
    } else {
        expect(ret == dst, "did not return the destination");
        expect_quiet();
        expect_words("destination", dst, Words(d.begin(), d.end()), sign);
        expect(g_calls == n,
               "made " + std::to_string(g_calls) + " draws for " + std::to_string(n) + " words");
    }
    g_draws.clear();
}

// Into a destination holding zero: the bound (trimmed in place) has n words; words 0..n-1 are
// drawn (oofm following the last non-zero one), then the top word is replaced by one more draw
// modulo the bound's top word; a non-zero word 0 counts. A zero bound draws nothing.
void rnd_max(Input &in, Pool &p) {
    bignum *bound = p.operand(in);
    Rec fresh;
    bignum *dst = fresh.get();
    if (in.byte() % 2) {
        dst = p.destination(in);
        if (dst == bound)
            dst = fresh.get();
        __bignum_zero(dst);
    }
    const State sb(bound);
    Words bw = words_of(bound);
    while (!bw.empty() && bw.back() == 0)
        bw.pop_back();
    const uint64_t n = bw.size();
    const std::vector<long> d = script(in, n + 1);
    Words want;
    uint64_t oofm = 0;
    if (n) {
        want.resize(n);
        for (uint64_t i = 0; i < n; i++)
            if ((want[i] = uint32_t(d[i])) != 0)
                oofm = i + 1;
        want[n - 1] = uint32_t(d[n]) % bw.back();
        want.resize(want[0] != 0 && oofm == 0 ? 1 : oofm);
    }
    context("bignum_rnd_max(" + p.name(dst) + ", bound " + p.name(bound) + " " + describe(bound) +
            ")");
    bignum *ret = bignum_rnd_max(dst, bound);
    expect(ret == dst, "did not return the destination");
    expect_quiet();
    expect_words("destination", dst, want, 1);
    expect(g_calls == (n ? n + 1 : 0), "made " + std::to_string(g_calls) +
                                           " draws for a bound of " + std::to_string(n) + " words");
    expect_holds("bound, trimmed in place", bound, {sb.mag, sb.sign, n});
    g_draws.clear();
}

bignum *(*const kConstants[])() = {
    bignum_zero,    bignum_one,        bignum_two,        bignum_three,    bignum_four,
    bignum_five,    bignum_six,        bignum_seven,      bignum_eight,    bignum_nine,
    bignum_ten,     bignum_eleven,     bignum_twelve,     bignum_thirteen, bignum_fourteen,
    bignum_fifteen, bignum_sixteen,    bignum_seventeen,  bignum_eighteen, bignum_nineteen,
    bignum_twenty,  bignum_thirty_two, bignum_one_hundred};
constexpr int kConstantCount = 23;

long constant_value(int i) { return i < 21 ? i : i == 21 ? 32 : 100; }

// A new record: zero with marker 1, no words, wsize 4, size 10, base 2^32; freeing null is
// allowed; the constants keep their values and records.
void records_and_constants() {
    context("bignum_alloc / bignum_free(null) / the constants");
    bignum *b = bignum_alloc();
    expect(b != nullptr && b->sign == 1 && b->oofm == 0 && b->wsize == 4 && b->size == 10 &&
               b->wbase == (uint64_t(1) << 32) && b->numb != nullptr,
           "a new record is " + describe(b));
    bignum_free(b);
    bignum_free(nullptr);
    static bignum *first[kConstantCount];
    for (int i = 0; i < kConstantCount; i++) {
        const long v = constant_value(i);
        bignum *c = kConstants[i]();
        expect_holds("constant " + std::to_string(v), c, {v, 1, uint64_t(v ? 1 : 0)});
        expect(c->size == 10,
               "constant " + std::to_string(v) + " has size " + std::to_string(c->size));
        expect(first[i] == nullptr || first[i] == c, "a constant's record changed");
        first[i] = c;
    }
    expect_quiet();
}

// A second bignum_init makes new constant records; the earlier ones stay valid (and are kept
// here, for whoever still holds them).
void second_init() {
    static bignum *earlier[kConstantCount];
    for (int i = 0; i < kConstantCount; i++)
        earlier[i] = kConstants[i]();
    bignum_init();
    context("a second bignum_init()");
    for (int i = 0; i < kConstantCount; i++) {
        const long v = constant_value(i);
        expect(kConstants[i]() != earlier[i], "a second bignum_init() kept a record");
        expect_holds("earlier constant " + std::to_string(v), earlier[i],
                     {v, 1, uint64_t(v ? 1 : 0)});
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initialize("fuzz_records");
    second_init();
    records_and_constants();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const auto constants = [](Input &, Pool &) { records_and_constants(); };
    return run_actions(data, size, 10,
                       {reload_slot, grow, set_word, word_reads_trim_zero, set_value, set_ui8,
                        set_bn, print, reads, reads, setbytes, rshift, rnd_mag, rnd_max, constants,
                        constants});
}
