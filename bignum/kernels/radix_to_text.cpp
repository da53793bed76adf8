// Conversion to text. The digits go straight into one buffer, zero-filled,
// from a width that is a whole number of chunks (the largest power of the
// radix that fits a limb) and at least the digit count; the leading zeros are
// cut at the end. Below Tuning::radix_dc limbs a piece is divided by the
// chunk base, one chunk of digits at a time; above it, divide and conquer:
// the chunk counts of the levels halve from the top down, so every division
// is balanced, and each level divides its pieces by one power of the base.
#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <string>

#include "kernels/arith.h"
#include "kernels/nat.h"
#include "kernels/radix_chunks.h"

namespace karvo::kernel {

namespace {

class Converter {
  public:
    // For numbers of at most `chunks` chunks.
    Converter(unsigned radix, size_t chunks, const Tuning &t)
        : digits_(radix), chunk_(digits_.chunk()), t_(t) {
        // Level i splits its pieces at sizes_[i + 1] chunks: a piece of c
        // chunks into a low one of sizes_[i + 1] and a high one of at most
        // sizes_[i + 1] + i + 1 (halving rounds down).
        for (size_t c = chunks; c > 0; c /= 2)
            levels_.push_back({c, {}, 0, 0, std::nullopt});
        const unsigned radix_twos = unsigned(std::countr_zero(radix));
        twos_per_chunk_ = uint64_t(radix_twos) * chunk_.digits;
        odd_ = Nat{chunk_.base >> twos_per_chunk_};
    }

    // Writes the digits of a, below base^chunks, ending at `end`, over zeros.
    void convert(View a, char *end) {
        emit(a, end, 0);
        digits_.flush();
    }

  private:
    // Writes the digits of x, below base^(sizes_[level] + level), ending
    // at `end`, over zeros already there.
    void emit(View x, char *end, size_t level) {
        x = trimmed(x);
        if (x.empty())
            return;
        if (x.size() < std::max<size_t>(t_.radix_dc, 2) || level + 1 >= levels_.size()) {
            digits_.add(x.data(), x.size(), end);
            return;
        }
        Level &l = power(level + 1);
        char *const split = end - l.chunks * chunk_.digits;
        if (x.size() < l.limbs) {
            emit(x, end, level + 1);
            return;
        }
        // The power is odd 2^zeros: x / power = (x >> zeros) / odd, and the
        // remainder is that division's, shifted back over x's low zeros bits.
        Nat q, r;
        const Nat shifted = shift_right(x, l.zeros);
        // A level divides many pieces by the same power: from the fourth
        // level on (eight pieces), by a reciprocal made for the longest, once
        // the power is long enough for the products of Barrett's division to
        // beat dividing each piece.
        if (level >= 3 && l.limbs >= t_.radix_reciprocal && !l.reciprocal) {
            const double bits =
                double(levels_[level].chunks + level) * std::log2(double(chunk_.base) + 1.0) -
                double(l.zeros);
            l.reciprocal.emplace(l.odd, size_t(bits / kLimbBits) + 2, t_);
        }
        if (l.reciprocal && shifted.size() <= l.reciprocal->capacity())
            l.reciprocal->divrem(shifted, &q, &r);
        else
            divrem(shifted, l.odd, &q, &r, t_);
        if (l.zeros != 0) {
            // r 2^zeros and x mod 2^zeros do not overlap: x's low limbs with
            // r shifted in above them.
            const size_t whole = size_t(l.zeros / kLimbBits);
            const unsigned bits = unsigned(l.zeros % kLimbBits);
            Nat full(whole + r.size() + 1, 0);
            std::copy_n(x.begin(), std::min(whole, x.size()), full.begin());
            if (bits == 0)
                std::copy(r.begin(), r.end(), full.begin() + long(whole));
            else if (!r.empty())
                full[whole + r.size()] = lshift(full.data() + whole, r.data(), r.size(), bits);
            if (whole < x.size())
                full[whole] |= x[whole] & ((Limb(1) << bits) - 1);
            normalize(full);
            r = std::move(full);
        }
        emit(q, split, level + 1);
        emit(r, end, level + 1);
    }

