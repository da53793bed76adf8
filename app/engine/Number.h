// One value on the calculator's stack: a library record plus a cached display
// string that is rebuilt only when asked for while outdated.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "bignum.h"

class Number {
    // Only the factories can make a key, so every number is shared.
    struct Key {
        explicit Key() = default;
    };
    struct FreeRecord {
        void operator()(::bignum *record) const { bignum_free(record); }
    };
    using Record = std::unique_ptr<::bignum, FreeRecord>;

  public:
    // Display buffers above this size are refused; it bounds the rebuild's memory.
    static constexpr int32_t kMaxPrecision = 1 << 20;

    // Value zero, display string "0", current. nullptr when no record can be had.
    static std::shared_ptr<Number> withPrecision(int32_t precision, int32_t radix);
    // Value parsed by the library from `text` (its result not examined), display
    // string `text` itself, outdated. nullptr when no record can be had.
    static std::shared_ptr<Number> fromString(const std::string &text, uint32_t precision,
                                              uint32_t radix);

    Number(Key, Record record, std::optional<std::string> text, int8_t outdated, int32_t precision,
           int32_t radix);
    Number(const Number &) = delete;
    Number &operator=(const Number &) = delete;

    // An independent number equal in value, display string, flag, precision and radix.
    std::shared_ptr<Number> copy() const;

    // The number keeps ownership; whoever changes the value calls markAsOutdated().
    ::bignum *bignum() const { return _number.get(); }
    bool isNegative() const;

    void markAsOutdated() { _outdated = 1; }
    void setOutdated(int8_t flag) { _outdated = flag; }
    void setString(std::optional<std::string> text) { _strnum = std::move(text); }

    std::optional<std::string> updateString();
    // Rebuilds the display string in a buffer of `precision` bytes; a negative value
    // gets a '-' in front of the library's magnitude text. Nothing when refused or
    // out of memory; then the number stays outdated.
    std::optional<std::string> updateStringWithPrecision(int32_t precision, int32_t radix);
    // The display string, rebuilt first when outdated; absent after a failed rebuild.
    std::optional<std::string> description();

    // The display string in `radix`, rebuilt first when outdated or last built
    // in another radix.
    std::optional<std::string> descriptionIn(int32_t radix);
    // Every digit in `radix`, with a leading '-' when negative; empty when no
    // memory can be had or the radix is outside 2 to 36. Does not touch the
    // display string, so any thread may call it.
    std::string fullText(int32_t radix) const;
    // How many digits the magnitude has in `radix` (1 for zero).
    int64_t digitCount(int32_t radix) const;

    // The display string as held, without rebuilding it.
    const std::optional<std::string> &displayString() const { return _strnum; }
    int8_t outdated() const { return _outdated; }
    int32_t precision() const { return _precision; }
    int32_t radix() const { return _radix; }

  private:
    // A copy of the display string for a caller; nothing when memory for it runs out.
    std::optional<std::string> shown() const noexcept;

    Record _number;
    std::optional<std::string> _strnum;
    int8_t _outdated;
    int32_t _precision;
    int32_t _radix;
};
