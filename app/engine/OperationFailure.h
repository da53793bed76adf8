// Why a library call refused to compute, told from its operands and the
// library's documented error cases (the library itself only prints a line).
#pragma once

#include <string>

#include "Number.h"

std::string sizeFailure(const Number &second, const Number &top);
std::string divisionFailure(const Number &dividend, const Number &divisor);
std::string powerFailure(const Number &base, const Number &exponent);
std::string rootFailure(const Number &degree, const Number &radicand);
std::string factorialFailure(const Number &n);
