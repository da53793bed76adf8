// Product rows for x86-64 processors with BMI2 and ADX: mulx leaves the flags
// alone, so one carry chain (CF, adcx) adds the high halves of the products
// while a second (OF, adox) adds the old limbs of r. Loops count with lea and
// jrcxz, which keep both chains intact. Four limbs per pass; callers hand the
// first n mod 4 limbs to the portable loops.
#pragma once

#include <cstdlib>

#include "kernels/isa.h"
#include "kernels/limb.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define KARVO_HAVE_X86_ROWS 1

namespace karvo::kernel::x86 {

// Whether the rows below run: see kernels/isa.h.
inline bool has_rows() { return kernel::has_rows(); }

// r = a * w + carry over n limbs, n a positive multiple of 4; returns the
// carry limb.
inline Limb mul_1(Limb *r, const Limb *a, size_t n, Limb w, Limb carry) {
    Limb lo0, hi0, lo1, passes = -(n / 4);
    __asm__ volatile("xor %k[lo0], %k[lo0]\n\t" // clears CF and OF
                     "1:\n\t"
                     "mulx (%[a]), %[lo0], %[hi0]\n\t"
                     "adcx %[c], %[lo0]\n\t"
                     "mov %[lo0], (%[r])\n\t"
                     "mulx 8(%[a]), %[lo1], %[c]\n\t"
                     "adcx %[hi0], %[lo1]\n\t"
                     "mov %[lo1], 8(%[r])\n\t"
                     "mulx 16(%[a]), %[lo0], %[hi0]\n\t"
                     "adcx %[c], %[lo0]\n\t"
                     "mov %[lo0], 16(%[r])\n\t"
                     "mulx 24(%[a]), %[lo1], %[c]\n\t"
                     "adcx %[hi0], %[lo1]\n\t"
                     "mov %[lo1], 24(%[r])\n\t"
                     "lea 32(%[a]), %[a]\n\t"
                     "lea 32(%[r]), %[r]\n\t"
                     "lea 1(%[n]), %[n]\n\t"
                     "jrcxz 2f\n\t"
                     "jmp 1b\n"
                     "2:\n\t"
                     "mov $0, %k[lo0]\n\t"
                     "adcx %[lo0], %[c]\n\t"
                     : [r] "+r"(r), [a] "+r"(a), [n] "+c"(passes), [c] "+r"(carry),
                       [lo0] "=&r"(lo0), [hi0] "=&r"(hi0), [lo1] "=&r"(lo1)
                     : "d"(w)
                     : "cc", "memory");
    return carry;
}

// r += a * w + carry over n limbs, n a positive multiple of 4; returns the
// carry limb.
inline Limb addmul_1(Limb *r, const Limb *a, size_t n, Limb w, Limb carry) {
    Limb lo0, hi0, lo1, passes = -(n / 4);
    __asm__ volatile("xor %k[lo0], %k[lo0]\n\t"
                     "1:\n\t"
                     "mulx (%[a]), %[lo0], %[hi0]\n\t"
                     "adcx %[c], %[lo0]\n\t"
                     "adox (%[r]), %[lo0]\n\t"
                     "mov %[lo0], (%[r])\n\t"
                     "mulx 8(%[a]), %[lo1], %[c]\n\t"
                     "adcx %[hi0], %[lo1]\n\t"
                     "adox 8(%[r]), %[lo1]\n\t"
                     "mov %[lo1], 8(%[r])\n\t"
                     "mulx 16(%[a]), %[lo0], %[hi0]\n\t"
                     "adcx %[c], %[lo0]\n\t"
                     "adox 16(%[r]), %[lo0]\n\t"
                     "mov %[lo0], 16(%[r])\n\t"
                     "mulx 24(%[a]), %[lo1], %[c]\n\t"
                     "adcx %[hi0], %[lo1]\n\t"
                     "adox 24(%[r]), %[lo1]\n\t"
                     "mov %[lo1], 24(%[r])\n\t"
                     "lea 32(%[a]), %[a]\n\t"
                     "lea 32(%[r]), %[r]\n\t"
                     "lea 1(%[n]), %[n]\n\t"
                     "jrcxz 2f\n\t"
                     "jmp 1b\n"
                     "2:\n\t"
                     "mov $0, %k[lo0]\n\t"
                     "adcx %[lo0], %[c]\n\t"
                     "adox %[lo0], %[c]\n\t"
                     : [r] "+r"(r), [a] "+r"(a), [n] "+c"(passes), [c] "+r"(carry),
                       [lo0] "=&r"(lo0), [hi0] "=&r"(hi0), [lo1] "=&r"(lo1)
                     : "d"(w)
                     : "cc", "memory");
    return carry;
}

// r = a + b + carry (or a - b - borrow) over n limbs, n a positive multiple
// of 4; returns the carry (borrow).
#define KARVO_X86_ADD_SUB(name, op)                                                                \
    inline Limb name(Limb *r, const Limb *a, const Limb *b, size_t n, Limb carry) {                \
        Limb t0, t1, passes = -(n / 4);                                                            \
        __asm__ volatile("neg %[c]\n\t" /* CF = carry */                                           \
                         "1:\n\t"                                                                  \
                         "mov (%[a]), %[t0]\n\t"                                                   \
                         "mov 8(%[a]), %[t1]\n\t" op " (%[b]), %[t0]\n\t"                          \
                         "mov %[t0], (%[r])\n\t" op " 8(%[b]), %[t1]\n\t"                          \
                         "mov %[t1], 8(%[r])\n\t"                                                  \
                         "mov 16(%[a]), %[t0]\n\t"                                                 \
                         "mov 24(%[a]), %[t1]\n\t" op " 16(%[b]), %[t0]\n\t"                       \
                         "mov %[t0], 16(%[r])\n\t" op " 24(%[b]), %[t1]\n\t"                       \
                         "mov %[t1], 24(%[r])\n\t"                                                 \
                         "lea 32(%[a]), %[a]\n\t"                                                  \
                         "lea 32(%[b]), %[b]\n\t"                                                  \
                         "lea 32(%[r]), %[r]\n\t"                                                  \
                         "lea 1(%[n]), %[n]\n\t"                                                   \
                         "jrcxz 2f\n\t"                                                            \
                         "jmp 1b\n"                                                                \
                         "2:\n\t"                                                                  \
                         "mov $0, %k[c]\n\t"                                                       \
                         "adc $0, %k[c]\n\t"                                                       \
                         : [r] "+r"(r), [a] "+r"(a), [b] "+r"(b), [n] "+c"(passes),                \
                           [c] "+r"(carry), [t0] "=&r"(t0), [t1] "=&r"(t1)                         \
                         :                                                                         \
                         : "cc", "memory");                                                        \
        return carry;                                                                              \
    }
KARVO_X86_ADD_SUB(add_n, "adc")
KARVO_X86_ADD_SUB(sub_n, "sbb")
#undef KARVO_X86_ADD_SUB

} // namespace karvo::kernel::x86
#else
namespace karvo::kernel::x86 {
inline bool has_rows() { return false; }
} // namespace karvo::kernel::x86
#endif

namespace karvo::kernel::x86 {
// How many of n limbs the portable loop takes: all of them, or with the rows
// above only the n mod 4 that do not fill a pass. `rows` lets a caller that
// asked has_rows() once skip asking again in a hot loop.
inline size_t portable_head(size_t n, bool rows) { return n >= 4 && rows ? n % 4 : n; }
inline size_t portable_head(size_t n) { return portable_head(n, has_rows()); }
} // namespace karvo::kernel::x86
