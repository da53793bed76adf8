// Long loops ask whether the calling thread's caller wants them to stop.
// The flag belongs to the thread (see bignum_set_cancel_flag); a stop unwinds
// as an exception to the family that started the loop, which reports it.
#pragma once

namespace karvo::kernel {

struct Cancelled {};

// Null when nobody can cancel this thread's work.
extern thread_local const int *cancel_flag;

inline void cancel_point() {
    if (cancel_flag != nullptr && __atomic_load_n(cancel_flag, __ATOMIC_RELAXED) != 0)
        throw Cancelled{};
}

} // namespace karvo::kernel
