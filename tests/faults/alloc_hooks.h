// A test allocator for the whole process: malloc, calloc, realloc, the aligned
// forms and every global operator new go through counters, and one chosen
// allocation can be made to fail. Linking alloc_hooks.cpp into an executable
// replaces the process's allocator entry points (the shared library's calls
// included); the memory itself still comes from the C library, or from
// AddressSanitizer when it is in the build.
#pragma once

#include <cstdint>

namespace faults {

// The n-th allocation from now fails (1: the next one), once; later ones succeed.
void fail_nth(uint64_t n);
// No allocation fails from now on. True when the armed failure happened.
bool disarm();
// Blocks allocated and not yet released, over the whole process.
int64_t live_blocks();
// Allocation calls made since the process started, failed ones included.
uint64_t allocation_calls();

} // namespace faults
