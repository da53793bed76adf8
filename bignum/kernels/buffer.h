// Zeroed scratch limbs: on the stack up to N limbs, on the heap above, so
// that small operands cost no allocation.
#pragma once

#include <algorithm>
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

} // namespace karvo::kernel
