/**
 * @file bignum.h
 * @brief Karvo: signed integers of up to 100000 32-bit words behind a flat C interface.
 *
 * A number lives in a #bignum record: a sign marker and a magnitude of 32-bit
 * words, least significant first. Records are made with bignum_alloc() and
 * released with bignum_free().
 *
 * A function writes its result into the destination record passed first and
 * returns that record. Trouble is reported as one line on standard output,
 * `<function>().. <text>`, and the function returns null where it could not
 * produce a result. The same text, without the function name and the newline,
 * is kept for the calling thread in bignum_last_message(); bignum_set_messages()
 * turns the printing off. Call bignum_init() once before anything else.
 *
 * When memory runs out inside a call, it prints `<function>().. failed to
 * allocate memory` and returns null, leaving its destination as for its other
 * errors; no C++ exception leaves the library.
 *
 * Results are not always trimmed: the word count in use (`oofm`) may include
 * zero words at the top. Each function says what it leaves.
 *
 * Example: 2^100 in decimal.
 * @code
 * #include <stdio.h>
 * #include <bignum/bignum.h>
 *
 * int main(void) {
 *     bignum_init();
 *     bignum *base = bignum_alloc(), *exponent = bignum_alloc(), *power = bignum_alloc();
 *     bignum_set(base, 2);
 *     bignum_set(exponent, 100);
 *     if (bignum_pow(power, base, exponent) != NULL) {
 *         char text[64];
 *         bignum_cstr_base(power, sizeof text, text, 10);
 *         printf("%s\n", text); // 1267650600228229401496703205376
 *     }
 *     bignum_free(power);
 *     bignum_free(exponent);
 *     bignum_free(base);
 *     return 0;
 * }
 * @endcode
 */
#ifndef KARVO_BIGNUM_H
#define KARVO_BIGNUM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define BIGNUM_API __declspec(dllexport)
#else
/** @brief Marks a function or object as exported from the shared library. */
#define BIGNUM_API __attribute__((visibility("default")))
#endif

/** @brief The largest number of words a record can hold. */
#define BIGNUM_MAX_WORDS 100000

/**
 * @brief A signed integer: a sign marker and a magnitude of 32-bit words.
 *
 * Zero is any record whose words in use are all zero, whatever its sign
 * marker; bignum_alloc() and __bignum_zero() give zero with the marker 1.
 */
typedef struct bignum {
    uint8_t sign;   /**< 1 for zero and positive values, 2 for negative ones */
    uint64_t oofm;  /**< words in use; the value need not be trimmed */
    uint64_t wsize; /**< bytes per word: 4 */
    uint64_t size;  /**< words allocated: 10 at creation, doubling, at most 100000 */
    uint64_t wbase; /**< the word base 2^32 */
    uint32_t *numb; /**< the magnitude, least significant word first */
} bignum;

/**
 * @defgroup records Records and storage
 * @brief Creating and releasing records, and the library's setup.
 * @{
 */

/**
 * @brief Makes a new record holding zero.
 *
 * The record has sign 1, `oofm` 0, `wsize` 4, `wbase` 2^32 and room for 10
 * words (`size` 10). Release it with bignum_free().
 *
 * @return The new record, or null when memory could not be had (nothing is printed).
 */
BIGNUM_API bignum *bignum_alloc(void);
/**
 * @brief Releases a record made by bignum_alloc() and its word storage.
 * @param bn The record; null is allowed and does nothing.
 */
BIGNUM_API void bignum_free(bignum *bn);
/**
 * @brief Sets up the library: creates the shared constants (bignum_zero() and the rest).
 *
 * Call it once before anything else. A second call makes new constant
 * records; the earlier ones stay valid for whoever still holds them.
 */
BIGNUM_API void bignum_init(void);

/** @} */

/**
 * @defgroup constants Shared constants
 * @brief Shared constants, null until bignum_init() has run. Read only.
 *
 * Each function returns the same record on every call (until bignum_init()
 * runs again). The records belong to the library: pass them as operands,
 * never as destinations, and do not free them.
 * @{
 */

