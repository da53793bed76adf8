#include "kernels/radix_chunks.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "kernels/arith.h"

namespace karvo::kernel {

namespace {

// "00" to "99": two decimal digits per lookup.
constexpr auto kPairs = [] {
    std::array<char, 200> p{};
    for (int i = 0; i < 100; ++i) {
        p[2 * size_t(i)] = char('0' + i / 10);
        p[2 * size_t(i) + 1] = char('0' + i % 10);
    }
    return p;
}();

// The 4 and 8 decimal digits of v < 10^4 and v < 10^8 ending at end; the
// halves are independent, so their divisions overlap.
inline void write4(uint32_t v, char *end) {
    const uint32_t high = v / 100;
    std::memcpy(end - 4, &kPairs[2 * high], 2);
    std::memcpy(end - 2, &kPairs[2 * (v - 100 * high)], 2);
}
inline void write8(uint32_t v, char *end) {
    const uint32_t high = v / 10000;
    write4(high, end - 4);
    write4(v - 10000 * high, end);
}

// The digits of one chunk v ending at end, leading zeros included. The radix
// is a constant, so the divisions are multiplications.
template <unsigned R> void write_chunk(Limb v, char *end) {
    if constexpr (R == 10) { // 19 digits: 3 + 8 + 8
        const Limb high = v / 10000000000000000u, mid = v % 10000000000000000u;
        write8(uint32_t(mid % 100000000), end);
        write8(uint32_t(mid / 100000000), end - 8);
        end[-17] = char('0' + high % 10);
        end[-18] = char('0' + high / 10 % 10);
        end[-19] = char('0' + high / 100);
    } else {
        constexpr unsigned digits = [] {
            unsigned d = 1;
            for (DLimb p = R; p * R <= ~Limb(0); p *= R)
                ++d;
            return d;
        }();
        // Two halves whose digits come out side by side: shorter chains.
        constexpr unsigned half = digits / 2;
        constexpr Limb split = [] {
            Limb p = 1;
            for (unsigned i = 0; i < half; ++i)
                p *= R;
            return p;
        }();
        Limb high = v / split, low = v % split;
        for (unsigned i = 0; i < half; ++i) {
            end[-1 - int(i)] = kDigitAlphabet[low % R];
            low /= R;
            end[-1 - int(half + i)] = kDigitAlphabet[high % R];
            high /= R;
        }
        if constexpr (digits % 2 != 0)
            end[-int(digits)] = kDigitAlphabet[high];
    }
}

template <size_t... R> constexpr auto writers(std::index_sequence<R...>) {
    return std::array<void (*)(Limb, char *), sizeof...(R)>{
        &write_chunk<unsigned(R < 2 ? 2 : R)>...};
}
constexpr auto kWriters = writers(std::make_index_sequence<37>{});

constexpr Chunk make_chunk(unsigned radix) {
    Chunk c{radix, 1, 0, 0, 0};
    while (DLimb(c.base) * radix <= ~Limb(0)) {
        c.base *= radix;
        ++c.digits;
    }
    c.shift = unsigned(std::countl_zero(c.base));
    c.normal = c.base << c.shift;
    c.inverse = Limb(((DLimb(~c.normal) << kLimbBits) | ~Limb(0)) / c.normal);
    return c;
}

constexpr auto kChunks = [] {
    std::array<Chunk, 37> c{};
    for (unsigned r = 2; r <= 36; ++r)
        c[r] = make_chunk(r);
    return c;
}();

} // namespace

Chunk limb_chunk(unsigned radix) { return kChunks[radix]; }

ChunkDigits::ChunkDigits(unsigned radix) : chunk_(limb_chunk(radix)), write_(kWriters[radix]) {}

void ChunkDigits::add(const Limb *a, size_t n, char *end) {
    if (n > kLimbs) { // rare: only when the levels run out
        std::vector<Limb> work(a, a + n);
        std::array<Piece, kWays> alone{};
        alone[0] = {work.data(), n, end};
        run(alone.data());
        return;
    }
    Limb *limbs = store_.data() + pending_ * kLimbs;
    std::copy(a, a + n, limbs);
    pieces_[pending_++] = {limbs, n, end};
    if (pending_ == kWays)
        flush();
}

void ChunkDigits::flush() {
    if (pending_ == 0)
        return;
    for (size_t j = pending_; j < kWays; ++j)
        pieces_[j] = {nullptr, 0, nullptr};
    run(pieces_.data());
    pending_ = 0;
}

// One division of every piece by the base per round, the limbs of all the
// pieces taken in turn from the top. A base below 2^63 is divided as the
// numbers shifted left by its leading zeros.
void ChunkDigits::run(Piece *pieces) const {
    if (chunk_.shift == 0)
        rounds<false>(pieces);
    else
        rounds<true>(pieces);
}

template <bool Shifted> void ChunkDigits::rounds(Piece *pieces) const {
    const unsigned s = chunk_.shift;
    const Limb d = chunk_.normal, v = chunk_.inverse;
    std::array<size_t, kWays> n;
    for (size_t j = 0; j < kWays; ++j)
        n[j] = pieces[j].n;
    for (;;) {
        const size_t top = *std::max_element(n.begin(), n.end());
        if (top == 0)
            return;
        std::array<Limb, kWays> r{};
        if constexpr (Shifted)
            for (size_t j = 0; j < kWays; ++j)
                if (n[j] != 0)
                    r[j] = pieces[j].limbs[n[j] - 1] >> (kLimbBits - s);
        for (size_t i = top; i-- > 0;) {
            for (size_t j = 0; j < kWays; ++j) {
                if (i >= n[j])
                    continue;
                Limb *a = pieces[j].limbs;
                Limb u0 = a[i];
                if constexpr (Shifted) // with the top of the limb below, divided later
                    u0 = (u0 << s) | (i > 0 ? a[i - 1] >> (kLimbBits - s) : 0);
                a[i] = divide_2_by_1(r[j], r[j], u0, d, v);
            }
        }
        for (size_t j = 0; j < kWays; ++j) {
            if (n[j] == 0)
                continue;
            write_(r[j] >> s, pieces[j].end);
            pieces[j].end -= chunk_.digits;
            n[j] -= pieces[j].limbs[n[j] - 1] == 0;
        }
    }
}

} // namespace karvo::kernel
