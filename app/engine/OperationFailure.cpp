#include "OperationFailure.h"

namespace {

const char *const kTooLarge = "Result exceeds 100000 words";

bool isZero(const Number &n) { return bignum_iszero(n.bignum()) != 0; }
bool isOdd(const Number &n) { return n.bignum()->oofm > 0 && (n.bignum()->numb[0] & 1u) != 0; }

} // namespace

std::string sizeFailure(const Number &, const Number &) { return kTooLarge; }

std::string divisionFailure(const Number &, const Number &divisor) {
    return isZero(divisor) ? "Division by zero" : kTooLarge;
}

std::string powerFailure(const Number &base, const Number &exponent) {
    return isZero(base) && exponent.isNegative() ? "Zero to a negative power" : kTooLarge;
}

std::string rootFailure(const Number &degree, const Number &radicand) {
    if (isZero(degree) || degree.isNegative())
        return "Root degree must be at least 1";
    if (radicand.isNegative() && !isOdd(degree))
        return "Even root of a negative number";
    return kTooLarge;
}

std::string factorialFailure(const Number &n) {
    return n.isNegative() ? "Factorial of a negative number" : kTooLarge;
}
