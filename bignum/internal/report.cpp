#include "internal/report.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "bignum.h"
#include "internal/record.h"

namespace karvo {

namespace {

// The text of the last line this thread reported, for bignum_last_message.
thread_local std::string last_message;
// Whether this thread's lines reach standard output (bignum_set_messages).
thread_local bool print_messages = true;

} // namespace

void report(const char *function, const char *format, ...) {
    va_list args;
    va_start(args, format);
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (print_messages)
        std::printf("%s().. %s\n", function, text);
    try {
        last_message = text;
    } catch (...) { // the line is out; only the copy for the caller is lost
        last_message.clear();
    }
}

void report_too_large(const char *function, uint64_t words_needed) {
    report(function, "result of %llu words exceeds max of %d", (unsigned long long)words_needed,
           (int)kMaxWords);
}

} // namespace karvo

extern "C" const char *bignum_last_message(void) { return karvo::last_message.c_str(); }

extern "C" int bignum_set_messages(int on) {
    const bool was = karvo::print_messages;
    karvo::print_messages = on != 0;
    return was ? 1 : 0;
}
