// What the families share about the record: its limits, views of magnitudes,
// storage growth that follows the documented doubling, and a scoped temporary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "bignum.h"
#include "kernels/nat.h"

namespace karvo {

constexpr uint64_t kMaxWords = BIGNUM_MAX_WORDS;
constexpr uint64_t kInitialWords = 10;
constexpr uint8_t kPositive = 1;
constexpr uint8_t kNegative = 2;

// The words in use, top zero words left out. Inline: every call asks it of
// each operand, and for small numbers it is a good part of the cost.
inline std::span<const uint32_t> magnitude(const bignum *bn) {
    uint64_t n = bn->oofm;
    while (n > 0 && bn->numb[n - 1] == 0)
        --n;
    return {bn->numb, n};
}
inline bool magnitude_is_zero(const bignum *bn) { return magnitude(bn).empty(); }
// What bignum_iszero() answers (a zero count, or one zero word), inline for the
// families' fast paths.
inline bool is_zero_record(const bignum *bn) {
    return bn->oofm == 0 || (bn->oofm == 1 && bn->numb[0] == 0);
}
// Negative in value: marked negative and not zero.
inline bool is_negative(const bignum *bn) {
    return bn->sign == kNegative && !magnitude_is_zero(bn);
}
// The magnitude as a machine word when it fits in 64 bits.
bool magnitude_to_u64(const bignum *bn, uint64_t *out);
// The magnitude as a natural number for the kernels.
kernel::Nat to_nat(const bignum *bn);

// The size __bignum_grow picks for a record of `size` words asked for `want`.
uint64_t grown_size(uint64_t size, uint64_t want);
// Reallocates the word storage to exactly `new_size` words; prints the
// documented message and leaves the record alone when that fails.
bool resize_storage(bignum *bn, uint64_t new_size);
// Room for `words` words, grown as if they were written one at a time from
// word 0 upwards (10, 20, 40, ... capped at the limit).
bool reserve_ascending(bignum *bn, uint64_t words);
// Room for `words` words, grown as if the top word were written first.
bool reserve_top_first(bignum *bn, uint64_t words);
// Room for a copy of `words` words in use, grown as a copy grows its destination.
bool reserve_for_copy(bignum *bn, uint64_t words);

// Writes a magnitude into a record that has room for it (see reserve_*):
// the words, `oofm` = its length in words. Sign and the words above are left alone.
void write_magnitude(bignum *dst, kernel::View value);
// Clears `dst`, then stores `value` with `sign` (zero keeps sign 1), growing
// as a copy does. Fails (with the too-large message) above the word limit.
bool assign(bignum *dst, const kernel::Nat &value, bool negative, const char *function);

// The state most families leave after an error: `dst` holds zero, and the
// call returns null.
inline bignum *left_at_zero(bignum *dst) {
    __bignum_zero(dst);
    return nullptr;
}
// The same for a division's two outputs, either of which may be null.
inline bignum *left_at_zero(bignum *q, bignum *r) {
    if (q != nullptr)
        __bignum_zero(q);
    if (r != nullptr)
        __bignum_zero(r);
    return nullptr;
}

// A temporary record, released when the scope ends.
class ScopedRecord {
  public:
    ScopedRecord() : bn_(bignum_alloc()) {}
    ~ScopedRecord() { bignum_free(bn_); }
    ScopedRecord(const ScopedRecord &) = delete;
    ScopedRecord &operator=(const ScopedRecord &) = delete;
    bignum *get() const { return bn_; }
    explicit operator bool() const { return bn_ != nullptr; }

  private:
    bignum *bn_;
};

} // namespace karvo
