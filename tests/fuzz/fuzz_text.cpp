// Differential fuzzing of the text functions against GMP: bignum_set_str with any bytes in any
// radix (digits at or above the radix count with their table value; radix 0 keeps the last
// digit, radix 1 sums them), into zero or non-zero destinations, up to and beyond the word limit;
// bignum_cstr_base and bignum_cstr_base2 in every radix, valid or not, with every buffer size
// around the digit count and the shortened form "D.DDDx10^E", too small ones included, and a
// replaced alphabet; bignum_cstr's hexadecimal words cut to any buffer size.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fuzz_pool.h"

using namespace fz;

namespace {

const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

unsigned digit_of(unsigned char c) { return BIGNUM_BASE_CHAR_INV[c]; }

unsigned expected_digit_of(unsigned char c) {
    const char *at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? unsigned(at - kAlphabet) : 0;
}

// The digits a chunk of one limb takes in the kernels' parser, whose crossover counts chunks.
unsigned chunk_digits(unsigned radix) {
    unsigned k = 1;
    unsigned __int128 scale = radix;
    while (scale * radix * 36 < (unsigned __int128)1 << 64) {
        scale *= radix;
        ++k;
    }
    return k;
}

// The value of the text: the sum of digit(c[i]) radix^(L-1-i), with digits at or above the
// radix allowed. Split by powers of the radix into texts of proper digits for GMP.
Mpz text_value(const std::string &text, uint32_t radix) {
    Mpz v;
    if (radix == 0)
        return long(digit_of(uint8_t(text.back())));
    if (radix == 1) {
        for (unsigned char c : text)
            mpz_add_ui(v, v, digit_of(c));
        return v;
    }
    std::vector<unsigned> d(text.size());
    for (size_t i = 0; i < text.size(); i++)
        d[i] = digit_of(uint8_t(text[i]));
    Mpz scale = 1;
    for (bool any = true; any;) {
        any = false;
        std::string proper(text.size(), '0');
        for (size_t i = 0; i < d.size(); i++) {
            proper[i] = kAlphabet[d[i] % radix];
            d[i] /= radix;
            any = any || d[i] != 0;
        }
        Mpz part;
        mpz_set_str(part, proper.c_str(), int(radix));
        v = v + part * scale;
        scale = scale * Mpz(long(radix));
    }
    return v;
}

// A text: the input's bytes, proper digits of the radix, or a long run made from a seed (digits,
// junk bytes, leading zeros) whose length is near a crossover of the parser or near the limit.
std::string decode_text(Input &in, uint32_t radix, bool large) {
    const uint8_t how = in.byte();
    const unsigned r = radix >= 2 && radix <= 36 ? radix : 10;
    if (how % 4 == 0) { // the input's bytes up to a NUL
        std::string s;
        for (uint8_t c : in.bytes(in.below(48)))
            if (c)
                s += char(c);
        return s;
    }
    uint64_t length;
    const uint8_t size = in.byte();
    if (size % 4 != 3) {
        length = 1 + in.below(size % 4 == 2 ? 400 : 60);
    } else if (size >> 2 != 63 || !large) { // near a crossover, counted in chunks of one limb
        const auto &cross = crossover_words();
        const uint64_t limbs = cross[in.below(cross.size())] / 2;
        length = std::max<int64_t>(1, int64_t(limbs * chunk_digits(r)) + int64_t(in.below(9)) - 4);
        length = std::min<uint64_t>(length, large ? 60000 : 3000);
    } else { // near 100000 words: about a second of work
        const double per_digit = std::log2(double(r));
        length = uint64_t(32.0 * double(kMaxWords) / per_digit) + 2 - in.below(5);
    }
    const uint8_t content = in.byte();
    Stream s(in.u32() ^ uint64_t(content) << 40 ^ length);
    std::string text(length, '0');
    for (auto &c : text) {
        const uint64_t x = s.next();
        if (content & 1 && x % 16 == 0) // any byte but NUL
            c = char(1 + (x >> 8) % 255);
        else
            c = kAlphabet[(x >> 8) % r];
    }
    if (content & 2) // leading zero digits cost time, not words
        for (uint64_t i = 0, n = s.next() % std::min<uint64_t>(length, 200); i < n; i++)
            text[i] = "0-Z "[s.next() % 4];
    if (text[0] == '0' && content & 4)
        text[0] = kAlphabet[std::max(1u, r - 1)];
    return text;
}

uint32_t decode_radix(Input &in) {
    const uint8_t c = in.byte();
    if (c < 224)
        return 2 + c % 35;
    static const uint32_t odd[] = {0, 1, 37, 255, 0xFFFFFFFFu, 0x80000000u, 36, 2};
    return odd[c % 8];
}

// Digits are added to what the destination holds: a destination holding zero (no words, marker
// 1) gets the value in at least one word; any other as bignum_add would add the value to it.
void set_str(Input &in, Pool &p) {
    bignum *dst = p.destination(in);
    if (in.byte() % 2)
        __bignum_zero(dst);
    const uint32_t radix = decode_radix(in);
    const uint8_t form = in.byte();
    const std::string text = decode_text(in, radix, p.large());
    p.spend(text.size() / 8);
    const char *arg = form % 32 == 0 ? nullptr : text.c_str();
    const State before(dst);
    context("bignum_set_str(" + p.name(dst) + " " + describe(dst) + ", " + std::to_string(radix) +
            ", " +
            (arg ? "\"" + (text.size() > 300 ? text.substr(0, 300) + "...\" (" +
                                                   std::to_string(text.size()) + " bytes)"
                                             : text + "\"")
                 : "null") +
            ")");
    bignum *ret = bignum_set_str(dst, radix, arg);
    if (radix > 36 || !arg || text.empty()) {
        expect(ret == nullptr, "accepted a radix above 36, a null or an empty text");
        expect_quiet();
        expect_holds("destination", dst, before);
        return;
    }
    const Mpz v = text_value(text, radix);
    uint64_t words = word_count(v);
    State want = cleared();
    if (words <= kMaxWords)
        want = add_model(false, before, trimmed(v), &words);
    if (words > kMaxWords) {
        expect(ret == nullptr, "returned a record for a value beyond the limit");
        expect_too_large("bignum_set_str", words);
        expect_holds("destination", dst, cleared());
        return;
    }
    expect(ret == dst, "did not return the destination");
    expect_quiet();
    expect_holds("destination", dst, want);
}

// A value near a power of the radix, where the digit count changes.
void load_near_power(Input &in, Pool &p, bignum *b, int radix) {
    const uint8_t c = in.byte();
    uint64_t k = in.below(c & 1 ? 2000 : 70);
    if ((c & 14) == 14 && p.large())
        k = uint64_t(32.0 * double(kMaxWords - 2) / std::log2(double(radix))) - in.below(40000);
    Mpz v;
    mpz_ui_pow_ui(v, unsigned(radix), k);
    v = v + Mpz(long(in.below(5)) - 2);
    if (c & 8)
        v = v * Mpz(long(1 + in.below(radix)));
    if (v.sgn() < 0)
        v = 0;
    p.spend(word_count(v));
    load(b, v, c & 0x10 ? 2 : 1, c >> 5 & 1, c & 0x40);
}

// The text written into a buffer of len bytes: all the digits when they fit in len - 1
// characters, else exactly len - 1 characters: the leading digits cut, with a point after the
// first, then "x10^" and the digit count less one; with no room for a digit, the start of that
// suffix.
std::string displayed(const std::string &all, int32_t len) {
    if (len <= 0)
        return "";
    if (all.size() <= size_t(len) - 1)
        return all;
    const std::string suffix = "x10^" + std::to_string(all.size() - 1);
    const int64_t room = int64_t(len) - 1 - int64_t(suffix.size());
    if (room <= 0)
        return suffix.substr(0, size_t(len) - 1);
    const std::string head = all.substr(0, 1) + "." + all.substr(1);
    return (room == 1 ? all.substr(0, 1) : head.substr(0, size_t(room))) + suffix;
}

// The digits in another alphabet (the suffix is decimal whatever the alphabet).
std::string in_alphabet(std::string s, const char *alphabet) {
    for (auto &c : s)
        c = alphabet[expected_digit_of(uint8_t(c))];
    return s;
}

// The digit count (1 for zero), or -1 and -2 for a radix below 2 or above 36 with the buffer not
// written; the digits come from the alphabet BIGNUM_BASE_CHAR points to at the call.
void cstr_base(Input &in, Pool &p) {
    bignum *n = p.operand(in, true);
    const uint8_t rc = in.byte();
    int32_t radix = 2 + rc % 35;
    if (rc >= 240) {
        static const int32_t odd[] = {0, 1, -1, 37, 1000, INT32_MIN, INT32_MAX, -36};
        radix = odd[rc % 8];
    }
    if (in.byte() % 4 == 0 && radix >= 2 && radix <= 36 && n != nullptr && p.index(n) >= 0)
        load_near_power(in, p, n, radix);
    const State sn(n);
    const std::string all =
        radix >= 2 && radix <= 36 ? digits(sn.mag, radix) : std::string("(no digits)");
    const std::string suffix = "x10^" + std::to_string(all.size() - 1);
    int32_t len;
    const uint8_t lc = in.byte();
    switch (lc % 8) {
    case 0:
        len = int32_t(in.below(14));
        break;
    case 1:
        len = -int32_t(in.below(3)) - 1 - (lc & 0x80 ? 0x7FFFFFF0 : 0);
        break;
    case 2:
    case 3: // around the digit count
        len = std::max<int32_t>(0, int32_t(all.size()) + int32_t(in.below(7)) - 3);
        break;
    case 4:
    case 5: // around the shortest shortened form
        len = std::max<int32_t>(0, int32_t(suffix.size()) + int32_t(in.below(7)) - 2);
        break;
    default:
        len = int32_t(in.below(std::min<uint64_t>(all.size() + 40, 5000)));
        break;
    }
    const char *saved = BIGNUM_BASE_CHAR;
    static const char kUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const char kOther[] = "zyxwvutsrqponmlkjihgfedcba9876543210";
    const uint8_t ac = in.byte();
    const char *alphabet = ac % 8 == 1 ? kUpper : ac % 8 == 2 ? kOther : kAlphabet;
    BIGNUM_BASE_CHAR = alphabet;
    const bool bad = radix < 2 || radix > 36;
    const int32_t want_count = radix < 2 ? -1 : radix > 36 ? -2 : int32_t(all.size());
    const std::string want = bad ? "" : displayed(in_alphabet(all, alphabet), len);
    context("bignum_cstr_base(" + p.name(n) + " " + describe(n) + ", " + std::to_string(len) +
            ", buf, " + std::to_string(radix) + ") alphabet " + alphabet);
    // Exactly len bytes, so that AddressSanitizer sees a write past the end; a few guard bytes
    // when nothing may be written.
    const size_t bytes = len > 0 ? size_t(len) : 8;
    char *buf = static_cast<char *>(std::malloc(bytes));
    std::memset(buf, '#', bytes);
    Frozen ro(freeze_operands());
    const int32_t got = bignum_cstr_base(ro(n), len, buf, radix);
    expect(got == want_count,
           "returned " + std::to_string(got) + ", expected " + std::to_string(want_count));
    if (bad || len <= 0) {
        expect(std::all_of(buf, buf + bytes, [](char c) { return c == '#'; }),
               "wrote into the buffer");
    } else {
        const std::string text(buf, strnlen(buf, bytes));
        expect(text.size() < bytes, "no terminating NUL within the buffer");
        expect(text == want,
               "wrote \"" + text.substr(0, 500) + "\", expected \"" + want.substr(0, 500) + "\"");
    }
    std::free(buf);
    expect_quiet();
    // The same into a new buffer of len + 1 bytes; null for a negative len, empty for a bad radix.
    char *made = bignum_cstr_base2(ro(n), len, radix);
    if (len < 0) {
        expect(made == nullptr, "bignum_cstr_base2 made a buffer for a negative size");
    } else {
        expect(made != nullptr, "bignum_cstr_base2 returned null");
        expect(std::string(made) == want, "bignum_cstr_base2 wrote \"" +
                                              std::string(made).substr(0, 500) + "\", expected \"" +
                                              want.substr(0, 500) + "\"");
        std::free(made);
    }
    BIGNUM_BASE_CHAR = saved;
    expect_quiet();
    expect_holds("number afterwards", n, sn);
}

// "0x", then "0 " for no words or each word in use from the top as "%08lX "; cut to size - 1
// characters; the whole length returned.
void cstr(Input &in, Pool &p) {
    bignum *n = p.operand(in, true);
    const State sn(n);
    std::string text = "0x";
    if (n->oofm == 0)
        text += "0 ";
    for (uint64_t i = n->oofm; i-- > 0;) {
        char w[16];
        snprintf(w, sizeof w, "%08X ", n->numb[i]);
        text += w;
    }
    const uint8_t c = in.byte();
    const size_t size = c % 4 == 0 ? in.below(12)
                        : c % 4 == 1
                            ? text.size() + 1 - std::min<size_t>(text.size() + 1, in.below(4))
                            : in.below(text.size() + 8);
    context("bignum_cstr(" + p.name(n) + " " + describe(n) + ", " + std::to_string(size) + ")");
    const size_t bytes = size ? size : 8;
    char *buf = static_cast<char *>(std::malloc(bytes));
    std::memset(buf, '#', bytes);
    Frozen ro(freeze_operands());
    const int32_t got = bignum_cstr(ro(n), size, buf);
    expect(got == int32_t(text.size()),
           "returned " + std::to_string(got) + ", expected " + std::to_string(text.size()));
    if (size == 0) {
        expect(std::all_of(buf, buf + bytes, [](char x) { return x == '#'; }),
               "wrote into a buffer of size 0");
    } else {
        const std::string want = text.substr(0, size - 1);
        expect(std::memcmp(buf, want.c_str(), want.size() + 1) == 0,
               "wrote \"" + std::string(buf, strnlen(buf, bytes)).substr(0, 400) +
                   "\", expected \"" + want.substr(0, 400) + "\"");
    }
    std::free(buf);
    expect_quiet();
    expect_holds("number afterwards", n, sn);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    initialize("fuzz_text");
    expect(std::strcmp(BIGNUM_BASE_CHAR, kAlphabet) == 0, "BIGNUM_BASE_CHAR is not the alphabet");
    for (int c = 0; c < 256; c++)
        expect(BIGNUM_BASE_CHAR_INV[c] == expected_digit_of(uint8_t(c)),
               "BIGNUM_BASE_CHAR_INV is wrong at " + std::to_string(c));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return run_actions(data, size, 6, {reload_slot, set_str, set_str, cstr_base, cstr_base, cstr});
}
