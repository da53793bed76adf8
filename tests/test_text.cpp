// Text: parsing any bytes with the digit table, the sign-less text form, the shortened display
// form "D.DDDx10^E", and the raw hexadecimal word dump.
#include <cstring>

#include "support/oracle.h"

using namespace kt;

namespace {

const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

unsigned digit_of(unsigned char c) {
    const char *at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? unsigned(at - kAlphabet) : 0;
}

// Every byte counts with its digit value, whatever the radix (radix 0 keeps the last digit,
// radix 1 sums them).
Mpz parsed(const std::string &text, unsigned radix) {
    Mpz v;
    for (unsigned char c : text) {
        mpz_mul_ui(v, v, radix);
        mpz_add_ui(v, v, digit_of(c));
    }
    return v;
}

// The text written into a buffer of len bytes: all digits when they fit in len - 1 characters,
// else the leading digits with a point, cut to leave room for "x10^E".
std::string displayed(const Mpz &v, int radix, int len) {
    std::string digits = abs(v).str(radix);
    if (int(digits.size()) <= len - 1)
        return digits;
    std::string suffix = "x10^" + std::to_string(digits.size() - 1);
    int room = len - 1 - int(suffix.size());
    std::string head = digits.substr(0, 1) + "." + digits.substr(1);
    return (room == 1 ? digits.substr(0, 1) : head.substr(0, room)) + suffix;
}

// Converts with guard bytes around the buffer and checks result, text and guards.
void check_display(bignum *n, int radix, int len) {
    Mpz v = value_of(n);
    std::string want = displayed(v, radix, len);
    SCOPED_TRACE("radix " + std::to_string(radix) + " len " + std::to_string(len) + " of " +
                 describe(n));
    Snapshot before(n);
    std::vector<char> buf(len + 16, '#');
    int32_t k = bignum_cstr_base(n, len, buf.data() + 8, radix);
    EXPECT_EQ(k, int32_t(v.sgn() == 0 ? 1 : abs(v).str(radix).size()));
    EXPECT_EQ(std::string(buf.data() + 8), want);
    for (int i = 0; i < 8; i++)
        ASSERT_TRUE(buf[i] == '#' && buf[len + 8 + i] == '#') << "written outside the buffer";
    EXPECT_TRUE(before.Unchanged());
}

TEST(Text, DigitTables) {
    EXPECT_STREQ(BIGNUM_BASE_CHAR, kAlphabet);
    for (int c = 0; c < 256; c++)
        EXPECT_EQ(BIGNUM_BASE_CHAR_INV[c], digit_of(c)) << "byte " << c;
}

TEST(Text, ParseDocumentedCases) {
    // clang-format off
    struct Case {
        const char *text;
        uint32_t radix;
        long value;
    } cases[] = {
        {"ff", 16, 255}, {"FF", 16, 0}, {"zz", 36, 1295}, {"-5", 10, 5}, {"19", 8, 17},
        {" 42 ", 10, 420}, {"1.5", 10, 105}, {"z", 10, 35}, {"007", 10, 7}, {"123", 0, 3},
        {"123", 1, 6}, {"\xff\x80" "9", 10, 9}, {"4294967296", 10, 4294967296}, {"10", 36, 36},
        {"1", 2, 1},
    };
    // clang-format on
    for (const auto &c : cases) {
        Num dst;
        EXPECT_EQ(bignum_set_str(dst, c.radix, c.text), dst.get()) << c.text;
        // A value of zero keeps the one word of the sum of zeros.
        EXPECT_TRUE(HoldsExactly(dst, c.value, 1, c.value ? word_count(c.value) : 1))
            << c.text << " " << c.radix;
        EXPECT_GE(dst->size, dst->oofm);
    }
    for (const char *zeros : {"0", "000", "-", "Z"}) {
        Num dst;
        bignum_set_str(dst, 10, zeros);
        EXPECT_TRUE(HoldsExactly(dst, 0, 1, 1)) << "a text of zero digits keeps one word";
        char buf[4];
        EXPECT_EQ(bignum_cstr_base(dst, 4, buf, 10), 1);
        EXPECT_STREQ(buf, "0");
    }
    Num hundred(100);
    bignum_set_str(hundred, 10, "5"); // digits are added to what the record holds
    EXPECT_TRUE(Holds(hundred, 105));
}

TEST(Text, ParseRefusals) {
    Num dst(42);
    for (uint32_t radix : {37u, 100u, 0xFFFFFFFFu})
        EXPECT_EQ(bignum_set_str(dst, radix, "1"), nullptr) << radix;
    EXPECT_EQ(bignum_set_str(dst, 10, nullptr), nullptr);
    EXPECT_EQ(bignum_set_str(dst, 10, ""), nullptr);
    EXPECT_TRUE(HoldsExactly(dst, 42, 1, 1));
}

TEST(Text, ParseRandomText) {
    Rng rng;
    for (int iter = 0; iter < 800; iter++) {
        uint32_t radix = rng.chance(5) ? uint32_t(rng.below(2)) : uint32_t(rng.range(2, 36));
        size_t len = rng.chance(80) ? rng.range(1, 80) : rng.range(81, 1500);
        std::string text(len, '0');
        for (auto &c : text) {
            if (rng.chance(3)) // any byte but the terminator
                c = char(rng.range(1, 255));
            else if (radix >= 2)
                c = kAlphabet[rng.below(radix)];
        }
        if (rng.chance(10))
            text.replace(0, std::min<size_t>(len, rng.below(40)), rng.range(1, 40), '0');
        SCOPED_TRACE("radix " + std::to_string(radix) + " text " + text.substr(0, 200));
        Num dst;
        ASSERT_EQ(bignum_set_str(dst, radix, text.c_str()), dst.get());
        EXPECT_TRUE(Holds(dst, parsed(text, radix)));
        ASSERT_FALSE(HasFailure());
    }
}

TEST(Text, ParseAtTheLimit) {
    std::string text = "1" + std::string(3199999, '0'); // 2^3199999: exactly 100000 words
    Num fits;
    EXPECT_TRUE(Quietly([&] { return bignum_set_str(fits, 2, text.c_str()); }, fits));
    EXPECT_TRUE(HoldsExactly(fits, Mpz::pow2(3199999), 1, 100000));
    text += "0";
    Num over(5);
    EXPECT_TRUE(Refuses([&] { return bignum_set_str(over, 2, text.c_str()); }, over,
                        TooLarge("bignum_set_str", 100001)));
    std::string padded = std::string(5000, '0') + "ff"; // leading zeros cost no words
    Num small;
    EXPECT_TRUE(Quietly([&] { return bignum_set_str(small, 16, padded.c_str()); }, small));
    EXPECT_TRUE(Holds(small, 255));
}

TEST(Text, DisplayDocumentedCases) {
    Mpz p99;
    mpz_ui_pow_ui(p99, 10, 99);
    // clang-format off
    struct Case {
        Mpz v;
        int radix, len;
        std::string text;
    } cases[] = {
        {255, 16, 100, "ff"}, {255, 10, 100, "255"}, {255, 2, 100, "11111111"}, {-255, 16, 100, "ff"},
        {0, 10, 100, "0"}, {Mpz("100000", 36), 36, 100, "100000"},
        {Mpz::pow2(100), 10, 100, "1267650600228229401496703205376"},
        {Mpz::pow2(100), 10, 12, "1.267x10^30"}, {Mpz::pow2(100), 16, 12, "1.000x10^25"},
        {123456789, 10, 8, "1.x10^8"}, {123456789, 10, 7, "1x10^8"}, {123456789, 10, 6, "x10^8"},
        {123456789, 10, 10, "123456789"}, {123456789, 10, 9, "1.2x10^8"},
        {p99 - 1, 10, 100, std::string(99, '9')}, {p99, 10, 100, "1." + std::string(91, '0') + "x10^99"},
    };
    // clang-format on
    for (const auto &c : cases) {
        EXPECT_EQ(displayed(c.v, c.radix, c.len), c.text);
        check_display(Num(c.v), c.radix, c.len);
    }
}

TEST(Text, DisplayZeroAndBadRadix) {
    for (int radix = 2; radix <= 36; radix++) {
        char buf[3] = {'#', '#', '#'};
        EXPECT_EQ(bignum_cstr_base(Num(0), 2, buf, radix), 1);
        EXPECT_EQ(std::string(buf, 3), std::string("0\0#", 3));
        EXPECT_EQ(bignum_cstr_base(words({0, 0}, 2), 2, buf, radix), 1) << "untrimmed zero";
        EXPECT_STREQ(buf, "0");
    }
    Num n(255);
    char buf[8] = "#######";
    EXPECT_EQ(bignum_cstr_base(n, 8, buf, 1), -1);
    EXPECT_EQ(bignum_cstr_base(n, 8, buf, 0), -1);
    EXPECT_EQ(bignum_cstr_base(n, 8, buf, -5), -1);
    EXPECT_EQ(bignum_cstr_base(n, 8, buf, 37), -2);
    EXPECT_EQ(bignum_cstr_base(n, 0, buf, 10), 3) << "len 0 counts digits and writes nothing";
    EXPECT_EQ(bignum_cstr_base(n, -4, buf, 10), 3);
    EXPECT_STREQ(buf, "#######");
}

TEST(Text, ShortenedFormForEveryDigitCount) {
    Rng rng;
    for (uint64_t digits = 95; digits <= 420; digits++) {
        Mpz v;
        mpz_ui_pow_ui(v, 10, digits - 1);
        Mpz span = rng.below(v * 9);
        Num n(rng.chance(50) ? -(v + span) : v + span);
        check_display(n, 10, 100);
    }
    Num wide(Mpz::pow2(150000) + 12345); // six-digit exponent
    check_display(wide, 2, 30);
    Mpz big;
    mpz_ui_pow_ui(big, 10, 100003);
    Num decimal(big - 1);
    check_display(decimal, 10, 100);
    check_display(decimal, 10, 12);
}

TEST(Text, DisplayRandomAgainstGmp) {
    Rng rng;
    for (int iter = 0; iter < 1000; iter++) {
        Num n = rng.operand(40);
        int radix = int(rng.range(2, 36));
        size_t digits = abs(n.value()).str(radix).size();
        std::string suffix = "x10^" + std::to_string(digits - 1);
        uint64_t shortest = suffix.size() + 1;
        int len = rng.chance(40) ? int(digits + rng.range(1, 3))
                                 : int(rng.range(shortest, std::max(shortest, digits + 5)));
        check_display(n, radix, len);
        char *text = bignum_cstr_base2(n, len, radix);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), displayed(n.value(), radix, len));
        free(text);
        ASSERT_FALSE(HasFailure());
    }
}

