// Shifts by less than a word.
#include "kernels/kernels.h"

namespace karvo::kernel {

Word lshift(Word *r, const Word *a, size_t n, unsigned s) {
    if (n == 0)
        return 0;
    Word out = a[n - 1] >> (kWordBits - s);
    for (size_t i = n - 1; i > 0; --i)
        r[i] = (a[i] << s) | (a[i - 1] >> (kWordBits - s));
    r[0] = a[0] << s;
    return out;
}

Word rshift(Word *r, const Word *a, size_t n, unsigned s) {
    if (n == 0)
        return 0;
    Word out = a[0] << (kWordBits - s);
    for (size_t i = 0; i + 1 < n; ++i)
        r[i] = (a[i] >> s) | (a[i + 1] << (kWordBits - s));
    r[n - 1] = a[n - 1] >> s;
    return out;
}

} // namespace karvo::kernel
