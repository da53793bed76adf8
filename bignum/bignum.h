/*
 * Karvo: signed integers of up to 100000 32-bit words behind a flat C interface.
 *
 * A function writes its result into the destination record passed first and
 * returns that record. Trouble is reported as one line on standard output,
 * "<function>().. <text>", and the function returns null where it could not
 * produce a result. Call bignum_init() once before anything else.
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
#define BIGNUM_API __attribute__((visibility("default")))
#endif

/* The largest number of words a record can hold. */
#define BIGNUM_MAX_WORDS 100000

typedef struct bignum {
    uint8_t sign;   /* 1 for zero and positive values, 2 for negative ones */
    uint64_t oofm;  /* words in use; the value need not be trimmed */
    uint64_t wsize; /* bytes per word: 4 */
    uint64_t size;  /* words allocated: 10 at creation, doubling, at most 100000 */
    uint64_t wbase; /* the word base 2^32 */
    uint32_t *numb; /* the magnitude, least significant word first */
} bignum;

/* Records and storage */
BIGNUM_API bignum *bignum_alloc(void);
BIGNUM_API void bignum_free(bignum *bn);
BIGNUM_API void bignum_init(void);

/* Shared constants, null until bignum_init() has run. Read only. */
BIGNUM_API bignum *bignum_zero(void);
BIGNUM_API bignum *bignum_one(void);
BIGNUM_API bignum *bignum_two(void);
BIGNUM_API bignum *bignum_three(void);
BIGNUM_API bignum *bignum_four(void);
BIGNUM_API bignum *bignum_five(void);
BIGNUM_API bignum *bignum_six(void);
BIGNUM_API bignum *bignum_seven(void);
BIGNUM_API bignum *bignum_eight(void);
BIGNUM_API bignum *bignum_nine(void);
BIGNUM_API bignum *bignum_ten(void);
BIGNUM_API bignum *bignum_eleven(void);
BIGNUM_API bignum *bignum_twelve(void);
BIGNUM_API bignum *bignum_thirteen(void);
BIGNUM_API bignum *bignum_fourteen(void);
BIGNUM_API bignum *bignum_fifteen(void);
BIGNUM_API bignum *bignum_sixteen(void);
BIGNUM_API bignum *bignum_seventeen(void);
BIGNUM_API bignum *bignum_eighteen(void);
BIGNUM_API bignum *bignum_nineteen(void);
BIGNUM_API bignum *bignum_twenty(void);
BIGNUM_API bignum *bignum_thirty_two(void);
BIGNUM_API bignum *bignum_one_hundred(void);

/* Word-level operations */
BIGNUM_API void __bignum_grow(bignum *bn, uint64_t want);
BIGNUM_API void __bignum_trim(bignum *bn);
BIGNUM_API void __bignum_set(bignum *bn, uint64_t i, uint32_t w);
BIGNUM_API uint32_t __bignum_get(const bignum *bn, uint64_t i);
BIGNUM_API void __bignum_zero(bignum *bn);

/* Assignment and the debug dump */
BIGNUM_API bignum *bignum_set(bignum *bn, uint64_t v);
BIGNUM_API bignum *bignum_set_ui8(bignum *bn, uint64_t n, const uint32_t *words_msf);
BIGNUM_API bignum *bignum_set_bn(bignum *dst, const bignum *src);
BIGNUM_API void bignum_print(const bignum *bn);

/* Comparison: by sign marker first, then by magnitude (so -5 > -3) */
BIGNUM_API int bignum_cmp(const bignum *a, const bignum *b);
BIGNUM_API int bignum_eq(const bignum *a, const bignum *b);
BIGNUM_API int bignum_gt(const bignum *a, const bignum *b);
BIGNUM_API int bignum_lt(const bignum *a, const bignum *b);
BIGNUM_API int bignum_iszero(const bignum *a);

/* Arithmetic. The destination must be a record distinct from the operands. */
BIGNUM_API bignum *bignum_add(bignum *dst, bignum *a, bignum *b);
BIGNUM_API bignum *bignum_sub(bignum *dst, bignum *a, bignum *b);
BIGNUM_API bignum *bignum_mul(bignum *dst, bignum *a, bignum *b);
BIGNUM_API bignum *bignum_div(bignum *q, bignum *r, bignum *divd, bignum *divs);
BIGNUM_API bignum *bignum_div_aux(bignum *q, bignum *r, bignum *divd, bignum *divs);
BIGNUM_API bignum *bignum_mod(bignum *r, bignum *divd, bignum *divs);
BIGNUM_API bignum *bignum_rshift_multi(bignum *dst, bignum *src, bignum *count);

/* Text */
BIGNUM_API extern const char *BIGNUM_BASE_CHAR;
BIGNUM_API extern const uint8_t BIGNUM_BASE_CHAR_INV[256];
BIGNUM_API bignum *bignum_set_str(bignum *dst, uint32_t radix, const char *text);
BIGNUM_API int32_t bignum_cstr_base(bignum *bn, int32_t len, char *buf, int32_t radix);
BIGNUM_API char *bignum_cstr_base2(bignum *bn, int32_t len, int32_t radix);
BIGNUM_API int32_t bignum_cstr(bignum *bn, size_t size, char *buf);

/* Power, root and factorial */
BIGNUM_API bignum *bignum_pow(bignum *dst, bignum *base, bignum *exponent);
BIGNUM_API bignum *bignum_root(bignum *dst, bignum *degree, bignum *radicand);
BIGNUM_API bignum *bignum_factorial(bignum *dst, bignum *n);
BIGNUM_API bignum *bignum_factorial_poor(bignum *dst, bignum *n);

/* Number theory */
BIGNUM_API bignum *bignum_gcd(bignum *dst, bignum *a, bignum *b);
BIGNUM_API bignum *bignum_modinv(bignum *g, bignum *x, bignum *y, bignum *a, bignum *b);
BIGNUM_API bignum *bignum_modpow(bignum *dst, bignum *base, bignum *exponent, bignum *modulus);

/* Bits and bytes of the magnitude */
BIGNUM_API uint8_t *bignum_getbytes(bignum *bn, uint8_t *buf);
BIGNUM_API bignum *bignum_setbytes(bignum *dst, const uint8_t *buf, int32_t len);
BIGNUM_API uint32_t bignum_get_uint32(bignum *bn);
BIGNUM_API uint64_t bignum_bitlen(bignum *bn);
BIGNUM_API uint64_t bignum_bytelen(bignum *bn);
BIGNUM_API int bignum_isbitset(bignum *bn, uint64_t bit_from_1);
BIGNUM_API int64_t bignum_lowest_set_bit(bignum *bn);
BIGNUM_API bignum *bignum_rshift(bignum *bn, uint64_t count);

/*
 * The calling thread's side of long computations.
 *
 * bignum_last_message: the last diagnostic line this thread's calls printed,
 * without "<function>().. " and the newline ("" before the first). It lets a
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
 */
BIGNUM_API const char *bignum_last_message(void);
BIGNUM_API int bignum_set_messages(int on);
BIGNUM_API void bignum_set_cancel_flag(const int *flag);

/* Random numbers from the C library's random() */
BIGNUM_API bignum *bignum_rnd_mag(bignum *dst, uint64_t words);
BIGNUM_API bignum *bignum_rnd_max(bignum *dst, bignum *bound);

#ifdef __cplusplus
}
#endif

#endif /* KARVO_BIGNUM_H */