    // base^chunks = odd 2^zeros.
    struct Level {
        size_t chunks;
        Nat odd;
        uint64_t zeros = 0;
        size_t limbs = 0; // of the power
        std::optional<Reciprocal> reciprocal;
    };
    // base^(2c) or base^(2c + 1) from base^c, from the smallest level up.
    Level &power(size_t i) {
        Level &l = levels_[i];
        if (!l.odd.empty())
            return l;
        if (i + 1 == levels_.size()) {
            l.odd = pow(odd_, l.chunks, t_);
        } else {
            const Level &half = power(i + 1);
            l.odd = sqr(half.odd, t_);
            if (l.chunks != 2 * half.chunks)
                l.odd = mul(l.odd, odd_, t_);
        }
        l.zeros = twos_per_chunk_ * l.chunks;
        l.limbs = size_t((bit_length(l.odd) + l.zeros + kLimbBits - 1) / kLimbBits);
        return l;
    }

    ChunkDigits digits_;
    const Chunk &chunk_;
    const Tuning &t_;
    uint64_t twos_per_chunk_;
    Nat odd_; // of the base
    std::vector<Level> levels_;
};

// A radix 2^b: each digit is b bits of the number, read from the top. When b
// divides 64 no digit straddles two limbs: below the top limb, each limb
// gives 64 / b digits.
std::string power_of_two_digits(View a, unsigned b) {
    const uint64_t bits = bit_length(a);
    const uint64_t count = (bits + b - 1) / b;
    std::string out(count, '0');
    const Limb mask = (Limb(1) << b) - 1;
    if (kLimbBits % b == 0 && a.size() > 1) {
        const size_t per_limb = kLimbBits / b;
        const size_t head = count - (a.size() - 1) * per_limb; // digits in the top limb
        char *p = out.data();
        for (size_t i = head; i-- > 0;)
            *p++ = kDigitAlphabet[(a.back() >> (i * b)) & mask];
        for (size_t k = a.size() - 1; k-- > 0;) {
            const Limb v = a[k];
            for (size_t i = per_limb; i-- > 0;)
                *p++ = kDigitAlphabet[(v >> (i * b)) & mask];
        }
        return out;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t pos = (count - 1 - i) * b; // lowest bit of the digit
        const uint64_t limb = pos / kLimbBits, shift = pos % kLimbBits;
        Limb v = a[limb] >> shift;
        if (shift + b > kLimbBits && limb + 1 < a.size())
            v |= a[limb + 1] << (kLimbBits - shift);
        out[i] = kDigitAlphabet[v & mask];
    }
    return out;
}

} // namespace

std::string to_digits(View a, unsigned radix, const Tuning &t) {
    a = trimmed(a);
    if (a.empty())
        return "0";
    if ((radix & (radix - 1)) == 0)
        return power_of_two_digits(a, unsigned(std::countr_zero(radix)));
    // base^chunks > 2^bits > a: the log is rounded down, the count up.
    const Chunk c = limb_chunk(radix);
    const double chunk_bits = std::log2(double(c.base)) * (1 - 1e-12);
    const size_t chunks = size_t(double(bit_length(a)) / chunk_bits) + 1;
    std::string out(chunks * c.digits, '0');
    if (a.size() < std::max<size_t>(t.radix_dc, 2)) {
        ChunkDigits digits(radix);
        digits.add(a.data(), a.size(), out.data() + out.size());
        digits.flush();
    } else {
        Converter(radix, chunks, t).convert(a, out.data() + out.size());
    }
    out.erase(0, out.find_first_not_of('0'));
    return out;
}

// The digits of a number of B bits number at least floor((B - 1) log_r 2) + 1.
// Dividing by radix^e for e a little below (digits - count) leaves a short
// quotient whose digits are exactly the leading ones.
LeadingDigits leading_digits(View a, unsigned radix, size_t count, const Tuning &t) {
    a = trimmed(a);
    const uint64_t bits = bit_length(a);
    const double lower = std::floor(double(bits - 1) * std::log(2.0) / std::log(double(radix)));
    const double margin = 2.0 + double(count);
    if (bits < 1024 || lower < margin + 64) {
        std::string all = to_digits(a, radix, t);
        const uint64_t total = all.size();
        all.resize(std::min<size_t>(all.size(), count));
        return {all, total};
    }
    const uint64_t e = uint64_t(lower - margin); // digits(a) - e >= count + 1
    Nat q;
    divrem(a, pow(Nat{radix}, e, t), &q, nullptr, t);
    std::string head = to_digits(q, radix, t);
    const uint64_t total = head.size() + e;
    head.resize(count);
    return {head, total};
}

} // namespace karvo::kernel
