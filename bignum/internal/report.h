// The library's diagnostic lines: one line on standard output, the reporting
// function's name followed by "().. " and the text. The text is kept for
// bignum_last_message whether or not the thread has printing turned off.
#pragma once

#include <cstdint>
#include <new>

namespace karvo {

void report(const char *function, const char *format, ...) __attribute__((format(printf, 2, 3)));

// A result that would need more words than a record can hold.
void report_too_large(const char *function, uint64_t words_needed);

// The body of an exported function: no exception may cross the C interface,
// so a failed allocation inside it prints "failed to allocate memory" under
// the function's name and ends the call with what `failed()` returns (which
// also puts the destination in its documented state).
template <class Body, class Failed>
auto guarded(const char *function, Body &&body, Failed &&failed) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        report(function, "failed to allocate memory");
        return failed();
    }
}

} // namespace karvo
