#include "Entry.h"

#include <algorithm>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v'; }

// The digit's value, or -1 for a character that is no digit in any radix.
int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return -1;
}

// The refused text as shown in the status line: long pastes are cut.
std::string quoted(std::string_view text) {
    constexpr size_t kShown = 40;
    return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "…";
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string withoutLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            // A continuation: the backslash, blanks after it, then the break.
            size_t j = i + 1;
            while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
                ++j;
            if (j < text.size() && (text[j] == '\n' || text[j] == '\r')) {
                i = j;
                continue;
            }
        }
        if (!isBlank(c))
            out.push_back(c);
    }
    return out;
}

EntryResult parseEntry(std::string_view text, int32_t precision, int32_t radix) {
    const std::string_view entry = trimBlanks(text);
    const bool negative = entry.starts_with('-');
    std::string digits(entry.substr(negative ? 1 : 0));
    const bool valid = !digits.empty() && std::all_of(digits.begin(), digits.end(), [&](char c) {
        const int d = digitValue(c);
        return d >= 0 && d < radix;
    });
    if (!valid) {
        const std::string kind =
            radix == 10 ? "a decimal integer" : "an integer in radix " + std::to_string(radix);
        return {nullptr, "Not " + kind + ": " + quoted(entry)};
    }
    // The library reads lower-case letters only.
    std::transform(digits.begin(), digits.end(), digits.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    auto number = Number::withPrecision(precision, radix);
    if (!number)
        return {nullptr, "No memory for a new number"};
    // The library refuses a value that does not fit in its words, and one it
    // has no memory for.
    if (bignum_set_str(number->bignum(), uint32_t(radix), digits.c_str()) == nullptr) {
        const bool noMemory = std::string_view(bignum_last_message()).starts_with("failed to");
        return {nullptr, noMemory ? "No memory for a new number" : "Number exceeds 100000 words"};
    }
    number->markAsOutdated();
    const bool allZeros = digits.find_first_not_of('0') == std::string::npos;
    if (negative && !allZeros)
        number->bignum()->sign = 2;
    number->setString(std::string(entry));
    return {number, {}};
}
