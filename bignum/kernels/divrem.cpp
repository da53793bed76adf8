// Division: one 64-bit division per word for a single-word divisor, Knuth's
// Algorithm D (TAOCP 4.3.1) with a two-word quotient estimate otherwise.
#include <algorithm>
#include <bit>
#include <vector>

#include "kernels/kernels.h"

namespace karvo::kernel {

Word divrem_1(Word *q, const Word *a, size_t n, Word d) {
    DWord rem = 0;
    for (size_t i = n; i-- > 0;) {
        DWord t = (rem << kWordBits) | a[i];
        q[i] = Word(t / d);
        rem = t % d;
    }
    return Word(rem);
}

Word mod_1(const Word *a, size_t n, Word d) {
    DWord rem = 0;
    for (size_t i = n; i-- > 0;)
        rem = ((rem << kWordBits) | a[i]) % d;
    return Word(rem);
}

void divrem(Word *q, Word *r, const Word *a, size_t an, const Word *b, size_t bn) {
    const size_t m = an - bn;
    const unsigned s = unsigned(std::countl_zero(b[bn - 1]));
    // Normalise so that the divisor's top bit is set; u gets one word more.
    std::vector<Word> v(b, b + bn), u(an + 1);
    if (s != 0) {
        lshift(v.data(), b, bn, s);
        u[an] = lshift(u.data(), a, an, s);
    } else {
        std::copy(a, a + an, u.begin());
    }
    const DWord vtop = v[bn - 1], vnext = v[bn - 2];
    for (size_t j = m + 1; j-- > 0;) {
        const DWord num = (DWord(u[j + bn]) << kWordBits) | u[j + bn - 1];
        DWord qhat = num / vtop, rhat = num % vtop;
        while (qhat >> kWordBits || qhat * vnext > ((rhat << kWordBits) | u[j + bn - 2])) {
            --qhat;
            rhat += vtop;
            if (rhat >> kWordBits)
                break;
        }
        // The estimate is at most one too large: add back once if it was.
        Word borrow = submul_1(u.data() + j, v.data(), bn, Word(qhat));
        if (u[j + bn] < borrow) {
            u[j + bn] -= borrow;
            --qhat;
            u[j + bn] += add_n(u.data() + j, u.data() + j, v.data(), bn);
        } else {
            u[j + bn] -= borrow;
        }
        q[j] = Word(qhat);
    }
    if (s != 0)
        rshift(r, u.data(), bn, s);
    else
        std::copy(u.begin(), u.begin() + bn, r);
}

} // namespace karvo::kernel