TEST(Text, LargeNumbersBothWays) {
    Rng rng;
    struct Case {
        uint64_t words;
        int radix, len; // len 0: room for every digit
    } cases[] = {{20000, 16, 0}, {5000, 10, 0},  {8000, 10, 100},
                 {3000, 2, 0},   {2000, 36, 50}, {2000, 7, 0}};
    for (const auto &c : cases) {
        Mpz v = rng.magnitude(c.words);
        std::string text = v.str(c.radix);
        Num parsed, shown(rng.chance(50) ? -v : v);
        EXPECT_EQ(bignum_set_str(parsed, c.radix, text.c_str()), parsed.get());
        EXPECT_TRUE(HoldsExactly(parsed, v, 1, c.words)) << c.radix;
        check_display(shown, c.radix, c.len ? c.len : int(text.size() + 1));
    }
}

TEST(Text, HexWordDump) {
    // clang-format off
    struct Case {
        Num n;
        std::string text;
    } cases[] = {
        {Num(255), "0x000000FF "}, {Num(0), "0x0 "}, {Num(Mpz::pow2(32)), "0x00000001 00000000 "},
        {Num(-Mpz::ones(2)), "0xFFFFFFFF FFFFFFFF "},
        {words({0xABC, 0, 0}), "0x00000000 00000000 00000ABC "},
    };
    // clang-format on
    for (const auto &c : cases) {
        for (size_t size :
             {size_t(0), size_t(1), size_t(8), c.text.size(), c.text.size() + 1, size_t(64)}) {
            std::vector<char> buf(size + 8, '#');
            EXPECT_EQ(bignum_cstr(c.n, size, buf.data()), int32_t(c.text.size()));
            std::string want = size ? c.text.substr(0, size - 1) : "";
            if (size) {
                EXPECT_EQ(std::string(buf.data()), want) << "buffer of " << size;
            }
            EXPECT_EQ(std::string(buf.data() + (size ? want.size() + 1 : 0), 8), "########")
                << "written past a buffer of " << size;
        }
    }
}

} // namespace
