#include "internal/report.h"

#include <cstdarg>
#include <cstdio>

#include "internal/record.h"

namespace karvo {

void report(const char *function, const char *format, ...) {
    std::printf("%s().. ", function);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
}

void report_too_large(const char *function, uint64_t words_needed) {
    report(function, "result of %llu words exceeds max of %d", (unsigned long long)words_needed,
           (int)kMaxWords);
}

} // namespace karvo
