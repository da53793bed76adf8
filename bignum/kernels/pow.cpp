// Powers by left-to-right binary powering: one squaring per bit of the
// exponent below its top one and one product per set bit. The base's factors
// of two are taken out first and come back as a shift.
#include <bit>

#include "kernels/nat.h"

namespace karvo::kernel {

Nat pow(View base, uint64_t e, const Tuning &t) {
    base = trimmed(base);
    if (e == 0)
        return {1};
    if (base.empty())
        return {};
    uint64_t zeros = 0;
    while (base[zeros / kLimbBits] == 0)
        zeros += kLimbBits;
    zeros += unsigned(std::countr_zero(base[zeros / kLimbBits]));
    const Nat odd = shift_right(base, zeros);
    Nat result = odd;
    if (odd != Nat{1}) {
        for (int bit = 62 - std::countl_zero(e); bit >= 0; --bit) {
            result = sqr(result, t);
            if ((e >> bit) & 1)
                result = mul(result, odd, t);
        }
    }
    return shift_left(result, zeros * e);
}

} // namespace karvo::kernel