/** @brief The shared constant 0. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_zero(void);
/** @brief The shared constant 1. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_one(void);
/** @brief The shared constant 2. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_two(void);
/** @brief The shared constant 3. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_three(void);
/** @brief The shared constant 4. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_four(void);
/** @brief The shared constant 5. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_five(void);
/** @brief The shared constant 6. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_six(void);
/** @brief The shared constant 7. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_seven(void);
/** @brief The shared constant 8. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_eight(void);
/** @brief The shared constant 9. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_nine(void);
/** @brief The shared constant 10. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_ten(void);
/** @brief The shared constant 11. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_eleven(void);
/** @brief The shared constant 12. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_twelve(void);
/** @brief The shared constant 13. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_thirteen(void);
/** @brief The shared constant 14. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_fourteen(void);
/** @brief The shared constant 15. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_fifteen(void);
/** @brief The shared constant 16. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_sixteen(void);
/** @brief The shared constant 17. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_seventeen(void);
/** @brief The shared constant 18. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_eighteen(void);
/** @brief The shared constant 19. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_nineteen(void);
/** @brief The shared constant 20. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_twenty(void);
/** @brief The shared constant 32. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_thirty_two(void);
/** @brief The shared constant 100. @return The record, or null before bignum_init(). */
BIGNUM_API bignum *bignum_one_hundred(void);

/** @} */

/**
 * @defgroup words Word-level operations
 * @brief Direct access to a record's words and storage.
 * @{
 */

/**
 * @brief Makes room for at least `want + 1` words.
 *
 * Nothing happens when `want` is below `size`. Otherwise `size` becomes
 * 2 `size` when that is at least `want`, else 2 `want`, at most 100000. The
 * words, `oofm` and the sign are kept.
 *
 * Errors: a `want` above 99999 prints
 * `__bignum_grow().. requested size of <want> exceeds max of 100000`; storage
 * that cannot be reallocated prints `__bignum_grow().. failed to realloc, <errno>`.
 * Either way the record is left as it was.
 *
 * @param bn The record to grow.
 * @param want The word index that must fit.
 */
BIGNUM_API void __bignum_grow(bignum *bn, uint64_t want);
/**
 * @brief Drops zero words from the top of the words in use (lowers `oofm`).
 * @param bn The record; its words and sign are not changed.
 */
BIGNUM_API void __bignum_trim(bignum *bn);
/**
 * @brief Stores word `i`, growing the storage as __bignum_grow() does when needed.
 *
 * `oofm` and the sign are not changed. An index above 99999 is ignored
 * silently; storage that cannot grow prints `__bignum_set().. failed to grow to <i + 1>`
 * (after the message of __bignum_grow()) and leaves the record alone.
 *
 * @param bn The record.
 * @param i The word index, 0 for the least significant word.
 * @param w The word to store.
 */
BIGNUM_API void __bignum_set(bignum *bn, uint64_t i, uint32_t w);
/**
 * @brief Reads word `i` of the magnitude.
 * @param bn The record.
 * @param i The word index, 0 for the least significant word.
 * @return Word `i`, or 0 when `i` is not below `oofm`.
 */
BIGNUM_API uint32_t __bignum_get(const bignum *bn, uint64_t i);
/**
 * @brief Sets a record to zero: every allocated word 0, `oofm` 0, sign 1.
 * @param bn The record; its storage (`size`) is kept.
 */
BIGNUM_API void __bignum_zero(bignum *bn);

/** @} */

/**
 * @defgroup assignment Assignment and the debug dump
 * @brief Giving a record a value, copying records, and printing one for debugging.
 * @{
 */

/**
 * @brief Sets a record to a non-negative machine integer.
 *
 * The record is cleared first (as by __bignum_zero()); it ends with sign 1 and
 * `oofm` 0, 1 or 2, the words the value needs.
 *
 * @param bn The record.
 * @param v The value.
 * @return `bn`.
 */
BIGNUM_API bignum *bignum_set(bignum *bn, uint64_t v);
/**
 * @brief Stores words given most significant first into a record that holds zero.
 *
 * Word `i` of the record becomes `words_msf[n - 1 - i]`; `oofm` becomes one
 * past the highest non-zero word written (all-zero words leave it as it was).
 * The sign and the words above `n` are not changed. The storage grows as
 * __bignum_set() grows it.
 *
 * @param bn The record, expected to hold zero.
 * @param n The number of words.
 * @param words_msf The words, most significant first.
 * @return `bn`.
 */
