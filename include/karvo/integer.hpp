/**
 * @file integer.hpp
 * @brief karvo::Integer: a signed integer of up to BIGNUM_MAX_WORDS 32-bit words with
 * value semantics, over the library's C interface. Header-only.
 *
 * Arithmetic follows the library:
 *   a / b  rounds toward zero: -7 / 2 == -3, 7 / -2 == -3.
 *   a % b  is the remainder of the magnitudes, never negative: -7 % 2 == 1,
 *          7 % -2 == 1. So a == (a / b) * b + (a < 0 ? -(a % b) : a % b).
 *
 * The library needs no setup: bignum_init() runs on first use. Nothing is
 * printed: each call turns the calling thread's library messages off
 * (bignum_set_messages) and then puts the setting back. Errors are exceptions:
 *   std::domain_error      division by zero, zero to a negative power, a root of
 *                          degree below 1 or an even root of a negative number, the
 *                          factorial of a negative number, no modular inverse, a
 *                          zero modulus;
 *   std::overflow_error    a result above BIGNUM_MAX_WORDS words, to_int64() of a
 *                          value outside int64_t;
 *   std::invalid_argument  text that is not an integer in its radix, a radix
 *                          outside 2..36;
 *   std::runtime_error     a long call stopped by bignum_set_cancel_flag;
 *   std::bad_alloc         storage that could not be had.
 * what() is the library's own text where the library refused.
 *
 * Distinct objects may be used from different threads; one object may be read
 * (used as an operand) from several threads at once.
 */
#pragma once

#include <bignum/bignum.h>

#include <bit>
#include <cmath>
#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <mutex>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace karvo {

namespace detail {

inline constexpr uint8_t kPositive = 1, kNegative = 2;

// bignum_init() makes a fresh set of constants on every call, so it runs once
// per process, and not at all when a C caller has already run it.
inline void ensure_init() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (bignum_zero() == nullptr)
            bignum_init();
    });
}

inline bignum *new_record() {
    ensure_init();
    bignum *bn = bignum_alloc();
    if (bn == nullptr)
        throw std::bad_alloc();
    return bn;
}

// The library prints a line for every refusal; a C++ caller gets an exception
// instead, so the calling thread's printing is off for the length of a call.
class Quiet {
  public:
    Quiet() noexcept : previous_(bignum_set_messages(0)) {}
    ~Quiet() { bignum_set_messages(previous_); }
    Quiet(const Quiet &) = delete;
    Quiet &operator=(const Quiet &) = delete;

  private:
    int previous_;
};

// The calling thread's last refusal as an exception, by the library's texts.
[[noreturn]] inline void throw_refusal() {
    const std::string text = bignum_last_message();
    if (text.starts_with("failed to"))
        throw std::bad_alloc();
    if (text == "cancelled")
        throw std::runtime_error(text);
    if (text.find("exceeds max") != std::string::npos)
        throw std::overflow_error(text);
    throw std::domain_error(text);
}

inline void check_radix(int radix) {
    if (radix < 2 || radix > 36)
        throw std::invalid_argument("radix " + std::to_string(radix) + " is outside 2..36");
}

// The value of a digit character in either case; 36 for anything else.
constexpr int digit_value(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 36;
}

// Storage for the zero that an empty Integer stands for; never written.
inline uint32_t *zero_word() {
    static uint32_t word = 0;
    return &word;
}

} // namespace detail

/**
 * @brief A signed integer of up to #BIGNUM_MAX_WORDS 32-bit words with value semantics.
 *
 * A default-constructed Integer holds zero and owns no record; copies are
 * deep, moves are cheap. Mixed arithmetic with built-in integers works through
 * the implicit converting constructor.
 *
 * @code
 * karvo::Integer f = karvo::factorial(30);
 * karvo::Integer q = f / karvo::Integer("1000000007");
 * std::cout << q << ' ' << f % 1000000007 << '\n';
 * @endcode
 */
class Integer {
  public:
    /**
     * @brief Makes zero, without allocating.
     */
    Integer() noexcept = default;

