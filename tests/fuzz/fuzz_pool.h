// Four records that a fuzz input's calls share: operands are loaded into them or taken as the
// earlier calls left them, destinations hold stale contents, and the same record may be picked
// twice (operand and operand, or destination and operand where the interface allows it).
#pragma once

#include <array>
#include <initializer_list>
#include <string>

#include "fuzz_support.h"

namespace fz {

class Pool {
  public:
    static constexpr int kSlots = 4;

    bignum *slot(int i) const { return recs_[i].get(); }
    int index(const bignum *b) const {
        for (int i = 0; i < kSlots; i++)
            if (recs_[i].get() == b)
                return i;
        return -1;
    }
    std::string name(const bignum *b) const {
        const int i = index(b);
        return i >= 0 ? "r" + std::to_string(i) : b ? "constant" : "null";
    }

    // A destination slot, as it stands.
    bignum *destination(Input &in) { return slot(in.byte() % kSlots); }
    // An operand: a slot as it stands, or reloaded from the input first; now and then one of
    // the library's shared constants when `constants`.
    bignum *operand(Input &in, bool constants = false) {
        const uint8_t r = in.byte();
        if (constants && (r & 0x70) == 0x70)
            return constant(r & 0x0F);
        bignum *b = slot(r % kSlots);
        if (r & 0x80)
            reload(in, b);
        return b;
    }
    // Loads a decoded operand, keeping each input's total size in bounds so that it runs fast.
    void reload(Input &in, bignum *b) {
        decode_operand(in, b, budget_ > 0);
        budget_ -= int64_t(b->oofm) + 1;
    }
    bool large() const { return budget_ > 0; }
    void spend(uint64_t words) { budget_ -= int64_t(words); }

    static bignum *constant(int i) {
        bignum *(*const all[])() = {
            bignum_zero, bignum_one,     bignum_two,    bignum_three,      bignum_seven,
            bignum_ten,  bignum_sixteen, bignum_twenty, bignum_thirty_two, bignum_one_hundred};
        return all[i % 10]();
    }

  private:
    std::array<Rec, kSlots> recs_;
    int64_t budget_ = 150000;
};

// An action on the pool, taking what it needs from the input.
using Action = void (*)(Input &, Pool &);

inline void reload_slot(Input &in, Pool &p) { p.reload(in, p.slot(in.byte() % Pool::kSlots)); }

// One fuzz input: up to `steps` actions, each picked by a byte from `actions`
// (an action named twice is picked twice as often).
inline int run_actions(const uint8_t *data, size_t size, int steps,
                       std::initializer_list<Action> actions) {
    Input in(data, size);
    begin_input(in);
    Pool p;
    for (int step = 0; step < steps && in.more(); step++)
        actions.begin()[in.byte() % actions.size()](in, p);
    return 0;
}

} // namespace fz