BIGNUM_API bignum *bignum_set_ui8(bignum *bn, uint64_t n, const uint32_t *words_msf);
/**
 * @brief Copies a record: its words in use, `oofm` and sign.
 *
 * The destination grows as needed, up to the full 100000 words. If its
 * storage cannot grow (the message of __bignum_grow() is printed) the copy
 * is cut to the words that fit. `dst` and `src` may be the same record; then
 * nothing happens.
 *
 * @param dst The destination, or null to copy into a new record.
 * @param src The record to copy.
 * @return `dst`, or the new record; null when a new record could not be made.
 */
BIGNUM_API bignum *bignum_set_bn(bignum *dst, const bignum *src);
/**
 * @brief Prints a record for debugging.
 *
 * Prints `bignum={sign=<sign>, oofm=<oofm>, size=<size>, numb=0x<words>}` and a
 * newline to standard output, the words in use from the top in upper-case
 * hexadecimal, eight digits and a space each (`0` when there are none). It
 * is printed even when bignum_set_messages() has turned messages off.
 *
 * @param bn The record.
 */
BIGNUM_API void bignum_print(const bignum *bn);

/** @} */

/**
 * @defgroup comparison Comparison
 * @brief Comparison: by sign marker first, then by magnitude (so -5 > -3).
 *
 * Two records with no words in use (`oofm` 0) are equal. Otherwise, when the
 * sign markers differ the negative one is smaller; when they are the same the
 * larger magnitude is the greater, whatever the sign, so two negative numbers
 * are ordered by magnitude. Top zero words do not count. A null argument
 * compares equal to anything.
 * @{
 */

/**
 * @brief Compares two records in the library's order.
 * @param a The first record; may be the same as `b`.
 * @param b The second record.
 * @return -1, 0 or 1 as `a` is less than, equal to or greater than `b`.
 */
BIGNUM_API int bignum_cmp(const bignum *a, const bignum *b);
/**
 * @brief Tests two records for equality in the library's order.
 * @param a The first record; may be the same as `b`.
 * @param b The second record.
 * @return 1 when bignum_cmp() returns 0, else 0.
 */
BIGNUM_API int bignum_eq(const bignum *a, const bignum *b);
/**
 * @brief Tests whether `a` is greater than `b` in the library's order.
 * @param a The first record; may be the same as `b`.
 * @param b The second record.
 * @return 1 when bignum_cmp() returns 1, else 0.
 */
BIGNUM_API int bignum_gt(const bignum *a, const bignum *b);
/**
 * @brief Tests whether `a` is less than `b` in the library's order.
 * @param a The first record; may be the same as `b`.
 * @param b The second record.
 * @return 1 when bignum_cmp() returns -1, else 0.
 */
BIGNUM_API int bignum_lt(const bignum *a, const bignum *b);
/**
 * @brief Tests a record for zero, looking at one word at most.
 *
 * An untrimmed zero of two or more words in use is not zero here; trim it
 * first with __bignum_trim().
 *
 * @param a The record.
 * @return 1 when `oofm` is 0, or 1 with word 0 zero; else 0.
 */
BIGNUM_API int bignum_iszero(const bignum *a);

/** @} */

/**
 * @defgroup arithmetic Arithmetic
 * @brief Arithmetic. The destination must be a record distinct from the operands.
 *
 * The destinations are cleared before the operands are read, so a
 * destination that is also an operand counts as zero. The operands may be the
 * same record. Operands are only read, never written, so several threads
 * may share them.
 *
 * A result beyond the word limit prints
 * `<function>().. result of <words> words exceeds max of 100000`, and the call
 * returns null.
 * @{
 */

