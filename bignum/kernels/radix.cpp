// Radix conversion by machine-word chunks: text is produced by dividing by
// the largest power of the radix that fits a word, and read by multiplying
// the running value by it.
#include <algorithm>
#include <string>

#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

constexpr char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// The largest power radix^digits that fits a word.
struct Chunk {
    Word base;
    unsigned digits;
};

Chunk word_chunk(unsigned radix) {
    Chunk c{Word(radix), 1};
    while (DWord(c.base) * radix <= 0xFFFFFFFFull) {
        c.base *= radix;
        ++c.digits;
    }
    return c;
}

} // namespace

std::string to_digits(View a, unsigned radix) {
    a = trimmed(a);
    if (a.empty())
        return "0";
    const Chunk chunk = word_chunk(radix);
    Nat work(a.begin(), a.end());
    size_t n = work.size();
    std::string out;
    out.reserve(n * 32 + 1);
    while (n > 0) {
        Word rem = divrem_1(work.data(), work.data(), n, chunk.base);
        n = normalized_size(work.data(), n);
        for (unsigned i = 0; i < chunk.digits && (n > 0 || rem != 0); ++i) {
            out.push_back(kAlphabet[rem % radix]);
            rem /= radix;
        }
    }
    std::reverse(out.begin(), out.end());
    return out;
}

Nat from_digits(const uint8_t *values, size_t count, unsigned radix) {
    // A chunk of digits below 36 in radix >= 2 stays below 36 * radix^digits,
    // which fits 64 bits; the running value is multiplied by a word at a time.
    const Chunk chunk = word_chunk(radix);
    Nat acc;
    size_t i = 0;
    while (i < count) {
        const unsigned take = unsigned(std::min<size_t>(chunk.digits, count - i));
        DWord value = 0, scale = 1;
        for (unsigned k = 0; k < take; ++k, ++i) {
            value = value * radix + values[i];
            scale *= radix;
        }
        Word carry = acc.empty() ? 0 : mul_1(acc.data(), acc.data(), acc.size(), Word(scale));
        if (carry != 0)
            acc.push_back(carry);
        const Nat low = from_u64(value);
        acc.resize(acc.size() + 2);
        add(acc.data(), acc.data(), acc.size(), low.data(), low.size());
        normalize(acc);
    }
    return acc;
}

} // namespace karvo::kernel