    /**
     * @brief Converts a built-in integer exactly.
     *
     * Every built-in integer type converts exactly, INT64_MIN and UINT64_MAX included.
     * @tparam T An integral type other than bool, of at most 64 bits.
     * @param value The value.
     * @throws std::bad_alloc When storage could not be had.
     */
    template <std::integral T>
    requires(!std::same_as<T, bool> && sizeof(T) <= sizeof(uint64_t))
        Integer(T value) { // NOLINT(google-explicit-constructor): mixed arithmetic relies on it
        if (value == 0)
            return;
        bool negative = false;
        uint64_t magnitude = uint64_t(value);
        if constexpr (std::is_signed_v<T>) {
            negative = value < 0;
            if (negative)
                magnitude = uint64_t(0) - magnitude;
        }
        rec_ = detail::new_record();
        bignum_set(rec_, magnitude);
        rec_->sign = negative ? detail::kNegative : detail::kPositive;
    }

    /**
     * @brief Reads an integer from text.
     *
     * An optional '-' and one or more digits of the radix, in either case;
     * nothing else (no '+', no spaces, no prefix). "-0" is zero.
     * @param text The text.
     * @param radix The radix, 2 to 36.
     * @throws std::invalid_argument When the radix is outside 2..36 or the text is
     *         not an integer in the radix.
     * @throws std::overflow_error When the value needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    explicit Integer(std::string_view text, int radix = 10) {
        detail::check_radix(radix);
        const bool negative = text.starts_with('-');
        std::string_view digits = negative ? text.substr(1) : text;
        if (digits.empty())
            throw std::invalid_argument("not an integer in radix " + std::to_string(radix) +
                                        ": \"" + std::string(text) + "\"");
        std::string lower(digits);
        for (char &c : lower) {
            const int d = detail::digit_value(static_cast<unsigned char>(c));
            if (d >= radix)
                throw std::invalid_argument("not an integer in radix " + std::to_string(radix) +
                                            ": \"" + std::string(text) + "\"");
            // bignum_set_str knows only the lower-case digits.
            c = "0123456789abcdefghijklmnopqrstuvwxyz"[d];
        }
        *this = compute(
            [&](bignum *dst) { return bignum_set_str(dst, uint32_t(radix), lower.c_str()); });
        if (negative && !is_zero())
            rec_->sign = detail::kNegative;
    }

    /**
     * @brief Copies a value.
     * @param other The value to copy.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer(const Integer &other) {
        if (other.is_zero())
            return;
        rec_ = detail::new_record();
        bool copied;
        {
            detail::Quiet quiet;
            bignum_set_bn(rec_, other.rec_);
            // A copy whose storage could not grow is cut short, not refused.
            copied = rec_->oofm == other.rec_->oofm;
        }
        if (!copied) {
            bignum_free(std::exchange(rec_, nullptr));
            throw std::bad_alloc();
        }
    }
    /**
     * @brief Takes over a value; the moved-from object holds zero.
     * @param other The value to take; left holding zero.
     */
    Integer(Integer &&other) noexcept : rec_(std::exchange(other.rec_, nullptr)) {}
    /**
     * @brief Copies a value; on an exception the object is unchanged.
     * @param other The value to copy.
     * @return `*this`.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator=(const Integer &other) {
        if (this != &other)
            Integer(other).swap(*this);
        return *this;
    }
    /**
     * @brief Takes over a value; the moved-from object holds zero.
     * @param other The value to take; left holding zero.
     * @return `*this`.
     */
    Integer &operator=(Integer &&other) noexcept {
        if (this != &other) {
            bignum_free(rec_);
            rec_ = std::exchange(other.rec_, nullptr);
        }
        return *this;
    }
    /**
     * @brief Releases the value's storage.
     */
    ~Integer() { bignum_free(rec_); }

    /**
     * @brief Exchanges two values without copying.
     * @param other The value to exchange with.
     */
    void swap(Integer &other) noexcept { std::swap(rec_, other.rec_); }
    /**
     * @brief Exchanges two values without copying.
     * @param a The first value.
     * @param b The second value.
     */
    friend void swap(Integer &a, Integer &b) noexcept { a.swap(b); }

