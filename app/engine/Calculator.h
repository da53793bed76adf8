// The reverse-Polish stack of numbers, guarded by one re-entrant lock: its
// stack operations, the computing operations on its top, the radix its
// numbers are shown in, and undo and redo of every change.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Number.h"
#include "Operation.h"
#include "StackState.h"

// Told of every change, with the stack locked, on the thread that made it.
class StackListener {
  public:
    // Rows (positions from the bottom) from `first` on were replaced:
    // `removed` rows went and `added` came. `now` is the new state.
    virtual void stackChanged(int first, int removed, int added, const StackState &now) = 0;
    // Every row is shown anew in another radix (the rows themselves are the same).
    virtual void radixChanged(const StackState &now) = 0;

  protected:
    ~StackListener() = default;
};

class Calculator {
  public:
    static constexpr size_t kUndoLevels = 1000;

    Calculator();
    Calculator(const Calculator &) = delete;
    Calculator &operator=(const Calculator &) = delete;

    void addListener(StackListener *listener);
    void removeListener(StackListener *listener);

    // Throws std::invalid_argument for nullptr; the stack is then unchanged.
    // Like pop and clear, passes std::bad_alloc on with everything as it was.
    void push(std::shared_ptr<Number> number);
    // Throws std::out_of_range on an empty stack.
    std::shared_ptr<Number> pop();
    // Counted from the bottom; nullptr outside the stack.
    std::shared_ptr<Number> numberAtPosition(int32_t position);
    int32_t stackSize() const;
    void clear();

    int32_t precision() const { return mPrecision; }
    int32_t radix() const;
    // An undoable change: every number is shown in the new radix from now on,
    // and entries are read in it. False (with a status) outside 2 to 36.
    bool setRadix(int32_t radix);

    StackState state() const;
    // Replaces everything without an undo level, as at start from a saved state.
    void restore(StackState state);

    // The Enter action: pushes the number typed in `text`, or a copy of the top
    // when the text is blank. True when a number was pushed.
    bool enter(std::string_view text);
    // A pasted number: blanks, line breaks and line continuations are skipped.
    bool paste(std::string_view text);

    // Stack operations; each is one undo level, or a status when too few numbers.
    bool swap();
    bool drop();
    bool rotate(); // the third number from the top comes to the top
    bool changeSign();
    bool undo();
    bool redo();
    bool canUndo() const;
    bool canRedo() const;

    // A computing operation in three steps, so that the middle one can run on
    // another thread: take copies of the operands (nullopt with a status when
    // too few), compute (see Operation.h), then put the result in their place.
    std::optional<PendingOperation> prepare(Operation operation);
    // False with a status when the outcome is a failure; the stack is then as it was.
    bool finish(const PendingOperation &pending, const Outcome &outcome);
    // All three on this thread.
    bool perform(Operation operation);

    bool add() { return perform(Operation::Add); }
    bool sub() { return perform(Operation::Subtract); }
    bool mul() { return perform(Operation::Multiply); }
    bool div() { return perform(Operation::Divide); }
    bool pow() { return perform(Operation::Power); }
    bool root() { return perform(Operation::Root); }
    bool fac() { return perform(Operation::Factorial); }
    bool mod() { return perform(Operation::Modulo); }
    bool gcd() { return perform(Operation::Gcd); }
    bool modinv() { return perform(Operation::ModularInverse); }
    bool modpow() { return perform(Operation::ModularPower); }

    // Why the last action failed, or what it did when that is worth saying;
    // empty after an ordinary success. The actions that answer true or false
    // answer false when memory runs out, with everything as it was.
    std::string status() const;
    void setStatus(std::string status);

  private:
    // Makes `next` the state, keeping the current one as an undo level.
    void commit(StackState next);
    // `now` is a copy of `next` for the listeners, made before anything changed:
    // the copies are the steps that can fail.
    void replaceState(StackState next, const StackState &now);
    // Runs an action under the lock; a failed allocation inside it ends the
    // action with false and a status, before it has changed anything.
    template <class Action> bool guarded(Action &&action);
    void setNoMemory() noexcept;
    // The bodies of the public actions of the same names, run under guarded().
    bool enterLocked(std::string_view text);
    bool swapLocked();
    bool dropLocked();
    bool rotateLocked();
    bool changeSignLocked();
    std::optional<PendingOperation> prepareLocked(Operation operation);
    bool finishLocked(const PendingOperation &pending, const Outcome &outcome);
    bool enough(int count, const char *what);
    bool travel(std::deque<StackState> &from, std::deque<StackState> &to, const char *nothing);

    std::vector<std::shared_ptr<Number>> mStack;
    int32_t mRadix = 10;
    std::deque<StackState> mUndo, mRedo;
    uint64_t mGeneration = 0;
    int32_t mPrecision = 100;
    std::string mStatus;
    std::vector<StackListener *> mListeners;
    mutable std::recursive_mutex mLock;
};
