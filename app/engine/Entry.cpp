#include "Entry.h"

#include <algorithm>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

EntryResult parseEntry(std::string_view text, int32_t precision, int32_t radix) {
    const std::string_view entry = trimBlanks(text);
    const bool negative = entry.starts_with('-');
    const std::string digits(entry.substr(negative ? 1 : 0));
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit))
        return {nullptr, "Not a decimal integer: " + std::string(entry)};

    auto number = Number::fromString(digits, uint32_t(precision), uint32_t(radix));
    if (!number)
        return {nullptr, "No memory for a new number"};
    // The library leaves zero when the value does not fit in its words.
    const bool allZeros = digits.find_first_not_of('0') == std::string::npos;
    if (!allZeros && bignum_iszero(number->bignum()))
        return {nullptr, "Number exceeds 100000 words"};
    if (negative && !allZeros)
        number->bignum()->sign = 2;
    number->setString(std::string(entry));
    return {number, {}};
}
