// Conversion to text. Below Tuning::radix_dc limbs the number is divided by
// the largest power of the radix that fits a limb, one chunk of digits at a
// time; above it, divide and conquer: split by radix^(k 2^i) near the square
// root of the number, convert the quotient and the zero-padded remainder.
// The powers are made once per conversion by squaring.
#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <string>

#include "kernels/arith.h"
#include "kernels/nat.h"

namespace karvo::kernel {

namespace {

constexpr char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// The largest power radix^digits that fits a limb.
struct Chunk {
    Limb base;
    unsigned digits;
};

Chunk limb_chunk(unsigned radix) {
    Chunk c{radix, 1};
    while (DLimb(c.base) * radix <= ~Limb(0)) {
        c.base *= radix;
        ++c.digits;
    }
    return c;
}

class Converter {
  public:
    Converter(unsigned radix, const Tuning &t) : radix_(radix), chunk_(limb_chunk(radix)), t_(t) {}

    // Appends the digits of x, zero-padded to `width` digits when width > 0.
    void emit(View x, size_t width, std::string &out) {
        x = trimmed(x);
        if (x.size() < std::max<size_t>(t_.radix_dc, 2)) {
            emit_basecase(x, width, out);
            return;
        }
        // The largest power of at most half the length of x (the next one is
        // at most its square, of twice its bits). The power is its odd part
        // times 2^z: x / power = (x >> z) / odd, and the remainder is that
        // division's, shifted back over x's low z bits.
        size_t i = 0;
        while (2 * power(i).limbs() <= (x.size() + 1) / 2)
            ++i;
        Power &p = power(i);
        Nat q, r;
        const Nat shifted = shift_right(x, p.zeros);
        // A level divides many pieces by the same power: from its second
        // division on, by a reciprocal.
        if (p.uses++ == 1 && !p.reciprocal)
            p.reciprocal.emplace(p.odd, 4 * p.limbs() + 2, t_); // the longest piece of the level
        if (p.reciprocal && shifted.size() <= p.capacity())
            p.reciprocal->divrem(shifted, &q, &r);
        else
            divrem(shifted, p.odd, &q, &r, t_);
        if (p.zeros != 0) {
            const size_t whole = size_t(p.zeros / kLimbBits);
            Nat low(x.begin(), x.begin() + std::min(whole + 1, x.size()));
            if (whole < low.size())
                low[whole] &= (Limb(1) << (p.zeros % kLimbBits)) - 1;
            normalize(low);
            r = add(shift_left(r, p.zeros), low);
        }
        const size_t low_width = size_t(chunk_.digits) << i;
        emit(q, width > low_width ? width - low_width : 0, out);
        emit(r, low_width, out);
    }

  private:
    // radix^(k 2^i) = odd 2^zeros, k the digits of a limb chunk.
    struct Power {
        Nat odd;
        uint64_t zeros;
        size_t uses = 0;
        std::optional<Reciprocal> reciprocal;
        size_t limbs() const {
            return size_t((bit_length(odd) + zeros + kLimbBits - 1) / kLimbBits);
        }
        size_t capacity() const { return reciprocal ? reciprocal->capacity() : 0; }
    };
    Power &power(size_t i) {
        if (powers_.empty()) {
            const unsigned z = unsigned(std::countr_zero(chunk_.base));
            powers_.push_back({Nat{chunk_.base >> z}, z, 0, std::nullopt});
        }
        while (powers_.size() <= i)
            powers_.push_back(
                {sqr(powers_.back().odd, t_), 2 * powers_.back().zeros, 0, std::nullopt});
        return powers_[i];
    }

    void emit_basecase(View x, size_t width, std::string &out) {
        Nat work(x.begin(), x.end());
        std::string reversed;
        size_t n = work.size();
        while (n > 0) {
            Limb rem = divrem_1(work.data(), work.data(), n, chunk_.base);
            n = normalized_size(work.data(), n);
            for (unsigned i = 0; i < chunk_.digits && (n > 0 || rem != 0); ++i) {
                reversed.push_back(kAlphabet[rem % radix_]);
                rem /= radix_;
            }
        }
        if (reversed.size() < width)
            reversed.append(width - reversed.size(), '0');
        out.append(reversed.rbegin(), reversed.rend());
    }

    unsigned radix_;
    Chunk chunk_;
    const Tuning &t_;
    std::vector<Power> powers_;
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
            *p++ = kAlphabet[(a.back() >> (i * b)) & mask];
        for (size_t k = a.size() - 1; k-- > 0;) {
            const Limb v = a[k];
            for (size_t i = per_limb; i-- > 0;)
                *p++ = kAlphabet[(v >> (i * b)) & mask];
        }
        return out;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t pos = (count - 1 - i) * b; // lowest bit of the digit
        const uint64_t limb = pos / kLimbBits, shift = pos % kLimbBits;
        Limb v = a[limb] >> shift;
        if (shift + b > kLimbBits && limb + 1 < a.size())
            v |= a[limb + 1] << (kLimbBits - shift);
        out[i] = kAlphabet[v & mask];
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
    std::string out;
    Converter(radix, t).emit(a, 0, out);
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
    if (bits < 4096 || lower < margin + 64) {
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
