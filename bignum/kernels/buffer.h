// Zeroed scratch limbs: on the stack up to N limbs, on the heap above, so
// that small operands cost no allocation.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "kernels/limb.h"

namespace karvo::kernel {

template <size_t N> class LimbBuffer {
  public:
    explicit LimbBuffer(size_t n) {
        if (n <= N) {
            std::fill(local_, local_ + n, 0);
            data_ = local_;
        } else {
            heap_.assign(n, 0);
            data_ = heap_.data();
        }
    }
    LimbBuffer(const LimbBuffer &) = delete;
    LimbBuffer &operator=(const LimbBuffer &) = delete;
    Limb *data() { return data_; }
    Limb &operator[](size_t i) { return data_[i]; }

  private:
    Limb local_[N];
    std::vector<Limb> heap_;
    Limb *data_;
};

// Scratch limbs left uninitialised, for the products' working space: on the
// stack up to N limbs, one allocation above.
template <size_t N> class ScratchBuffer {
  public:
    explicit ScratchBuffer(size_t n) {
        if (n <= N && !kExactBlocks) {
            data_ = local_;
        } else {
            heap_ = std::make_unique_for_overwrite<Limb[]>(n);
            data_ = heap_.get();
        }
    }
    ScratchBuffer(const ScratchBuffer &) = delete;
    ScratchBuffer &operator=(const ScratchBuffer &) = delete;
    Limb *data() { return data_; }

  private:
    // Under AddressSanitizer every request gets a block of its own size, so
    // that the sizes asked for are checked too.
#ifdef __SANITIZE_ADDRESS__
    static constexpr bool kExactBlocks = true;
#else
    static constexpr bool kExactBlocks = false;
#endif
    Limb local_[N];
    std::unique_ptr<Limb[]> heap_;
    Limb *data_;
};

// The working memory of a transform product, in one block of twice the size
// asked for and at least kWorkspaceLimbs limbs. glibc's allocator maps a block
// that large from the system, and once it is freed raises the size from which
// it maps, and twice that, the free space at the top of the heap from which it
// trims: later products, with their tables and pieces beside the block, then
// find their memory still in the heap. Without it every product of a few
// thousand limbs grew the heap, gave it back at the end and took a page fault
// for each page again, 40% of the time of a product of 2048 limbs. The half
// never written costs address space only. Under AddressSanitizer the block is
// exactly the size asked for.
constexpr size_t kWorkspaceLimbs = size_t(1) << 17; // 1 MiB
inline std::unique_ptr<Limb[]> workspace(size_t limbs) {
#ifdef __SANITIZE_ADDRESS__
    return std::make_unique_for_overwrite<Limb[]>(limbs);
#else
    return std::make_unique_for_overwrite<Limb[]>(std::max(2 * limbs, kWorkspaceLimbs));
#endif
}

} // namespace karvo::kernel