    /**
     * @brief Tests for zero.
     * @return True when the value is zero.
     */
    bool is_zero() const noexcept { return rec_ == nullptr || rec_->oofm == 0; }
    /**
     * @brief The sign of the value.
     * @return -1, 0 or 1 for a negative value, zero or a positive value.
     */
    int sign() const noexcept { return is_zero() ? 0 : rec_->sign == detail::kNegative ? -1 : 1; }
    /**
     * @brief Bits of the magnitude.
     * @return The number of bits of |value|; 0 for zero.
     */
    uint64_t bit_length() const noexcept {
        if (is_zero())
            return 0;
        return 32 * (rec_->oofm - 1) + uint64_t(std::bit_width(rec_->numb[rec_->oofm - 1]));
    }
    /**
     * @brief Digits of the magnitude in a radix.
     * @param radix The radix, 2 to 36.
     * @return The number of digits of |value| (no sign); 1 for zero.
     * @throws std::invalid_argument When the radix is outside 2..36.
     * @throws std::bad_alloc When storage could not be had.
     */
    std::size_t digits(int radix = 10) const {
        detail::check_radix(radix);
        if (is_zero())
            return 1;
        bignum v = view();
        char none[1];
        const int32_t count = bignum_cstr_base(&v, 1, none, radix);
        if (count < 0)
            detail::throw_refusal(); // no memory for the count
        return std::size_t(count);
    }
    /**
     * @brief The value as text: lower-case digits with a leading '-' for a negative value.
     * @param radix The radix, 2 to 36.
     * @return The text, e.g. "-ff" for -255 in radix 16; "0" for zero.
     * @throws std::invalid_argument When the radix is outside 2..36.
     * @throws std::bad_alloc When storage could not be had.
     */
    std::string to_string(int radix = 10) const {
        detail::check_radix(radix);
        if (is_zero())
            return "0";
        // The magnitude is below 2^bits, so it has at most this many digits.
        std::size_t room = std::size_t(double(bit_length()) / std::log2(double(radix))) + 2;
        std::string text;
        for (;;) {
            text.assign(room + 2, '\0');
            bignum v = view();
            const int32_t count = bignum_cstr_base(&v, int32_t(room + 1), text.data() + 1, radix);
            if (count < 0)
                detail::throw_refusal();
            if (std::size_t(count) <= room) {
                text.resize(std::size_t(count) + 1);
                break;
            }
            room = std::size_t(count); // the estimate fell short; now it is exact
        }
        if (sign() < 0) {
            text[0] = '-';
            return text;
        }
        return text.substr(1);
    }
    /**
     * @brief The value as a machine integer.
     * @return The value.
     * @throws std::overflow_error When the value is outside the range of int64_t.
     */
    int64_t to_int64() const {
        if (is_zero())
            return 0;
        if (rec_->oofm <= 2) {
            const uint64_t magnitude =
                rec_->numb[0] | (rec_->oofm == 2 ? uint64_t(rec_->numb[1]) << 32 : 0);
            constexpr uint64_t kLimit = uint64_t(1) << 63;
            if (sign() < 0 && magnitude <= kLimit)
                return int64_t(uint64_t(0) - magnitude);
            if (sign() > 0 && magnitude < kLimit)
                return int64_t(magnitude);
        }
        throw std::overflow_error("a value of " + std::to_string(bit_length()) +
                                  " bits does not fit in int64_t");
    }

    /**
     * @brief Sum.
     * @param a The first operand.
     * @param b The second operand.
     * @return a + b.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    friend Integer operator+(const Integer &a, const Integer &b) {
        return binary(bignum_add, a, b);
    }
    /**
     * @brief Difference.
     * @param a The minuend.
     * @param b The subtrahend.
     * @return a - b.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    friend Integer operator-(const Integer &a, const Integer &b) {
        return binary(bignum_sub, a, b);
    }
    /**
     * @brief Product.
     * @param a The first factor.
     * @param b The second factor.
     * @return a * b.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    friend Integer operator*(const Integer &a, const Integer &b) {
        return binary(bignum_mul, a, b);
    }
    /**
     * @brief Quotient, rounded toward zero: -7 / 2 == -3, 7 / -2 == -3.
     * @param a The dividend.
     * @param b The divisor.
     * @return a / b rounded toward zero.
     * @throws std::domain_error When b is zero ("division by zero").
     * @throws std::bad_alloc When storage could not be had.
     */
    friend Integer operator/(const Integer &a, const Integer &b) {
        return binary([](bignum *q, bignum *x, bignum *y) { return bignum_div(q, nullptr, x, y); },
                      a, b);
    }
    /**
     * @brief The remainder of |a| / |b|, never negative: -7 % 2 == 1, 7 % -2 == 1.
     * @param a The dividend.
     * @param b The divisor.
     * @return |a| mod |b|.
     * @throws std::domain_error When b is zero ("division by zero").
     * @throws std::bad_alloc When storage could not be had.
     */
    friend Integer operator%(const Integer &a, const Integer &b) {
        return binary(bignum_mod, a, b);
    }
    /**
     * @brief Negation.
     * @param a The value.
     * @return -a.
     */
    friend Integer operator-(Integer a) {
        if (!a.is_zero())
            a.rec_->sign =
                a.rec_->sign == detail::kNegative ? detail::kPositive : detail::kNegative;
        return a;
    }