/**
 * @brief Adds: `dst` = `a` + `b`.
 *
 * The sum is not trimmed: with equal signs it has as many words in use as
 * the longer operand (at least one), plus one for a carry; mixed signs become
 * a subtraction, whose result is as bignum_sub() leaves it. Zero has sign 1.
 *
 * Errors: a sum above the word limit prints
 * `bignum_add().. result of <words> words exceeds max of 100000`, leaves `dst`
 * at zero and returns null. Storage that cannot grow, or memory
 * that runs out, returns null.
 *
 * @param dst The destination, distinct from `a` and `b`.
 * @param a The first operand; may be the same record as `b`.
 * @param b The second operand.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_add(bignum *dst, bignum *a, bignum *b);
/**
 * @brief Subtracts: `dst` = `a` - `b`.
 *
 * A difference of magnitudes is trimmed; subtracting zero copies the other
 * operand as it is (`oofm` included, negated when it is `b`); equal operands
 * give zero. Mixed signs become an addition, whose result is as bignum_add()
 * leaves it.
 *
 * Errors: a result above the word limit prints
 * `bignum_sub().. result of <words> words exceeds max of 100000`, leaves `dst`
 * at zero and returns null. Storage that cannot grow, or memory
 * that runs out, returns null.
 *
 * @param dst The destination, distinct from `a` and `b`.
 * @param a The minuend; may be the same record as `b`.
 * @param b The subtrahend.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_sub(bignum *dst, bignum *a, bignum *b);
/**
 * @brief Multiplies: `dst` = `a` * `b`.
 *
 * The product is trimmed and negative when exactly one factor is; a zero
 * factor gives zero with sign 1. The same record twice squares it.
 *
 * Errors: a product above the word limit prints
 * `bignum_mul().. result of <words> words exceeds max of 100000`, leaves `dst`
 * at zero and returns null. Storage that cannot grow, or memory
 * that runs out, returns null.
 *
 * @param dst The destination, distinct from `a` and `b` (a factor that is also
 *            the destination counts as zero).
 * @param a The first factor; may be the same record as `b`.
 * @param b The second factor.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_mul(bignum *dst, bignum *a, bignum *b);
/**
 * @brief Divides: `q` = `divd` / `divs` and `r` = the remainder.
 *
 * The quotient of the magnitudes is rounded toward zero and is negative when
 * exactly one operand is (-7 / 2 = -3, 7 / -2 = -3). The remainder is that of
 * the magnitudes and never negative (-7 and 7 divided by 2 or -2 leave 1).
 * Both outputs are cleared before the operands are read; results are trimmed.
 *
 * Errors: a zero divisor prints `bignum_div().. division by zero`, leaves
 * `q` and `r` at zero and returns null.
 *
 * @param q The quotient, or null when it is not wanted; distinct from the
 *          other arguments.
 * @param r The remainder, or null when it is not wanted; distinct from the
 *          other arguments.
 * @param divd The dividend; may be the same record as `divs`.
 * @param divs The divisor.
 * @return `q` (null when `q` is null), or null on error.
 */
BIGNUM_API bignum *bignum_div(bignum *q, bignum *r, bignum *divd, bignum *divs);
/**
 * @brief Divides by a single word: by word 0 of `divs` alone.
 *
 * For non-negative operands: `q` is cleared and receives the quotient of the
 * magnitude of `divd` by word 0 of `divs` (sign 1); the remainder is written to
 * word 0 of `r` alone, with `oofm` set to 1 when it is not zero. `r` is not
 * cleared, so it should hold zero.
 *
 * Errors: a negative `divd` prints `bignum_div_aux().. divd is negative! `
 * followed by the dump of bignum_print(); a negative `divs` likewise
 * `bignum_div_aux().. divs is negative! `; both return null and change
 * nothing, and they are printed even with messages off. A zero word 0 of
 * `divs` prints `bignum_div_aux().. division by zero`, leaves `q` at zero and
 * returns null.
 *
 * @param q The quotient, or null; distinct from the other arguments.
 * @param r The remainder, or null; distinct from the other arguments.
 * @param divd The dividend, not negative.
 * @param divs The divisor; only its word 0 is used.
 * @return `q` (null when `q` is null), or null on error.
 */
BIGNUM_API bignum *bignum_div_aux(bignum *q, bignum *r, bignum *divd, bignum *divs);
/**
 * @brief Remainder: `r` = |`divd`| mod |`divs`|, never negative.
 *
 * As the remainder of bignum_div(): `r` is cleared before the operands are
 * read and the result is trimmed.
 *
 * Errors: a zero divisor prints `bignum_mod().. division by zero`, leaves `r`
 * at zero and returns null.
 *
 * @param r The remainder; distinct from `divd` and `divs`.
 * @param divd The dividend; may be the same record as `divs`.
 * @param divs The divisor.
 * @return `r` (null when `r` is null), or null on error.
 */
