// The library's diagnostic lines: one line on standard output, the reporting
// function's name followed by "().. " and the text.
#pragma once

#include <cstdint>

namespace karvo {

void report(const char *function, const char *format, ...) __attribute__((format(printf, 2, 3)));

// A result that would need more words than a record can hold.
void report_too_large(const char *function, uint64_t words_needed);

} // namespace karvo
