// Text output: digits in a radix from 2 to 36 into a caller's buffer, cut to
// a display form "D.DDDx10^E" when they do not fit, and the raw words in
// hexadecimal. The text form has no sign.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bignum.h"
#include "internal/record.h"
#include "internal/report.h"

using namespace karvo;

extern "C" {

const char *BIGNUM_BASE_CHAR = kernel::kDigitAlphabet;

// The digit value of every byte: "0"-"9" and "a"-"z"; everything else is 0.
// clang-format off
const uint8_t BIGNUM_BASE_CHAR_INV[256] = {
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
    25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
};
// clang-format on

} // extern "C"

namespace {

// What bignum_cstr_base returns when memory for the conversion could not be had.
constexpr int32_t kNoMemory = -3;

// Writes a number of k digits, of which `digits` are the leading ones (all of
// them when they fit), into buf of len bytes: in full when they fit in len - 1
// characters, else as the leading digits cut (not rounded) before the suffix
// "x10^" and the digit count less one, exactly len - 1 characters.
void write_display_form(const std::string &digits, uint64_t k, int32_t len, char *buf) {
    if (len <= 0)
        return;
    // Digits in the alphabet the library exports at the time of the call.
    const char *alphabet = BIGNUM_BASE_CHAR;
    auto digit = [&](size_t i) {
        const char c = digits[i];
        return alphabet[c <= '9' ? c - '0' : c - 'a' + 10];
    };
    const size_t room = size_t(len) - 1;
    if (k <= room) {
        // The kernel's digits are already in the default alphabet.
        if (std::strncmp(alphabet, kernel::kDigitAlphabet, 36) == 0)
            std::memcpy(buf, digits.data(), k);
        else
            for (size_t i = 0; i < k; ++i)
                buf[i] = digit(i);
        buf[k] = '\0';
        return;
    }
    const std::string suffix = "x10^" + std::to_string(k - 1);
    const size_t lead = room >= suffix.size() ? room - suffix.size() : 0;
    for (size_t p = 0; p < lead; ++p)
        buf[p] = p == 0 ? digit(0) : p == 1 ? '.' : digit(p - 1);
    const size_t tail = std::min(suffix.size(), room - lead);
    std::memcpy(buf + lead, suffix.data(), tail);
    buf[lead + tail] = '\0';
}

} // namespace

extern "C" {

int32_t bignum_cstr_base(bignum *bn, int32_t len, char *buf, int32_t radix) {
    if (radix < 2)
        return -1;
    if (radix > 36)
        return -2;
    return guarded(
        "bignum_cstr_base",
        [&] {
            // Only the digits that can be shown are produced, and the count.
            const size_t wanted = len > 1 ? size_t(len) : 1;
            const kernel::LeadingDigits lead =
                kernel::leading_digits(to_nat(bn), unsigned(radix), wanted);
            write_display_form(lead.digits, lead.total, len, buf);
            return int32_t(lead.total);
        },
        [&] {
            // The text is written whole or not at all; an empty one shows nothing stale.
            if (len > 0)
                buf[0] = '\0';
            return kNoMemory;
        });
}

char *bignum_cstr_base2(bignum *bn, int32_t len, int32_t radix) {
    if (len < 0)
        return nullptr;
    auto *buf = static_cast<char *>(std::calloc(size_t(len) + 1, 1));
    if (buf != nullptr && bignum_cstr_base(bn, len, buf, radix) == kNoMemory) {
        std::free(buf);
        return nullptr;
    }
    return buf;
}

// "0x" and the words in use from the top, "%08lX " each; pieces that do not fit
// are cut. Returns the length of the whole text.
int32_t bignum_cstr(bignum *bn, size_t size, char *buf) {
    size_t total = 0, placed = 0;
    auto piece = [&](const char *format, unsigned long word) {
        char text[16];
        const int n = std::snprintf(text, sizeof text, format, word);
        if (placed + 1 < size) {
            const size_t take = std::min(size_t(n), size - 1 - placed);
            std::memcpy(buf + placed, text, take);
            placed += take;
        }
        if (size > 0)
            buf[placed] = '\0';
        total += size_t(n);
    };
    piece("0x", 0);
    if (bn->oofm == 0)
        piece("0 ", 0);
    for (uint64_t i = bn->oofm; i-- > 0;)
        piece("%08lX ", bn->numb[i]);
    return int32_t(total);
}

} // extern "C"
