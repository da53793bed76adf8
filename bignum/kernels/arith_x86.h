// Product rows for x86-64 processors with BMI2 and ADX: mulx leaves the flags
// alone, so one carry chain (CF, adcx) adds the high halves of the products
// while a second (OF, adox) adds the old limbs of r. Loops count with lea and
// jrcxz, which keep both chains intact. Four limbs per pass, any length. The
// loops step their pointers rather than index them from one counter: on
// Zen 4 a 16-limb row took 14.7 ns indexed and 11.3 ns stepped.
#pragma once

#include <cstdlib>

#include "kernels/isa.h"
#include "kernels/limb.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define KARVO_HAVE_X86_ROWS 1

namespace karvo::kernel::x86 {

// Whether the rows below run: see kernels/isa.h.
inline bool has_rows() { return kernel::has_rows(); }

// A product row of any length n >= 1: four limbs a pass, the pointers to a
// and r stepped by a pass and rcx counting the passes left; when n is not a
// multiple of 4 the pointers start `skip` limbs back and the first pass is
// entered part-way, so no limb goes to a slower loop. The high halves
// alternate between two registers, both zero at the start, whichever step is
// entered. Each step:
//   lo:hi = a[k] w;  lo += the previous high (CF);  [lo += r[k] (OF);]  r[k] = lo
// An xor before each entry clears CF and OF; the last step leaves the final
// high half in h0, to which the flags' carries are added.
//
// The jump into step `skip` of the first pass: `back(s)` moves the pointers
// s limbs back, and `setup` (which sets the flags) comes before each of the
// four entries.
// clang-format off
#define KARVO_X86_ENTRY(setup, back)                                            \
    "cmp $2, %[skip]\n\t"                                                       \
    "je 12f\n\t"                                                                \
    "ja 13f\n\t"                                                                \
    "test %[skip], %[skip]\n\t"                                                 \
    "jnz 11f\n\t"                                                               \
    setup                                                                       \
    "jmp 0f\n"                                                                  \
    "11:\n\t"                                                                   \
    back(1) setup                                                               \
    "jmp 1f\n"                                                                  \
    "12:\n\t"                                                                   \
    back(2) setup                                                               \
    "jmp 2f\n"                                                                  \
    "13:\n\t"                                                                   \
    back(3) setup                                                               \
    "jmp 3f\n"                                                                  \
    ".p2align 4\n"
#define KARVO_X86_BACK_AR(s)                                                    \
    "lea -8*" #s "(%[a]), %[a]\n\t"                                             \
    "lea -8*" #s "(%[r]), %[r]\n\t"
#define KARVO_X86_ROW_PRODUCT(k, high_in, high_out)                             \
    "mulx " #k "*8(%[a]), %[lo], %[" #high_out "]\n\t"                          \
    "adcx %[" #high_in "], %[lo]\n\t"
#define KARVO_X86_ROW_ADD(k) "adox " #k "*8(%[r]), %[lo]\n\t"
#define KARVO_X86_ROW_STORE(k) "mov %[lo], " #k "*8(%[r])\n\t"
#define KARVO_X86_ROW_NEXT                                                      \
    "lea 32(%[a]), %[a]\n\t"                                                    \
    "lea 32(%[r]), %[r]\n\t"                                                    \
    "lea -1(%[passes]), %[passes]\n\t"                                          \
    "jrcxz 9f\n\t"                                                              \
    "jmp 0b\n"                                                                  \
    "9:\n\t"                                                                    \
    "mov $0, %k[lo]\n\t"                                                        \
    "adcx %[lo], %[h0]\n\t"
// clang-format on

// One row function: `setup` sets the flags at the entry, `op(k)` is what
// happens to the sum before it is stored (nothing, add r[k], subtract it from
// r[k]), `finish` adds the flags' last carries, `result` is the carry limb.
// clang-format off
#define KARVO_X86_ROW_NONE(k)
#define KARVO_X86_ROW_SUB(k) "not %[lo]\n\t" KARVO_X86_ROW_ADD(k)
#define KARVO_X86_ROW_FUNCTION(name, setup, op, finish, result)                 \
    inline Limb name(Limb *r, const Limb *a, size_t n, Limb w) {               \
        const size_t skip = (4 - n % 4) % 4;                                    \
        size_t passes = (n + skip) / 4;                                         \
        Limb lo, h0 = 0, h1 = 0, one = 1;                                       \
        __asm__ volatile(KARVO_X86_ENTRY(setup, KARVO_X86_BACK_AR)              \
                         "0:\n\t" KARVO_X86_ROW_PRODUCT(0, h0, h1) op(0) KARVO_X86_ROW_STORE(0) \
                         "1:\n\t" KARVO_X86_ROW_PRODUCT(1, h1, h0) op(1) KARVO_X86_ROW_STORE(1) \
                         "2:\n\t" KARVO_X86_ROW_PRODUCT(2, h0, h1) op(2) KARVO_X86_ROW_STORE(2) \
                         "3:\n\t" KARVO_X86_ROW_PRODUCT(3, h1, h0) op(3) KARVO_X86_ROW_STORE(3) \
                         KARVO_X86_ROW_NEXT finish                              \
                         : [passes] "+c"(passes), [lo] "=&r"(lo), [h0] "+r"(h0),  \
                           [h1] "+r"(h1), [one] "+r"(one), [a] "+r"(a), [r] "+r"(r) \
                         : [skip] "r"(skip), "d"(w)                             \
                         : "cc", "memory");                                     \
        return result;                                                          \
    }

// r = a * w over n >= 1 limbs; returns the carry limb.
KARVO_X86_ROW_FUNCTION(mul_1, "xor %k[lo], %k[lo]\n\t", KARVO_X86_ROW_NONE, "", h0)
// r += a * w over n >= 1 limbs; returns the carry limb.
KARVO_X86_ROW_FUNCTION(addmul_1, "xor %k[lo], %k[lo]\n\t", KARVO_X86_ROW_ADD,
                       "adox %[lo], %[h0]\n\t", h0)
// r -= a * w over n >= 1 limbs; returns the borrow limb. The products with
// their carries are summed along CF as in addmul_1; r - t is r + ~t + 1, so
// each sum is complemented (not leaves the flags alone) and added to r along
// OF, which the entry sets: the xor clears CF and OF, 1 + (2^64 - 1) sets OF.
// OF at the end is 1 when nothing was borrowed; `one`, 0 by then, takes it,
// and the borrow is h0 + 1 - OF.
KARVO_X86_ROW_FUNCTION(submul_1,
                       "mov $-1, %[lo]\n\t"
                       "xor %k[h1], %k[h1]\n\t"
                       "adox %[lo], %[one]\n\t",
                       KARVO_X86_ROW_SUB, "adox %[one], %[one]\n\t", h0 + 1 - one)
// clang-format on
#undef KARVO_X86_ROW_FUNCTION
#undef KARVO_X86_ROW_NONE
#undef KARVO_X86_ROW_SUB
#undef KARVO_X86_ROW_PRODUCT
#undef KARVO_X86_ROW_ADD
#undef KARVO_X86_ROW_STORE
#undef KARVO_X86_ROW_NEXT
#undef KARVO_X86_BACK_AR

// r = 2 r + the squares a[i]^2 at limb 2i over n >= 1 limbs of a, r holding
// 2n limbs with its top bit clear: adcx of a limb to itself doubles it along
// the CF chain, and adox adds the squares along the OF chain.
inline void add_diagonal(Limb *r, const Limb *a, size_t n) {
    size_t count = n;
    Limb lo, hi, t0, t1;
    __asm__ volatile("xor %k[t0], %k[t0]\n\t"
                     "1:\n\t"
                     "mov (%[a]), %%rdx\n\t"
                     "mulx %%rdx, %[lo], %[hi]\n\t"
                     "mov (%[r]), %[t0]\n\t"
                     "mov 8(%[r]), %[t1]\n\t"
                     "adcx %[t0], %[t0]\n\t"
                     "adcx %[t1], %[t1]\n\t"
                     "adox %[lo], %[t0]\n\t"
                     "adox %[hi], %[t1]\n\t"
                     "mov %[t0], (%[r])\n\t"
                     "mov %[t1], 8(%[r])\n\t"
                     "lea 8(%[a]), %[a]\n\t"
                     "lea 16(%[r]), %[r]\n\t"
                     "lea -1(%[count]), %[count]\n\t"
                     "jrcxz 2f\n\t"
                     "jmp 1b\n"
                     "2:\n\t"
                     : [count] "+c"(count), [r] "+r"(r), [a] "+r"(a), [lo] "=&r"(lo),
                       [hi] "=&r"(hi), [t0] "=&r"(t0), [t1] "=&r"(t1)
                     :
                     : "rdx", "cc", "memory");
}

// r = a^2 for eight limbs, unrolled: a fixed length needs no entry jumps or
// loop counters, which at this size cost about as much as the products. The
// off-diagonal products go row by row into r[1..14] as in the rows above
// (CF carries the high halves, OF the sums with r), then r doubles along CF
// while the squares come in along OF. z is kept zero; xor-ing it with itself
// clears both flags before each row.
// clang-format off
#define KARVO_X86_SQR8_START(i)                                                 \
    "xor %k[z], %k[z]\n\t"                                                      \
    "mov " #i "*8(%[a]), %%rdx\n\t"
// Row 0 writes its products; the other rows add theirs to r.
#define KARVO_X86_SQR8_FIRST0(j, hout)                                          \
    "mulx " #j "*8(%[a]), %[lo], %[" #hout "]\n\t"                              \
    "mov %[lo], " #j "*8(%[r])\n\t"
#define KARVO_X86_SQR8_STEP0(j, hin, hout)                                      \
    "mulx " #j "*8(%[a]), %[lo], %[" #hout "]\n\t"                              \
    "adcx %[" #hin "], %[lo]\n\t"                                               \
    "mov %[lo], " #j "*8(%[r])\n\t"
#define KARVO_X86_SQR8_FIRST(i, j, hout)                                        \
    "mulx " #j "*8(%[a]), %[lo], %[" #hout "]\n\t"                              \
    "adox (" #i "+" #j ")*8(%[r]), %[lo]\n\t"                                    \
    "mov %[lo], (" #i "+" #j ")*8(%[r])\n\t"
#define KARVO_X86_SQR8_STEP(i, j, hin, hout)                                    \
    "mulx " #j "*8(%[a]), %[lo], %[" #hout "]\n\t"                              \
    "adcx %[" #hin "], %[lo]\n\t"                                               \
    "adox (" #i "+" #j ")*8(%[r]), %[lo]\n\t"                                    \
    "mov %[lo], (" #i "+" #j ")*8(%[r])\n\t"
// The row's last high half takes both chains' carries into limb i + 8.
#define KARVO_X86_SQR8_END(i, hin)                                              \
    "adcx %[z], %[" #hin "]\n\t"                                                \
    "adox %[z], %[" #hin "]\n\t"                                                \
    "mov %[" #hin "], (" #i "+8)*8(%[r])\n\t"
// Limbs 2i and 2i + 1 (t0 and t1 loaded) doubled, plus a[i]^2.
#define KARVO_X86_SQR8_DIAGONAL(i)                                              \
    "mov " #i "*8(%[a]), %%rdx\n\t"                                             \
    "mulx %%rdx, %[lo], %[h0]\n\t"                                              \
    "adcx %[t0], %[t0]\n\t"                                                     \
    "adcx %[t1], %[t1]\n\t"                                                     \
    "adox %[lo], %[t0]\n\t"                                                     \
    "adox %[h0], %[t1]\n\t"                                                     \
    "mov %[t0], (2*" #i ")*8(%[r])\n\t"                                          \
    "mov %[t1], (2*" #i "+1)*8(%[r])\n\t"
#define KARVO_X86_SQR8_LOAD(i)                                                  \
    "mov (2*" #i ")*8(%[r]), %[t0]\n\t"                                          \
    "mov (2*" #i "+1)*8(%[r]), %[t1]\n\t"
// Rows 1 to 6 of the triangle, which add their products to r.
#define KARVO_X86_SQR8_ROWS_1_TO_6                                              \
    KARVO_X86_SQR8_START(1)                                                     \
    KARVO_X86_SQR8_FIRST(1, 2, h1) KARVO_X86_SQR8_STEP(1, 3, h1, h0)            \
    KARVO_X86_SQR8_STEP(1, 4, h0, h1) KARVO_X86_SQR8_STEP(1, 5, h1, h0)         \
    KARVO_X86_SQR8_STEP(1, 6, h0, h1) KARVO_X86_SQR8_STEP(1, 7, h1, h0)         \
    KARVO_X86_SQR8_END(1, h0)                                                   \
    KARVO_X86_SQR8_START(2)                                                     \
    KARVO_X86_SQR8_FIRST(2, 3, h1) KARVO_X86_SQR8_STEP(2, 4, h1, h0)            \
    KARVO_X86_SQR8_STEP(2, 5, h0, h1) KARVO_X86_SQR8_STEP(2, 6, h1, h0)         \
    KARVO_X86_SQR8_STEP(2, 7, h0, h1)                                           \
    KARVO_X86_SQR8_END(2, h1)                                                   \
    KARVO_X86_SQR8_START(3)                                                     \
    KARVO_X86_SQR8_FIRST(3, 4, h1) KARVO_X86_SQR8_STEP(3, 5, h1, h0)            \
    KARVO_X86_SQR8_STEP(3, 6, h0, h1) KARVO_X86_SQR8_STEP(3, 7, h1, h0)         \
    KARVO_X86_SQR8_END(3, h0)                                                   \
    KARVO_X86_SQR8_START(4)                                                     \
    KARVO_X86_SQR8_FIRST(4, 5, h1) KARVO_X86_SQR8_STEP(4, 6, h1, h0)            \
    KARVO_X86_SQR8_STEP(4, 7, h0, h1)                                           \
    KARVO_X86_SQR8_END(4, h1)                                                   \
    KARVO_X86_SQR8_START(5)                                                     \
    KARVO_X86_SQR8_FIRST(5, 6, h1) KARVO_X86_SQR8_STEP(5, 7, h1, h0)            \
    KARVO_X86_SQR8_END(5, h0)                                                   \
    KARVO_X86_SQR8_START(6)                                                     \
    KARVO_X86_SQR8_FIRST(6, 7, h1)                                              \
    KARVO_X86_SQR8_END(6, h1)
inline void sqr_8(Limb *r, const Limb *a) {
    Limb lo, h0, h1, z, t0, t1;
    __asm__ volatile(
        KARVO_X86_SQR8_START(0)
        KARVO_X86_SQR8_FIRST0(1, h1) KARVO_X86_SQR8_STEP0(2, h1, h0)
        KARVO_X86_SQR8_STEP0(3, h0, h1) KARVO_X86_SQR8_STEP0(4, h1, h0)
        KARVO_X86_SQR8_STEP0(5, h0, h1) KARVO_X86_SQR8_STEP0(6, h1, h0)
        KARVO_X86_SQR8_STEP0(7, h0, h1)
        "adcx %[z], %[h1]\n\t"
        "mov %[h1], 8*8(%[r])\n\t"
        KARVO_X86_SQR8_ROWS_1_TO_6
        // r[0] and r[15] were never written: the diagonal takes them as zero.
        "xor %k[z], %k[z]\n\t"
        "xor %k[t0], %k[t0]\n\t"
        "mov 8(%[r]), %[t1]\n\t"
        KARVO_X86_SQR8_DIAGONAL(0)
        KARVO_X86_SQR8_LOAD(1) KARVO_X86_SQR8_DIAGONAL(1)
        KARVO_X86_SQR8_LOAD(2) KARVO_X86_SQR8_DIAGONAL(2)
        KARVO_X86_SQR8_LOAD(3) KARVO_X86_SQR8_DIAGONAL(3)
        KARVO_X86_SQR8_LOAD(4) KARVO_X86_SQR8_DIAGONAL(4)
        KARVO_X86_SQR8_LOAD(5) KARVO_X86_SQR8_DIAGONAL(5)
        KARVO_X86_SQR8_LOAD(6) KARVO_X86_SQR8_DIAGONAL(6)
        "mov 14*8(%[r]), %[t0]\n\t"
        "mov %[z], %[t1]\n\t"
        KARVO_X86_SQR8_DIAGONAL(7)
        : [lo] "=&r"(lo), [h0] "=&r"(h0), [h1] "=&r"(h1), [z] "=&r"(z), [t0] "=&r"(t0),
          [t1] "=&r"(t1)
        : [a] "r"(a), [r] "r"(r)
        : "rdx", "cc", "memory");
}

// The off-diagonal products of eight limbs of a added into r, as rows 1 to 6
// of sqr_8 add theirs, row 0 included: the last eight rows of a longer
// square's triangle, whose short rows would cost more in entry and loop than
// in products. Limbs i + 8 are stored, not added: no earlier row reaches them.
inline void add_triangle_8(Limb *r, const Limb *a) {
    Limb lo, h0, h1, z;
    __asm__ volatile(
        KARVO_X86_SQR8_START(0)
        KARVO_X86_SQR8_FIRST(0, 1, h1) KARVO_X86_SQR8_STEP(0, 2, h1, h0)
        KARVO_X86_SQR8_STEP(0, 3, h0, h1) KARVO_X86_SQR8_STEP(0, 4, h1, h0)
        KARVO_X86_SQR8_STEP(0, 5, h0, h1) KARVO_X86_SQR8_STEP(0, 6, h1, h0)
        KARVO_X86_SQR8_STEP(0, 7, h0, h1)
        KARVO_X86_SQR8_END(0, h1)
        KARVO_X86_SQR8_ROWS_1_TO_6
        : [lo] "=&r"(lo), [h0] "=&r"(h0), [h1] "=&r"(h1), [z] "=&r"(z)
        : [a] "r"(a), [r] "r"(r)
        : "rdx", "cc", "memory");
}

// r = a b for eight limbs each, unrolled as sqr_8 is: eight full rows, one
// per limb of b, with the same steps.
#define KARVO_X86_MUL8_START(i)                                                 \
    "xor %k[z], %k[z]\n\t"                                                      \
    "mov " #i "*8(%[b]), %%rdx\n\t"
#define KARVO_X86_MUL8_ROW(i)                                                   \
    KARVO_X86_MUL8_START(i)                                                     \
    KARVO_X86_SQR8_FIRST(i, 0, h1) KARVO_X86_SQR8_STEP(i, 1, h1, h0)            \
    KARVO_X86_SQR8_STEP(i, 2, h0, h1) KARVO_X86_SQR8_STEP(i, 3, h1, h0)         \
    KARVO_X86_SQR8_STEP(i, 4, h0, h1) KARVO_X86_SQR8_STEP(i, 5, h1, h0)         \
    KARVO_X86_SQR8_STEP(i, 6, h0, h1) KARVO_X86_SQR8_STEP(i, 7, h1, h0)         \
    KARVO_X86_SQR8_END(i, h0)
inline void mul_8(Limb *r, const Limb *a, const Limb *b) {
    Limb lo, h0, h1, z;
    __asm__ volatile(
        KARVO_X86_MUL8_START(0)
        KARVO_X86_SQR8_FIRST0(0, h1) KARVO_X86_SQR8_STEP0(1, h1, h0)
        KARVO_X86_SQR8_STEP0(2, h0, h1) KARVO_X86_SQR8_STEP0(3, h1, h0)
        KARVO_X86_SQR8_STEP0(4, h0, h1) KARVO_X86_SQR8_STEP0(5, h1, h0)
        KARVO_X86_SQR8_STEP0(6, h0, h1) KARVO_X86_SQR8_STEP0(7, h1, h0)
        "adcx %[z], %[h0]\n\t"
        "mov %[h0], 8*8(%[r])\n\t"
        KARVO_X86_MUL8_ROW(1) KARVO_X86_MUL8_ROW(2) KARVO_X86_MUL8_ROW(3)
        KARVO_X86_MUL8_ROW(4) KARVO_X86_MUL8_ROW(5) KARVO_X86_MUL8_ROW(6)
        KARVO_X86_MUL8_ROW(7)
        : [lo] "=&r"(lo), [h0] "=&r"(h0), [h1] "=&r"(h1), [z] "=&r"(z)
        : [a] "r"(a), [b] "r"(b), [r] "r"(r)
        : "rdx", "cc", "memory");
}
// clang-format on
#undef KARVO_X86_MUL8_START
#undef KARVO_X86_MUL8_ROW
#undef KARVO_X86_SQR8_ROWS_1_TO_6
#undef KARVO_X86_SQR8_START
#undef KARVO_X86_SQR8_FIRST0
#undef KARVO_X86_SQR8_STEP0
#undef KARVO_X86_SQR8_FIRST
#undef KARVO_X86_SQR8_STEP
#undef KARVO_X86_SQR8_END
#undef KARVO_X86_SQR8_DIAGONAL
#undef KARVO_X86_SQR8_LOAD

// r = a + b (or a - b) over n >= 1 limbs; returns the carry (borrow). Like
// the product rows: four limbs a pass, the pointers stepped, entered part-way
// into the first pass when n is not a multiple of 4. The entries clear CF
// with xor, which the jumps after it keep.
// clang-format off
#define KARVO_X86_BACK_ABR(s)                                                   \
    "lea -8*" #s "(%[a]), %[a]\n\t"                                             \
    "lea -8*" #s "(%[b]), %[b]\n\t"                                             \
    "lea -8*" #s "(%[r]), %[r]\n\t"
#define KARVO_X86_SUM_STEP(k, op)                                               \
    "mov " #k "*8(%[a]), %[t]\n\t"                                              \
    op " " #k "*8(%[b]), %[t]\n\t"                                              \
    "mov %[t], " #k "*8(%[r])\n\t"
#define KARVO_X86_SUM(name, op)                                                 \
    inline Limb name(Limb *r, const Limb *a, const Limb *b, size_t n) {         \
        const size_t skip = (4 - n % 4) % 4;                                    \
        size_t passes = (n + skip) / 4;                                         \
        Limb t, carry;                                                          \
        __asm__ volatile(KARVO_X86_ENTRY("xor %k[t], %k[t]\n\t", KARVO_X86_BACK_ABR) \
                         "0:\n\t" KARVO_X86_SUM_STEP(0, op)                     \
                         "1:\n\t" KARVO_X86_SUM_STEP(1, op)                     \
                         "2:\n\t" KARVO_X86_SUM_STEP(2, op)                     \
                         "3:\n\t" KARVO_X86_SUM_STEP(3, op)                     \
                         "lea 32(%[a]), %[a]\n\t"                               \
                         "lea 32(%[b]), %[b]\n\t"                               \
                         "lea 32(%[r]), %[r]\n\t"                               \
                         "lea -1(%[passes]), %[passes]\n\t"                     \
                         "jrcxz 9f\n\t"                                         \
                         "jmp 0b\n"                                             \
                         "9:\n\t"                                               \
                         "setc %b[carry]\n\t"                                   \
                         : [passes] "+c"(passes), [t] "=&r"(t), [carry] "=&q"(carry), \
                           [a] "+r"(a), [b] "+r"(b), [r] "+r"(r)                \
                         : [skip] "r"(skip)                                     \
                         : "cc", "memory");                                     \
        return carry & 1;                                                       \
    }
// clang-format on
KARVO_X86_SUM(add_n, "adc")
KARVO_X86_SUM(sub_n, "sbb")
#undef KARVO_X86_SUM
#undef KARVO_X86_SUM_STEP
#undef KARVO_X86_BACK_ABR
#undef KARVO_X86_ENTRY

} // namespace karvo::kernel::x86
#else
namespace karvo::kernel::x86 {
inline bool has_rows() { return false; }
} // namespace karvo::kernel::x86
#endif