    /**
     * @brief Adds in place, as operator+().
     * @param b The operand.
     * @return `*this`.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator+=(const Integer &b) { return *this = *this + b; }
    /**
     * @brief Subtracts in place, as operator-().
     * @param b The subtrahend.
     * @return `*this`.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator-=(const Integer &b) { return *this = *this - b; }
    /**
     * @brief Multiplies in place, as operator*().
     * @param b The factor.
     * @return `*this`.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator*=(const Integer &b) { return *this = *this * b; }
    /**
     * @brief Divides in place, rounding toward zero, as operator/().
     * @param b The divisor.
     * @return `*this`.
     * @throws std::domain_error When b is zero.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator/=(const Integer &b) { return *this = *this / b; }
    /**
     * @brief Replaces the value by the remainder of the magnitudes, as operator%().
     * @param b The divisor.
     * @return `*this`.
     * @throws std::domain_error When b is zero.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator%=(const Integer &b) { return *this = *this % b; }
    /**
     * @brief Adds one.
     * @return `*this`.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator++() { return *this += 1; }
    /**
     * @brief Subtracts one.
     * @return `*this`.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer &operator--() { return *this -= 1; }
    /**
     * @brief Adds one.
     * @return The value before.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer operator++(int) {
        Integer before = *this;
        ++*this;
        return before;
    }
    /**
     * @brief Subtracts one.
     * @return The value before.
     * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
     * @throws std::bad_alloc When storage could not be had.
     */
    Integer operator--(int) {
        Integer before = *this;
        --*this;
        return before;
    }

    /**
     * @brief Orders as integers: unlike bignum_cmp(), -5 < -3.
     * @param a The first value.
     * @param b The second value.
     * @return The order of a and b.
     */
    friend std::strong_ordering operator<=>(const Integer &a, const Integer &b) noexcept {
        bignum x = a.view(), y = b.view();
        int order = bignum_cmp(&x, &y);
        if (x.sign == detail::kNegative && y.sign == detail::kNegative)
            order = -order;
        return order <=> 0;
    }
    /**
     * @brief Equality of values.
     * @param a The first value.
     * @param b The second value.
     * @return True when a and b are equal.
     */
    friend bool operator==(const Integer &a, const Integer &b) noexcept { return (a <=> b) == 0; }

    /**
     * @brief Writes the value to a stream.
     *
     * Radix from std::hex / std::oct (decimal otherwise); std::uppercase,
     * std::showbase, std::showpos, the width and the adjustment apply as they do
     * for gmpxx's mpz_class: a negative value keeps its sign in any radix.
     * @param os The stream.
     * @param x The value.
     * @return `os`.
     * @throws std::bad_alloc When storage could not be had.
     */
    friend std::ostream &operator<<(std::ostream &os, const Integer &x) {
        const auto flags = os.flags();
        const auto basefield = flags & std::ios_base::basefield;
        const int radix = basefield == std::ios_base::hex   ? 16
                          : basefield == std::ios_base::oct ? 8
                                                            : 10;
        std::string digits = x.to_string(radix);
        std::string text;
        if (x.sign() < 0) {
            text += '-';
            digits.erase(0, 1);
        } else if (flags & std::ios_base::showpos) {
            text += '+';
        }
        // As gmpxx: "0x0", but a zero in octal is its own prefix.
        if ((flags & std::ios_base::showbase) && radix != 10 && !(radix == 8 && x.is_zero()))
            text += radix == 16 ? ((flags & std::ios_base::uppercase) ? "0X" : "0x") : "0";
        if (flags & std::ios_base::uppercase)
            for (char &c : digits)
                if (c >= 'a' && c <= 'z')
                    c = char(c - 'a' + 'A');
        // std::internal pads between the sign or prefix and the digits.
        const std::size_t width = os.width() > 0 ? std::size_t(os.width()) : 0;
        if ((flags & std::ios_base::adjustfield) == std::ios_base::internal &&
            width > text.size() + digits.size()) {
            digits.insert(0, width - text.size() - digits.size(), os.fill());
            os.width(0);
        }
        return os << (text + digits);
    }
    /**
     * @brief Reads a value from a stream.
     *
     * Skips leading white space, then reads an optional '-' and the digits of
     * the radix std::hex / std::oct select (decimal otherwise), in either case
     * and without a prefix. Without a digit, or for a value above the word
     * limit, it sets failbit and leaves x alone.
     * @param is The stream.
     * @param x The value read.
     * @return `is`.
     * @throws std::bad_alloc When storage could not be had.
     */
    friend std::istream &operator>>(std::istream &is, Integer &x) {
        const std::istream::sentry ok(is);
        if (!ok)
            return is;
        const auto basefield = is.flags() & std::ios_base::basefield;
        const int radix = basefield == std::ios_base::hex   ? 16
                          : basefield == std::ios_base::oct ? 8
                                                            : 10;
        using Traits = std::istream::traits_type;
        std::streambuf *in = is.rdbuf();
        std::string text;
        std::ios_base::iostate state = std::ios_base::goodbit;
        Traits::int_type c = in->sgetc();
        if (c == '-') {
            text += '-';
            c = in->snextc();
        }
        while (!Traits::eq_int_type(c, Traits::eof()) && detail::digit_value(c) < radix) {
            text += Traits::to_char_type(c);
            c = in->snextc();
        }
        if (Traits::eq_int_type(c, Traits::eof()))
            state |= std::ios_base::eofbit;
        if (text.empty() || text == "-") {
            state |= std::ios_base::failbit;
        } else {
            try {
                x = Integer(text, radix);
            } catch (const std::overflow_error &) {
                state |= std::ios_base::failbit;
            }
        }
        is.setstate(state);
        return is;
    }

