// Text: parsing any bytes with the digit table, the sign-less text form, the shortened display
// form "D.DDDx10^E", and the raw hexadecimal word dump.
#include <cstring>

#include "support/oracle.h"

using namespace kt;

static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

static unsigned digit_of(unsigned char c) {
    const char *at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? unsigned(at - kAlphabet) : 0;
}

// Parses `text` into a fresh record: every byte counts with its digit value, whatever the radix
// (radix 0 keeps the last digit, radix 1 sums them); a value of zero keeps one word.
static void check_parse(const std::string &text, uint32_t radix, const Mpz *documented = nullptr) {
    SCOPED_TRACE("radix " + std::to_string(radix) + " text " + text.substr(0, 200));
    Mpz v = documented ? *documented : 0;
    for (unsigned char c : documented ? "" : text) {
        mpz_mul_ui(v, v, radix);
        mpz_add_ui(v, v, digit_of(c));
    }
    Num dst;
    EXPECT_TRUE(Gives([&] { return bignum_set_str(dst, radix, text.c_str()); }, dst,
                      {v, 1, v.sgn() ? word_count(v) : 1}));
}

// The text written into a buffer of len bytes: all digits when they fit in len - 1 characters,
// else the leading digits with a point, cut to leave room for "x10^E".
static std::string displayed(const Mpz &v, int radix, int len) {
    std::string digits = abs(v).str(radix);
    if (int(digits.size()) <= len - 1)
        return digits;
    std::string suffix = "x10^" + std::to_string(digits.size() - 1);
    int room = len - 1 - int(suffix.size());
    std::string head = digits.substr(0, 1) + "." + digits.substr(1);
    return (room == 1 ? digits.substr(0, 1) : head.substr(0, room)) + suffix;
}

// Converts with guard bytes around the buffer (and through bignum_cstr_base2) and checks the
// count, the text and the guards.
static void check_display(bignum *n, int radix, int len) {
    Mpz v = value_of(n);
    std::string want = displayed(v, radix, len);
    SCOPED_TRACE("radix " + std::to_string(radix) + " len " + std::to_string(len) + " of " +
                 describe(n));
    Snapshot before(n);
    std::vector<char> buf(len + 16, '#');
    EXPECT_EQ(bignum_cstr_base(n, len, buf.data() + 8, radix), int32_t(abs(v).str(radix).size()));
    EXPECT_EQ(std::string(buf.data() + 8), want);
    EXPECT_EQ(std::string(buf.data(), 8) + std::string(buf.data() + len + 8, 8),
              std::string(16, '#'))
        << "written outside the buffer";
    char *text = bignum_cstr_base2(n, len, radix);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), want);
    free(text);
    EXPECT_TRUE(before.Unchanged());
}

TEST(Text, ParseDocumentedCasesAndRefusals) {
    EXPECT_STREQ(BIGNUM_BASE_CHAR, kAlphabet);
    for (int c = 0; c < 256; c++)
        EXPECT_EQ(BIGNUM_BASE_CHAR_INV[c], digit_of(c)) << "byte " << c;
    struct Case {
        const char *text;
        uint32_t radix;
        Mpz value;
        // clang-format off
    } cases[] = {{"ff", 16, 255}, {"FF", 16, 0}, {"zz", 36, 1295}, {"-5", 10, 5}, {"19", 8, 17},
        {" 42 ", 10, 420}, {"1.5", 10, 105}, {"z", 10, 35}, {"007", 10, 7}, {"123", 0, 3},
        {"123", 1, 6}, {"\xff\x80" "9", 10, 9}, {"4294967296", 10, Mpz::pow2(32)}, {"0", 10, 0},
        {"000", 10, 0}, {"-", 10, 0}, {"Z", 10, 0}};
    // clang-format on
    for (const auto &c : cases)
        check_parse(c.text, c.radix, &c.value);
    Num dst(100);
    bignum_set_str(dst, 10, "5"); // digits are added to what the record holds
    EXPECT_TRUE(Holds(dst, 105, 1, 1));
    EXPECT_FALSE(bignum_set_str(dst, 37, "1") || bignum_set_str(dst, 0xFFFFFFFFu, "1") ||
                 bignum_set_str(dst, 10, nullptr) || bignum_set_str(dst, 10, ""));
    EXPECT_TRUE(Holds(dst, 105, 1, 1));

    std::string text = "1" + std::string(3199999, '0'); // 2^3199999: exactly 100000 words
    Num over(5);
    const Mpz top = Mpz::pow2(3199999);
    check_parse(text, 2, &top);
    EXPECT_TRUE(Gives([&] { return bignum_set_str(over, 2, (text + "0").c_str()); }, over,
                      Refusal(TooLarge("bignum_set_str", 100001))));
    check_parse(std::string(5000, '0') + "ff", 16); // leading zeros cost no words
}

