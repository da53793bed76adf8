#include "Number.h"

#include <algorithm>
#include <new>

Number::Number(Key, Record record, std::optional<std::string> text, int8_t outdated,
               int32_t precision, int32_t radix)
    : _number(std::move(record)), _strnum(std::move(text)), _outdated(outdated),
      _precision(precision), _radix(radix) {}

std::shared_ptr<Number> Number::withPrecision(int32_t precision, int32_t radix) {
    Record record(bignum_alloc());
    if (!record)
        return nullptr;
    bignum_set(record.get(), 0);
    return std::make_shared<Number>(Key{}, std::move(record), "0", 0, precision, radix);
}

std::shared_ptr<Number> Number::fromString(const std::string &text, uint32_t precision,
                                           uint32_t radix) {
    Record record(bignum_alloc());
    if (!record)
        return nullptr;
    bignum_set_str(record.get(), radix, text.c_str());
    return std::make_shared<Number>(Key{}, std::move(record), text, 1, int32_t(precision),
                                    int32_t(radix));
}

std::shared_ptr<Number> Number::copy() const {
    auto twin = withPrecision(_precision, _radix);
    if (!twin)
        return nullptr;
    twin->setString(_strnum);
    // A copy cut short by storage that could not grow is no copy.
    if (bignum_set_bn(twin->bignum(), bignum())->oofm != bignum()->oofm)
        return nullptr;
    twin->setOutdated(_outdated);
    return twin;
}

bool Number::isNegative() const { return _number->sign == 2 && !bignum_iszero(_number.get()); }

std::optional<std::string> Number::updateString() {
    return updateStringWithPrecision(_precision, _radix);
}

std::optional<std::string> Number::updateStringWithPrecision(int32_t precision, int32_t radix) {
    _strnum.reset();
    if (precision > kMaxPrecision)
        return std::nullopt;
    try {
        std::string buffer(size_t(std::max(precision, 0)), '\0');
        // The library writes nothing for a radix outside 2..36 or an empty buffer.
        const bool inRange = radix >= 2 && radix <= 36;
        if (bignum_cstr_base(_number.get(), precision, buffer.data(), radix) < 1 && inRange)
            return std::nullopt; // no memory for the conversion
        std::string magnitude(buffer.c_str());
        // The library's text has no sign; the display puts it in front.
        _strnum = isNegative() && !magnitude.empty() ? "-" + magnitude : magnitude;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
    _precision = precision;
    _outdated = 0;
    _radix = radix;
    return shown();
}

std::optional<std::string> Number::shown() const noexcept {
    try {
        return _strnum;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

std::optional<std::string> Number::description() {
    if (_outdated != 0)
        updateString();
    return shown();
}

std::optional<std::string> Number::descriptionIn(int32_t radix) {
    if (_outdated != 0 || _radix != radix || !_strnum)
        updateStringWithPrecision(_precision, radix);
    return shown();
}

int64_t Number::digitCount(int32_t radix) const {
    char probe[2] = {};
    return bignum_cstr_base(_number.get(), sizeof probe, probe, radix);
}

std::string Number::fullText(int32_t radix) const {
    const int64_t digits = digitCount(radix);
    if (digits <= 0)
        return {};
    const bool negative = isNegative();
    std::string text;
    try {
        text.assign(size_t(digits) + (negative ? 2 : 1), '\0');
    } catch (const std::bad_alloc &) {
        return {};
    }
    if (negative)
        text[0] = '-';
    if (bignum_cstr_base(_number.get(), int32_t(digits + 1), text.data() + (negative ? 1 : 0),
                         radix) != digits)
        return {};   // no memory for the conversion
    text.pop_back(); // the terminating zero
    return text;
}