    friend Integer pow(const Integer &base, const Integer &exponent);
    friend Integer root(const Integer &x, const Integer &n);
    friend Integer factorial(const Integer &n);
    friend Integer gcd(const Integer &a, const Integer &b);
    friend Integer modinv(const Integer &a, const Integer &m);
    friend Integer modpow(const Integer &base, const Integer &exponent, const Integer &modulus);
    friend struct std::hash<Integer>;

  private:
    // A shallow copy of the record to pass as an operand (the interface takes
    // non-const records; the library only reads its operands).
    bignum view() const noexcept {
        if (rec_ != nullptr)
            return *rec_;
        return bignum{detail::kPositive,  0, sizeof(uint32_t), 1, uint64_t(1) << 32,
                      detail::zero_word()};
    }

    // Runs call(dst) on a fresh record with printing off; a null return is a refusal.
    template <class Call> static Integer compute(Call &&call) {
        Integer result;
        result.rec_ = detail::new_record();
        bignum *returned;
        {
            detail::Quiet quiet;
            returned = call(result.rec_);
        }
        if (returned == nullptr)
            detail::throw_refusal();
        result.normalize();
        return result;
    }

    template <class Function>
    static Integer binary(Function function, const Integer &a, const Integer &b) {
        bignum x = a.view(), y = b.view();
        // The same record twice lets bignum_mul square.
        bignum *second = &a == &b ? &x : &y;
        return compute([&](bignum *dst) { return function(dst, &x, second); });
    }

    // Results may carry zero words above the top one; zero is always positive.
    void normalize() noexcept {
        while (rec_->oofm > 0 && rec_->numb[rec_->oofm - 1] == 0)
            --rec_->oofm;
        if (rec_->oofm == 0)
            rec_->sign = detail::kPositive;
    }

    bignum *rec_ = nullptr; // null holds zero
};

/**
 * @brief Absolute value.
 * @param x The value.
 * @return |x|.
 */
inline Integer abs(Integer x) {
    if (x.sign() < 0)
        x = -std::move(x);
    return x;
}

/**
 * @brief Power: base^exponent.
 *
 * A negative exponent truncates 1 / base^|exponent|: 0 unless |base| is 1;
 * zero has no negative power. 0^0 is 1.
 * @param base The base.
 * @param exponent The exponent.
 * @return base^exponent.
 * @throws std::domain_error For zero to a negative power.
 * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
 * @throws std::bad_alloc When storage could not be had.
 */
inline Integer pow(const Integer &base, const Integer &exponent) {
    bignum b = base.view(), e = exponent.view();
    return Integer::compute([&](bignum *dst) { return bignum_pow(dst, &b, &e); });
}

/**
 * @brief The n-th root of x rounded toward zero; n >= 1, odd when x is negative.
 * @param x The radicand.
 * @param n The degree.
 * @return The root, with the sign of x.
 * @throws std::domain_error When n is below 1, or n is even and x negative.
 * @throws std::bad_alloc When storage could not be had.
 */
inline Integer root(const Integer &x, const Integer &n) {
    bignum r = x.view(), d = n.view();
    return Integer::compute([&](bignum *dst) { return bignum_root(dst, &d, &r); });
}

