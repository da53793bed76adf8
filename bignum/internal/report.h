// The library's diagnostic lines: one line on standard output, the reporting
// function's name followed by "().. " and the text. The text is kept for
// bignum_last_message whether or not the thread has printing turned off.
#pragma once

#include <cstdint>

namespace karvo {

void report(const char *function, const char *format, ...) __attribute__((format(printf, 2, 3)));

// A result that would need more words than a record can hold.
void report_too_large(const char *function, uint64_t words_needed);

} // namespace karvo