BIGNUM_API bignum *bignum_mod(bignum *r, bignum *divd, bignum *divs);
/**
 * @brief A right shift by a record's count whose value is always zero.
 *
 * The destination is cleared (as by __bignum_zero()) and returned; `src` and
 * `count` are not read beyond being checked for null.
 *
 * @param dst The destination, or null to make a new record.
 * @param src The record to shift; must not be null.
 * @param count The shift count; must not be null.
 * @return `dst` or the new record, holding zero; null when `src` or `count` is
 *         null or a new record could not be made.
 */
BIGNUM_API bignum *bignum_rshift_multi(bignum *dst, bignum *src, bignum *count);

/** @} */

/**
 * @defgroup text Text
 * @brief Reading numbers from digits and writing them as digits in a radix up to 36.
 * @{
 */

/**
 * @brief The digit characters of the text output, value 0 to 35:
 *        "0123456789abcdefghijklmnopqrstuvwxyz".
 *
 * bignum_cstr_base() writes its digits from the alphabet this points to at
 * the time of the call, so a caller may point it at another 36-character
 * alphabet.
 */
BIGNUM_API extern const char *BIGNUM_BASE_CHAR;
/**
 * @brief The digit value of every byte, as bignum_set_str() reads it: '0' to
 *        '9' are 0 to 9, 'a' to 'z' are 10 to 35, every other byte (upper-case
 *        letters included) is 0.
 */
BIGNUM_API extern const uint8_t BIGNUM_BASE_CHAR_INV[256];
/**
 * @brief Reads digits in a radix and adds their value to the destination.
 *
 * Every byte counts with its value in #BIGNUM_BASE_CHAR_INV, also at or above
 * the radix; there is no sign, so '-' counts as the digit 0. Radix 0 keeps only
 * the last byte's digit and radix 1 sums the digits. Callers normally pass a
 * destination holding zero: then it receives the value with sign 1 and at
 * least one word in use. Otherwise the value is added as by bignum_add().
 *
 * Errors: a radix above 36, a null or an empty text return null without a
 * message and leave `dst` alone. A value above the word limit prints
 * `bignum_set_str().. result of <words> words exceeds max of 100000`, leaves
 * `dst` at zero and returns null. Storage that cannot grow, or memory
 * that runs out, returns null.
 *
 * @param dst The destination, normally holding zero.
 * @param radix The radix, 0 to 36.
 * @param text The digits, most significant first, ending in a NUL byte.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_set_str(bignum *dst, uint32_t radix, const char *text);
/**
 * @brief Writes the digits of the magnitude in a radix into a buffer.
 *
 * The digits (no sign; "0" for zero) and a NUL byte are written into `buf`.
 * When they do not fit in `len` - 1 characters they are cut to the display
 * form "D.DDDx10^E": the leading digits cut (not rounded), then "x10^" and the
 * digit count less one in decimal, exactly `len` - 1 characters. The digits
 * come from #BIGNUM_BASE_CHAR. Nothing is written when `len` is 0 or below.
 * The record is not changed.
 *
 * @param bn The number.
 * @param len The size of `buf` in bytes, the NUL byte included.
 * @param buf The buffer of `len` bytes.
 * @param radix The radix, 2 to 36.
 * @return The total number of digits of the magnitude (1 for zero), whether
 *         or not they all fitted; -1 for a radix below 2, -2 for a radix above
 *         36 (then `buf` is not written); -3 when memory ran out (then `buf`
 *         holds the empty string when `len` is above 0).
 */
BIGNUM_API int32_t bignum_cstr_base(bignum *bn, int32_t len, char *buf, int32_t radix);
/**
 * @brief Like bignum_cstr_base(), into a new buffer of `len` + 1 bytes.
 *
 * The buffer is allocated with calloc() and filled as bignum_cstr_base()
 * fills a buffer of `len` bytes; for a radix outside 2 to 36 it holds the
 * empty string. Release it with free().
 *
 * @param bn The number.
 * @param len The buffer size handed to bignum_cstr_base().
 * @param radix The radix, 2 to 36.
 * @return The buffer; null when `len` is negative or memory could not be had.
 */
BIGNUM_API char *bignum_cstr_base2(bignum *bn, int32_t len, int32_t radix);
/**
 * @brief Writes the raw words in hexadecimal: "0x" and the words in use from the top.
 *
 * Each word is written as eight upper-case hexadecimal digits and a space;
 * no words in use give "0x0 ". The text is cut to `size` - 1 characters and
 * ends in a NUL byte; nothing is written when `size` is 0.
 *
 * @param bn The number.
 * @param size The size of `buf` in bytes.
 * @param buf The buffer.
 * @return The length of the whole text, whether or not it fitted.
 */
