// Division as the families use it among themselves: `function` names the
// exported function that reports a zero divisor. False for a zero divisor.
// The operands are only read.
#pragma once

#include "bignum.h"

namespace karvo {

bool divide(bignum *q, bignum *r, const bignum *divd, const bignum *divs, const char *function);

} // namespace karvo