TEST(Text, DisplayDocumentedCases) {
    Mpz p99;
    mpz_ui_pow_ui(p99, 10, 99);
    struct Case {
        Mpz v;
        int radix, len;
        std::string text;
        // clang-format off
    } cases[] = {
        {255, 16, 100, "ff"}, {-255, 2, 100, "11111111"}, {0, 10, 2, "0"},
        {Mpz("100000", 36), 36, 100, "100000"},
        {Mpz::pow2(100), 10, 100, "1267650600228229401496703205376"},
        {Mpz::pow2(100), 10, 12, "1.267x10^30"}, {Mpz::pow2(100), 16, 12, "1.000x10^25"},
        {123456789, 10, 8, "1.x10^8"}, {123456789, 10, 7, "1x10^8"}, {123456789, 10, 6, "x10^8"},
        {123456789, 10, 9, "1.2x10^8"},
        {p99 - 1, 10, 100, std::string(99, '9')},
        {p99, 10, 100, "1." + std::string(91, '0') + "x10^99"},
    };
    // clang-format on
    for (const auto &c : cases) {
        EXPECT_EQ(displayed(c.v, c.radix, c.len), c.text);
        check_display(Num(c.v), c.radix, c.len);
    }
    char buf[8] = "#######";
    EXPECT_EQ(bignum_cstr_base(words({0, 0}, 2), 2, buf, 7), 1) << "untrimmed zero";
    EXPECT_STREQ(buf, "0");
    Num n(255);
    const int32_t bad[][2] = {{1, -1}, {0, -1}, {-5, -1}, {37, -2}};
    for (auto [radix, result] : bad)
        EXPECT_EQ(bignum_cstr_base(n, 8, buf, radix), result) << radix;
    EXPECT_STREQ(buf, "0");
    EXPECT_EQ(bignum_cstr_base(n, 0, buf, 10), 3) << "len 0 counts digits and writes nothing";
    EXPECT_EQ(bignum_cstr_base(n, -4, buf, 10), 3);
    EXPECT_STREQ(buf, "0");
}

// Random text in any radix (any bytes now and then), and random values displayed in any radix
// and width, from a few digits to tens of thousands of words.
TEST(Text, RandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 600; iter++) {
        uint32_t radix = rng.chance(5) ? uint32_t(rng.below(2)) : uint32_t(rng.range(2, 36));
        std::string text(rng.chance(90) ? rng.range(1, 80) : rng.range(81, 1500), '0');
        for (auto &c : text)
            c = rng.chance(3) ? char(rng.range(1, 255)) : kAlphabet[rng.below(std::max(radix, 1u))];
        check_parse(text, radix);
        Mpz v = rng.magnitude(iter < 594 ? rng.words(40) : rng.range(2000, 20000));
        Num n = rng.record(rng.chance(50) ? -v : v);
        int base = int(rng.range(2, 36));
        size_t digits = v.str(base).size();
        uint64_t shortest = ("x10^" + std::to_string(digits - 1)).size() + 1;
        int len = rng.chance(40) ? int(digits + rng.range(1, 3))
                                 : int(rng.range(shortest, std::max(shortest, digits + 5)));
        check_display(n, base, len);
        check_parse(v.str(base), uint32_t(base), &v);
        ASSERT_FALSE(HasFailure());
    }
    check_display(Num(Mpz::pow2(150000) + 12345), 2, 30); // six-digit exponent
    Mpz big;
    mpz_ui_pow_ui(big, 10, 100003);
    check_display(Num(big - 1), 10, 12);
}

// Digits follow the exported alphabet at the time of the call, in full and shortened.
TEST(Text, ReplacedAlphabet) {
    const char *saved = BIGNUM_BASE_CHAR;
    BIGNUM_BASE_CHAR = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    char buf[32];
    Num n(Mpz::ones(3));
    EXPECT_EQ(bignum_cstr_base(n, 32, buf, 16), 24);
    EXPECT_STREQ(buf, "FFFFFFFFFFFFFFFFFFFFFFFF");
    EXPECT_EQ(bignum_cstr_base(n, 10, buf, 16), 24);
    EXPECT_STREQ(buf, "F.Fx10^23");
    BIGNUM_BASE_CHAR = saved;
}

TEST(Text, HexWordDump) {
    // clang-format off
    const std::pair<Num, std::string> cases[] = {
        {Num(255), "0x000000FF "}, {Num(0), "0x0 "}, {Num(Mpz::pow2(32)), "0x00000001 00000000 "},
        {Num(-Mpz::ones(2)), "0xFFFFFFFF FFFFFFFF "},
        {words({0xABC, 0, 0}), "0x00000000 00000000 00000ABC "},
    };
    // clang-format on
    for (const auto &[n, text] : cases) {
        for (size_t size :
             {size_t(0), size_t(1), size_t(8), text.size(), text.size() + 1, size_t(64)}) {
            std::vector<char> buf(size + 8, '#');
            std::string want = (size ? text.substr(0, size - 1) + '\0' : "") + "########";
            EXPECT_EQ(bignum_cstr(n, size, buf.data()), int32_t(text.size()));
            EXPECT_EQ(std::string(buf.data(), want.size()), want) << "buffer of " << size;
        }
    }
}