/**
 * @brief Factorial: n!, with 0! == 1.
 * @param n The argument, not negative.
 * @return n!.
 * @throws std::domain_error When n is negative.
 * @throws std::overflow_error When the result needs more than #BIGNUM_MAX_WORDS words.
 * @throws std::bad_alloc When storage could not be had.
 */
inline Integer factorial(const Integer &n) {
    bignum v = n.view();
    return Integer::compute([&](bignum *dst) { return bignum_factorial(dst, &v); });
}

/**
 * @brief Greatest common divisor. Never negative; gcd(0, 0) == 0.
 * @param a The first value.
 * @param b The second value.
 * @return gcd(|a|, |b|).
 * @throws std::runtime_error When stopped through bignum_set_cancel_flag().
 * @throws std::bad_alloc When storage could not be had.
 */
inline Integer gcd(const Integer &a, const Integer &b) {
    bignum x = a.view(), y = b.view();
    return Integer::compute([&](bignum *dst) { return bignum_gcd(dst, &x, &y); });
}

/**
 * @brief Modular inverse: the x in [0, |m|) with a x = 1 modulo m (0 when |m| is 1).
 * @param a The value to invert.
 * @param m The modulus, not zero.
 * @return The inverse.
 * @throws std::domain_error When m is zero ("modulus is zero") or a has no
 *         inverse modulo m ("no inverse: gcd(a, m) is g").
 * @throws std::runtime_error When stopped through bignum_set_cancel_flag().
 * @throws std::bad_alloc When storage could not be had.
 */
inline Integer modinv(const Integer &a, const Integer &m) {
    if (m.is_zero())
        throw std::domain_error("modulus is zero");
    Integer g, x, y;
    g.rec_ = detail::new_record();
    x.rec_ = detail::new_record();
    y.rec_ = detail::new_record();
    bignum va = a.view(), vm = m.view();
    bignum *returned;
    {
        detail::Quiet quiet;
        returned = bignum_modinv(g.rec_, x.rec_, y.rec_, &va, &vm);
    }
    if (returned == nullptr)
        detail::throw_refusal();
    g.normalize();
    x.normalize();
    if (g != 1)
        throw std::domain_error("no inverse: gcd(" + a.to_string() + ", " + m.to_string() +
                                ") is " + g.to_string());
    Integer residue = x % m;
    if (x.sign() < 0 && !residue.is_zero())
        residue = abs(m) - residue;
    return residue;
}

/**
 * @brief Modular power: base^exponent reduced into [0, |modulus|).
 *
 * A negative base counts as its residue, so (-2)^3 mod 5 is 2. A negative
 * exponent raises the inverse of base, which must exist.
 * @param base The base.
 * @param exponent The exponent.
 * @param modulus The modulus, not zero.
 * @return base^exponent mod |modulus|.
 * @throws std::domain_error When the modulus is zero, or the exponent is
 *         negative and base has no inverse modulo the modulus.
 * @throws std::runtime_error When stopped through bignum_set_cancel_flag().
 * @throws std::bad_alloc When storage could not be had.
 */
inline Integer modpow(const Integer &base, const Integer &exponent, const Integer &modulus) {
    // The library takes a negative base as its magnitude; bring it into
    // [0, |modulus|) first so that (-2)^3 mod 5 is 2.
    Integer reduced;
    const Integer *b = &base;
    if (base.sign() < 0 && !modulus.is_zero()) {
        reduced = base % modulus;
        if (!reduced.is_zero())
            reduced = abs(modulus) - reduced;
        b = &reduced;
    }
    bignum vb = b->view(), ve = exponent.view(), vm = modulus.view();
    return Integer::compute([&](bignum *dst) { return bignum_modpow(dst, &vb, &ve, &vm); });
}

} // namespace karvo

/**
 * @brief Hashing of karvo::Integer, for unordered containers; equal values hash equally.
 */
template <> struct std::hash<karvo::Integer> {
    /**
     * @brief The hash of a value.
     * @param x The value.
     * @return The hash.
     */
    std::size_t operator()(const karvo::Integer &x) const noexcept {
        if (x.is_zero())
            return 0;
        const std::string_view words(reinterpret_cast<const char *>(x.rec_->numb),
                                     x.rec_->oofm * sizeof(uint32_t));
        const std::size_t h = std::hash<std::string_view>{}(words);
        return x.sign() < 0 ? ~h : h;
    }
};
