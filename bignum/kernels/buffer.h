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

} // namespace karvo::kernel