BIGNUM_API int32_t bignum_cstr(bignum *bn, size_t size, char *buf);

/** @} */

/**
 * @defgroup power Power, root and factorial
 * @brief Powers, integer roots and factorials.
 * @{
 */

/**
 * @brief Raises to a power: `dst` = `base` ^ `exponent`.
 *
 * Any base to the power 0 is 1 (0^0 too). The result is negative when the
 * base is negative and the exponent odd. A negative exponent truncates
 * 1 / `base` ^ |`exponent`|: 0 unless the base is 1 or -1. The result is
 * trimmed; one beyond the word limit is refused from its size before any work
 * is done.
 *
 * Errors: zero to a negative power prints `bignum_pow().. zero to a negative power`;
 * a result above the word limit prints
 * `bignum_pow().. result of <words> words exceeds max of 100000`. Both leave
 * `dst` at zero and return null.
 *
 * @param dst The destination, distinct from `base` (it may be `exponent`,
 *            which is read first).
 * @param base The base.
 * @param exponent The exponent.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_pow(bignum *dst, bignum *base, bignum *exponent);
/**
 * @brief Integer root: `dst` = the `degree`-th root of `radicand`, rounded toward zero.
 *
 * The floor of the root of the magnitude; an odd root of a negative number is
 * minus the root of its magnitude. The result is trimmed. The destination is
 * written once, at the end, so it may be either operand.
 *
 * Errors: a degree of zero or below prints `bignum_root().. degree must be at least 1`;
 * an even degree with a negative radicand prints
 * `bignum_root().. even root of a negative number`. Both return null and leave
 * `dst` as it was, as does memory that runs out.
 *
 * @param dst The destination; may be `degree` or `radicand`.
 * @param degree The degree, at least 1.
 * @param radicand The number whose root is taken.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_root(bignum *dst, bignum *degree, bignum *radicand);
/**
 * @brief Factorial: `dst` = `n`!.
 *
 * 0! = 1. The destination is cleared before `n` is read, so a record taken
 * into itself gives 0! = 1. A result beyond the word limit is refused from its
 * size before any work is done.
 *
 * Errors: a negative `n` prints `bignum_factorial().. factorial of a negative number`;
 * a result above the word limit prints
 * `bignum_factorial().. result of <words> words exceeds max of 100000`. Both
 * leave `dst` at zero and return null.
 *
 * @param dst The destination, distinct from `n`.
 * @param n The argument, not negative.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_factorial(bignum *dst, bignum *n);
/**
 * @brief Factorial, as bignum_factorial(); the messages name `bignum_factorial_poor`.
 *
 * Errors: `bignum_factorial_poor().. factorial of a negative number` and
 * `bignum_factorial_poor().. result of <words> words exceeds max of 100000`,
 * each leaving `dst` at zero and returning null.
 *
 * @param dst The destination, distinct from `n`.
 * @param n The argument, not negative.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_factorial_poor(bignum *dst, bignum *n);

/** @} */

/**
 * @defgroup numbertheory Number theory
 * @brief Greatest common divisor, Bezout coefficients and modular powers.
 *
 * The long loops of these functions can be stopped from another thread
 * through bignum_set_cancel_flag().
 * @{
 */

/**
 * @brief Greatest common divisor of the magnitudes: `dst` = gcd(|`a`|, |`b`|).
 *
 * Never negative; gcd(0, 0) = 0. With a zero operand the other one is copied
 * as it stands (untrimmed) with sign 1; otherwise the result is trimmed. The
 * destination is written last, so it may be one of the operands.
 *
 * Errors: a call stopped through bignum_set_cancel_flag() prints
 * `bignum_gcd().. cancelled`, leaves `dst` at zero and returns null.
 *
 * @param dst The destination; may be `a` or `b`.
 * @param a The first operand.
 * @param b The second operand.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_gcd(bignum *dst, bignum *a, bignum *b);
/**
 * @brief Extended Euclid: `g` = gcd(|`a`|, |`b`|) and `a` `x` + `b` `y` = `g`.
 *
 * For any signs; two zeros give `g` = `x` = `y` = 0. When `g` is 1, `x` is
 * an inverse of `a` modulo `b` (it may be negative; add |`b`| to bring it
 * into range). Results are trimmed; zero has sign 1. The inputs are read
 * before any output is touched, so outputs may be inputs.
 *
 * Errors: a call stopped through bignum_set_cancel_flag() prints
 * `bignum_modinv().. cancelled`, returns null and leaves `g`, `x` and `y` as
 * they were; so does memory that runs out.
 *
 * @param g The greatest common divisor, or null when it is not wanted.
 * @param x The coefficient of `a`, or null.
 * @param y The coefficient of `b`, or null.
 * @param a The first operand.
 * @param b The second operand.
 * @return `y` (null when `y` is null), or null on error.
 */
