#include "DcFormat.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace {

struct FreeRecord {
    void operator()(::bignum *record) const { bignum_free(record); }
};
using Record = std::unique_ptr<::bignum, FreeRecord>;

// Digits above radix 36 have no letters: the magnitude is cut into groups of
// `per` digits by dividing by radix^per, which fits in a word.
std::string largeRadixDigits(const Number &number, uint64_t radix, int width) {
    uint64_t chunk = radix;
    int per = 1;
    while (chunk <= UINT32_MAX / radix) {
        chunk *= radix;
        ++per;
    }
    Record rest(bignum_alloc()), quotient(bignum_alloc()), remainder(bignum_alloc()),
        divisor(bignum_alloc());
    if (!rest || !quotient || !remainder || !divisor || !bignum_set_bn(rest.get(), number.bignum()))
        return {};
    rest->sign = 1;
    bignum_set(divisor.get(), chunk);
    std::string groups; // least significant digit first, each `width` characters reversed
    auto put = [&](uint64_t digit) {
        for (int i = 0; i < width; ++i, digit /= 10)
            groups.push_back(char('0' + digit % 10));
        groups.push_back(' ');
    };
    while (!bignum_iszero(rest.get())) {
        __bignum_zero(remainder.get());
        bignum_div_aux(quotient.get(), remainder.get(), rest.get(), divisor.get());
        uint64_t low = __bignum_get(remainder.get(), 0);
        std::swap(rest, quotient);
        const bool last = bignum_iszero(rest.get());
        for (int i = 0; i < per && !(last && low == 0); ++i, low /= radix)
            put(low % radix);
    }
    return {groups.rbegin(), groups.rend()};
}

} // namespace

std::string dcDigits(const Number &number, uint64_t radix) {
    const bool negative = number.isNegative();
    if (bignum_iszero(number.bignum()))
        return "0";
    std::string text;
    if (radix <= 16) {
        text = number.fullText(int32_t(radix));
        for (char &c : text)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }
    // Above 16 every digit is a decimal group as wide as the largest digit.
    int width = 0;
    for (uint64_t top = radix - 1; top > 0; top /= 10)
        ++width;
    if (radix <= 36) {
        const std::string letters = number.fullText(int32_t(radix));
        text.reserve(letters.size() * size_t(width + 1));
        for (char c : letters) {
            if (c == '-')
                continue;
            int digit = BIGNUM_BASE_CHAR_INV[static_cast<unsigned char>(c)];
            text.push_back(' ');
            std::string group(size_t(width), '0');
            for (int i = width - 1; i >= 0; --i, digit /= 10)
                group[size_t(i)] = char('0' + digit % 10);
            text += group;
        }
    } else {
        text = largeRadixDigits(number, radix, width);
    }
    return negative ? "-" + text : text;
}

int64_t dcLineLength(const char *text) {
    constexpr int64_t kDefault = 70;
    if (text == nullptr)
        return kDefault;
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 0);
    while (std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    // Anything but a whole number from 2 up keeps the default; 0 (also an
    // empty value) turns the breaking off.
    if (*end != '\0' || errno == ERANGE)
        return kDefault;
    if (value == 0)
        return 0;
    return value < 2 ? kDefault : value;
}

void dcWrapped(std::FILE *out, const std::string &text, int64_t lineLength) {
    if (lineLength <= 1 || int64_t(text.size()) < lineLength) {
        std::fwrite(text.data(), 1, text.size(), out);
        return;
    }
    const size_t per = size_t(lineLength - 1);
    for (size_t at = 0; at < text.size(); at += per) {
        if (at > 0)
            std::fputs("\\\n", out);
        std::fwrite(text.data() + at, 1, std::min(per, text.size() - at), out);
    }
}
