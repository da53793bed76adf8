// Conversion to text of pieces below the divide-and-conquer sizes: a chunk
// of digits at a time from the bottom, each a division by the largest power
// of the radix that fits a limb.
#pragma once

#include <array>

#include "kernels/limb.h"

namespace karvo::kernel {

// The chunk base radix^digits, normalised (shifted to its top bit) for
// Moller and Granlund's division by an invariant limb.
struct Chunk {
    Limb base;
    unsigned digits;
    unsigned shift;
    Limb normal, inverse;
};
Chunk limb_chunk(unsigned radix);

// Writes the digits of pieces into their places in the text. Each division
// step waits on the remainder of the one before, so the pieces are taken in
// batches whose divisions interleave: independent chains overlap.
class ChunkDigits {
  public:
    explicit ChunkDigits(unsigned radix);
    const Chunk &chunk() const { return chunk_; }
    // The digits of a[0, n) end at `end`, over zeros already there: all of
    // its chunks, leading zeros included. Written by flush() at the latest.
    void add(const Limb *a, size_t n, char *end);
    void flush();

  private:
    static constexpr size_t kWays = 4, kLimbs = 48;
    struct Piece {
        Limb *limbs;
        size_t n;
        char *end;
    };
    void run(Piece *pieces) const;
    template <bool Shifted> void rounds(Piece *pieces) const;

    Chunk chunk_;
    void (*write_)(Limb, char *);
    std::array<Piece, kWays> pieces_{};
    size_t pending_ = 0;
    std::array<Limb, kWays * kLimbs> store_;
};

} // namespace karvo::kernel
