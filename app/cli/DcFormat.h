// How dc writes numbers: digits in the output radix, upper-case up to radix
// 16, above that every digit as a space and a zero-padded decimal group; a
// leading '-' for negative values; lines broken with a backslash so that none
// is longer than the line length.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "Number.h"

// The text of `number` in `radix` (2 or more), without line breaks. Empty when
// no memory could be had.
std::string dcDigits(const Number &number, uint64_t radix);

// The line length dc takes from its environment: `text` is DC_LINE_LENGTH's
// value (null when unset): a whole number from 2 up, 0 (or empty) for lines
// that are never broken, 70 for anything else.
int64_t dcLineLength(const char *text);

// Writes `text`, breaking it after every `lineLength` - 1 characters with a
// backslash and a line break (never when lineLength is 0).
void dcWrapped(std::FILE *out, const std::string &text, int64_t lineLength);
