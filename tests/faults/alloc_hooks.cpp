#include "alloc_hooks.h"

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

// The entry points below are the process's allocator: the next definitions in
// the lookup order (the C library's, or AddressSanitizer's interceptors) do
// the work, found with dlsym(RTLD_NEXT) so that both builds take the same path.

namespace {

struct Real {
    void *(*malloc)(size_t);
    void *(*calloc)(size_t, size_t);
    void *(*realloc)(void *, size_t);
    void (*free)(void *);
    int (*posix_memalign)(void **, size_t, size_t);
    void *(*aligned_alloc)(size_t, size_t);
    void *(*memalign)(size_t, size_t);
};
Real real;
bool resolved = false;
bool resolving = false;

// dlsym may allocate before the real functions are known; those few blocks
// come from here and are never released.
alignas(64) char bootstrap[64 * 1024];
size_t bootstrap_used = 0;

bool from_bootstrap(const void *p) {
    return p >= static_cast<const void *>(bootstrap) &&
           p < static_cast<const void *>(bootstrap + sizeof bootstrap);
}

void *bootstrap_alloc(size_t n) {
    const size_t rounded = (n + 63) & ~size_t(63);
    if (rounded > sizeof bootstrap - bootstrap_used)
        return nullptr;
    void *p = bootstrap + bootstrap_used;
    bootstrap_used += rounded;
    return p; // static storage: already zero
}

template <class F> void lookup(F &slot, const char *name) {
    slot = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

void resolve() {
    if (resolved)
        return;
    resolving = true;
    lookup(real.malloc, "malloc");
    lookup(real.calloc, "calloc");
    lookup(real.realloc, "realloc");
    lookup(real.free, "free");
    lookup(real.posix_memalign, "posix_memalign");
    lookup(real.aligned_alloc, "aligned_alloc");
    lookup(real.memalign, "memalign");
    resolving = false;
    resolved = true;
}

std::atomic<uint64_t> countdown{0}; // 0: nothing armed
std::atomic<bool> struck{false};
std::atomic<int64_t> live{0};
std::atomic<uint64_t> calls{0};

// Counts one allocation call; true when it is the one that must fail.
bool must_fail() {
    calls.fetch_add(1, std::memory_order_relaxed);
    uint64_t left = countdown.load(std::memory_order_relaxed);
    while (left != 0) {
        if (countdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
            if (left != 1)
                return false;
            struck.store(true, std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

void *counted(void *p) {
    if (p != nullptr)
        live.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void *allocate(size_t n) {
    resolve();
    return must_fail() ? nullptr : counted(real.malloc(n));
}

void *allocate_aligned(size_t alignment, size_t n) {
    resolve();
    if (must_fail())
        return nullptr;
    void *p = nullptr;
    return real.posix_memalign(&p, alignment < sizeof(void *) ? sizeof(void *) : alignment, n) == 0
               ? counted(p)
               : nullptr;
}

void release(void *p) {
    if (p == nullptr || from_bootstrap(p))
        return;
    resolve();
    live.fetch_sub(1, std::memory_order_relaxed);
    real.free(p);
}

} // namespace

namespace faults {

void fail_nth(uint64_t n) {
    struck.store(false);
    countdown.store(n);
}

bool disarm() {
    countdown.store(0);
    return struck.exchange(false);
}

int64_t live_blocks() { return live.load(); }
uint64_t allocation_calls() { return calls.load(); }

} // namespace faults

extern "C" {

void *malloc(size_t n) {
    if (resolving)
        return bootstrap_alloc(n);
    return allocate(n);
}

void *calloc(size_t count, size_t n) {
    if (resolving)
        return n != 0 && count > SIZE_MAX / n ? nullptr : bootstrap_alloc(count * n);
    resolve();
    return must_fail() ? nullptr : counted(real.calloc(count, n));
}

void *realloc(void *p, size_t n) {
    if (p == nullptr)
        return malloc(n);
    if (n == 0) {
        release(p);
        return nullptr;
    }
    if (from_bootstrap(p)) { // its size is unknown, but no larger than what is left
        void *q = allocate(n);
        if (q != nullptr) {
            const size_t room = size_t(bootstrap + sizeof bootstrap - static_cast<char *>(p));
            std::memcpy(q, p, n < room ? n : room);
        }
        return q;
    }
    resolve();
    // A failed realloc leaves the block as it was: still live.
    return must_fail() ? nullptr : real.realloc(p, n);
}

void free(void *p) { release(p); }

int posix_memalign(void **out, size_t alignment, size_t n) {
    resolve();
    if (must_fail())
        return ENOMEM;
    const int result = real.posix_memalign(out, alignment, n);
    if (result == 0)
        counted(*out);
    return result;
}

void *aligned_alloc(size_t alignment, size_t n) {
    resolve();
    return must_fail() ? nullptr : counted(real.aligned_alloc(alignment, n));
}

void *memalign(size_t alignment, size_t n) {
    resolve();
    return must_fail() ? nullptr : counted(real.memalign(alignment, n));
}

} // extern "C"

// Every global operator new and delete, so that C++ allocations are counted
// and fail the same way whatever the runtime's own operator new would do.

void *operator new(size_t n) {
    if (void *p = allocate(n != 0 ? n : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n) { return operator new(n); }
void *operator new(size_t n, const std::nothrow_t &) noexcept { return allocate(n != 0 ? n : 1); }
void *operator new[](size_t n, const std::nothrow_t &) noexcept { return allocate(n != 0 ? n : 1); }
void *operator new(size_t n, std::align_val_t a) {
    if (void *p = allocate_aligned(size_t(a), n != 0 ? n : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n, std::align_val_t a) { return operator new(n, a); }
void *operator new(size_t n, std::align_val_t a, const std::nothrow_t &) noexcept {
    return allocate_aligned(size_t(a), n != 0 ? n : 1);
}
void *operator new[](size_t n, std::align_val_t a, const std::nothrow_t &) noexcept {
    return allocate_aligned(size_t(a), n != 0 ? n : 1);
}

void operator delete(void *p) noexcept { release(p); }
void operator delete[](void *p) noexcept { release(p); }
void operator delete(void *p, size_t) noexcept { release(p); }
void operator delete[](void *p, size_t) noexcept { release(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { release(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { release(p); }
void operator delete(void *p, std::align_val_t) noexcept { release(p); }
void operator delete[](void *p, std::align_val_t) noexcept { release(p); }
void operator delete(void *p, size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void *p, size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void *p, std::align_val_t, const std::nothrow_t &) noexcept { release(p); }
void operator delete[](void *p, std::align_val_t, const std::nothrow_t &) noexcept { release(p); }