BIGNUM_API bignum *bignum_modinv(bignum *g, bignum *x, bignum *y, bignum *a, bignum *b);
/**
 * @brief Modular power: `dst` = `base` ^ `exponent` reduced into [0, |`modulus`|).
 *
 * A negative base or modulus acts as its magnitude; a negative exponent
 * raises the inverse of the base modulo the modulus. A modulus of 1 gives 0.
 * The result is trimmed, with sign 1.
 *
 * Errors, each leaving `dst` at zero and returning null:
 * - a zero modulus prints `bignum_modpow().. modulus is zero`;
 * - a negative exponent with a base that has no inverse prints
 *   `bignum_modpow().. base has no inverse modulo the modulus`;
 * - a call stopped through bignum_set_cancel_flag() prints `bignum_modpow().. cancelled`.
 *
 * @param dst The destination, distinct from the operands.
 * @param base The base.
 * @param exponent The exponent.
 * @param modulus The modulus, not zero.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_modpow(bignum *dst, bignum *base, bignum *exponent, bignum *modulus);

/** @} */

/**
 * @defgroup bits Bits and bytes of the magnitude
 * @brief Big-endian byte strings, bit tests, bit and byte lengths, and a small right shift.
 *
 * These functions look at the magnitude only; the sign marker is ignored and kept.
 * @{
 */

/**
 * @brief Writes the magnitude as bytes, most significant first.
 *
 * First the significant bytes of the top word in use (one byte for a zero top
 * word), then every lower word as four bytes. A record with no words in use
 * gives a single zero byte. bignum_bytelen() + 1 bytes always suffice.
 *
 * @param bn The number.
 * @param buf The buffer.
 * @return `buf`.
 */
BIGNUM_API uint8_t *bignum_getbytes(bignum *bn, uint8_t *buf);
/**
 * @brief Sets a record from bytes, most significant first.
 *
 * The destination is cleared first and ends with sign 1. It is not trimmed:
 * `oofm` becomes ceil(`len` / 4) whatever the leading bytes are. A `len` of 0
 * or below gives zero.
 *
 * Errors: more than 400000 bytes print
 * `bignum_setbytes().. result of <words> words exceeds max of 100000` and
 * return null, `dst` left at zero. Storage that cannot grow, or memory
 * that runs out, returns null.
 *
 * @param dst The destination.
 * @param buf The bytes.
 * @param len The number of bytes.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_setbytes(bignum *dst, const uint8_t *buf, int32_t len);
/**
 * @brief The least significant word of the magnitude.
 * @param bn The number, or null.
 * @return Word 0; 0 for null or a record with no words in use.
 */
BIGNUM_API uint32_t bignum_get_uint32(bignum *bn);
/**
 * @brief The number of bits of the magnitude, counted from the top word in use.
 * @param bn The number.
 * @return The bit length; 0 for zero (as bignum_iszero() sees it) and for a
 *         record whose top word in use is zero.
 */
BIGNUM_API uint64_t bignum_bitlen(bignum *bn);
/**
 * @brief The number of bytes of the magnitude, counted from the top word in use.
 * @param bn The number.
 * @return 4 (`oofm` - 1) plus the significant bytes of the top word in use; 0
 *         for a record with no words in use.
 */
BIGNUM_API uint64_t bignum_bytelen(bignum *bn);
/**
 * @brief Tests one bit of the magnitude.
 * @param bn The number.
 * @param bit_from_1 The bit, numbered from 1 for the least significant bit of word 0.
 * @return 1 when the bit is set; 0 when it is clear, for bit 0, and for bits
 *         beyond the words in use.
 */
BIGNUM_API int bignum_isbitset(bignum *bn, uint64_t bit_from_1);
/**
 * @brief The position of the lowest set bit of the magnitude.
 * @param bn The number.
 * @return The bit index counted from 0 (unlike bignum_isbitset()); -1 when no
 *         bit of the words in use is set.
 */
BIGNUM_API int64_t bignum_lowest_set_bit(bignum *bn);
/**
 * @brief Shifts the magnitude right in place by less than a word.
 *
 * Only `count` mod 32 counts. `oofm` and the sign stay, so the top word in use
 * may become zero.
 *
 * @param bn The number, changed in place.
 * @param count The shift count; only its remainder modulo 32 is used.
 * @return `bn`.
 */
BIGNUM_API bignum *bignum_rshift(bignum *bn, uint64_t count);

/** @} */

/**
 * @defgroup thread The calling thread's side of long computations
 * @brief Messages and cancellation, per thread.
 *
 * bignum_last_message: the last diagnostic line this thread's calls printed,
 * without `<function>().. ` and the newline ("" before the first). It lets a
 * caller show why a call returned null without parsing standard output.
 *
 * bignum_set_cancel_flag: from now on, the long loops of bignum_gcd,
 * bignum_modinv and bignum_modpow called on this thread read *flag now and then
 * (another thread sets it with an atomic store); once it is non-zero the call
 * prints "cancelled" as its message and returns null: bignum_gcd and
 * bignum_modpow leave their destination at zero, bignum_modinv leaves g, x
 * and y as they were. Null, the default, turns checking off. A thread that never
 * calls this sees no change in any function.
 *
 * bignum_set_messages: whether this thread's calls print their diagnostic
 * lines. Zero turns printing off, non-zero back on; on is the default, so a
 * thread that never calls this prints every line. With printing off a call
 * still returns null where it could not produce a result, and
 * bignum_last_message still holds the text it would have printed. Returns
 * the setting it replaces (1 on, 0 off), so a caller can put it back. The
 * debug dumps of bignum_print and bignum_div_aux are not diagnostic lines.
 * @{
 */

/**
 * @brief The text of the last diagnostic line this thread's calls reported.
 *
 * Without `<function>().. ` and the newline, e.g. "division by zero"; kept
 * whether or not printing is on.
 *
 * @return The text, "" before the first line; valid until this thread's next
 *         call reports a line.
 */
BIGNUM_API const char *bignum_last_message(void);
/**
 * @brief Turns this thread's diagnostic lines on or off.
 * @param on Zero turns printing off, non-zero back on.
 * @return The setting replaced: 1 for on, 0 for off.
 */
BIGNUM_API int bignum_set_messages(int on);
/**
 * @brief Sets the flag that stops this thread's long gcd, modinv and modpow calls.
 * @param flag The flag, read now and then with an atomic load; once non-zero a
 *             running call prints "cancelled" and returns null. Null turns
 *             checking off.
 */
BIGNUM_API void bignum_set_cancel_flag(const int *flag);

/** @} */

/**
 * @defgroup random Random numbers
 * @brief Random numbers from the C library's random()
 *
 * One call of random() per word; the generator is never seeded here. Results
 * are not trimmed and the destination's sign marker is kept.
 * @{
 */

/**
 * @brief Fills words 0 to `words` - 1 with random words; `oofm` becomes `words`.
 *
 * Errors: more than 100000 words print
 * `bignum_rnd_mag().. result of <words> words exceeds max of 100000`, leave
 * `dst` at zero and return null. Storage that cannot grow, or memory
 * that runs out, returns null.
 *
 * @param dst The destination.
 * @param words The number of words.
 * @return `dst`, or null on error.
 */
BIGNUM_API bignum *bignum_rnd_mag(bignum *dst, uint64_t words);
/**
 * @brief A random magnitude below a bound, into a destination holding zero.
 *
 * The bound is trimmed in place (__bignum_trim()). The destination gets as many
 * random words as the bound has, the top one reduced below the bound's top word
 * by one more draw; `oofm` is one past the highest non-zero word drawn before
 * that reduction. A zero bound leaves `dst` alone.
 *
 * @param dst The destination, expected to hold zero.
 * @param bound The bound, not zero; trimmed in place.
 * @return `dst`, or null when its storage cannot grow.
 */
BIGNUM_API bignum *bignum_rnd_max(bignum *dst, bignum *bound);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* KARVO_BIGNUM_H */
