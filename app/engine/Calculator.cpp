#include "Calculator.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <stdexcept>

#include "Entry.h"

namespace {

const char *const kNoMemory = "No memory for a new number";

std::string needs(const char *what, int count) {
    std::string text = what;
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text + " needs " + std::to_string(count) + (count == 1 ? " number" : " numbers") +
           " on the stack";
}

} // namespace

Calculator::Calculator() { mStack.reserve(100); }

void Calculator::addListener(StackListener *listener) {
    std::lock_guard lock(mLock);
    mListeners.push_back(listener);
}

void Calculator::removeListener(StackListener *listener) {
    std::lock_guard lock(mLock);
    std::erase(mListeners, listener);
}

int32_t Calculator::stackSize() const {
    std::lock_guard lock(mLock);
    return int32_t(mStack.size());
}

int32_t Calculator::radix() const {
    std::lock_guard lock(mLock);
    return mRadix;
}

StackState Calculator::state() const {
    std::lock_guard lock(mLock);
    return {mStack, mRadix};
}

std::string Calculator::status() const {
    std::lock_guard lock(mLock);
    return mStatus;
}

void Calculator::setStatus(std::string status) {
    std::lock_guard lock(mLock);
    mStatus = std::move(status);
}

// Tells the listener which rows changed: everything above the longest common
// bottom part of the two stacks.
void Calculator::replaceState(StackState next, const StackState &now) {
    const auto &old = mStack;
    size_t common = 0;
    while (common < old.size() && common < next.stack.size() && old[common] == next.stack[common])
        ++common;
    const int removed = int(old.size() - common), added = int(next.stack.size() - common);
    const bool radixChanged = next.radix != mRadix;
    mStack = std::move(next.stack);
    mRadix = next.radix;
    ++mGeneration;
    for (StackListener *listener : mListeners) {
        if (removed != 0 || added != 0)
            listener->stackChanged(int(common), removed, added, now);
        if (radixChanged)
            listener->radixChanged(now);
    }
}

void Calculator::commit(StackState next) {
    const StackState now = next;
    mUndo.push_back({mStack, mRadix}); // the last step that can fail
    if (mUndo.size() > kUndoLevels)
        mUndo.pop_front();
    mRedo.clear();
    replaceState(std::move(next), now);
}

void Calculator::restore(StackState state) {
    std::lock_guard lock(mLock);
    const StackState now = state;
    mUndo.clear();
    mRedo.clear();
    replaceState(std::move(state), now);
}

void Calculator::setNoMemory() noexcept {
    try {
        mStatus = kNoMemory;
    } catch (const std::bad_alloc &) {
        mStatus.clear();
    }
}

template <class Action> bool Calculator::guarded(Action &&action) {
    std::lock_guard lock(mLock);
    try {
        return action();
    } catch (const std::bad_alloc &) {
        setNoMemory();
        return false;
    }
}

void Calculator::push(std::shared_ptr<Number> number) {
    std::lock_guard lock(mLock);
    if (!number)
        throw std::invalid_argument("Calculator::push: no number");
    StackState next{mStack, mRadix};
    next.stack.push_back(std::move(number));
    commit(std::move(next));
}

std::shared_ptr<Number> Calculator::pop() {
    std::lock_guard lock(mLock);
    if (mStack.empty())
        throw std::out_of_range("Calculator::pop: empty stack");
    auto top = mStack.back();
    StackState next{mStack, mRadix};
    next.stack.pop_back();
    commit(std::move(next));
    return top;
}

std::shared_ptr<Number> Calculator::numberAtPosition(int32_t position) {
    std::lock_guard lock(mLock);
    if (position < 0 || size_t(position) >= mStack.size())
        return nullptr;
    return mStack[size_t(position)];
}

void Calculator::clear() {
    std::lock_guard lock(mLock);
    if (!mStack.empty())
        commit({{}, mRadix});
}

bool Calculator::setRadix(int32_t radix) {
    return guarded([&] {
        if (radix < 2 || radix > 36) {
            mStatus = "Radix must be from 2 to 36";
            return false;
        }
        if (radix != mRadix)
            commit({mStack, radix});
        mStatus.clear();
        return true;
    });
}

bool Calculator::enough(int count, const char *what) {
    if (mStack.size() >= size_t(count))
        return true;
    mStatus = needs(what, count);
    return false;
}

bool Calculator::enter(std::string_view text) {
    return guarded([&] { return enterLocked(text); });
}

bool Calculator::enterLocked(std::string_view text) {
    std::shared_ptr<Number> number;
    if (trimBlanks(text).empty()) {
        if (mStack.empty())
            return false;
        number = mStack.back()->copy();
        if (!number) {
            mStatus = kNoMemory;
            return false;
        }
    } else {
        EntryResult entry = parseEntry(text, mPrecision, mRadix);
        if (!entry.number) {
            mStatus = entry.error;
            return false;
        }
        number = std::move(entry.number);
    }
    StackState next{mStack, mRadix};
    next.stack.push_back(std::move(number));
    commit(std::move(next));
    mStatus.clear();
    return true;
}

bool Calculator::paste(std::string_view text) {
    return guarded([&] {
        const std::string cleaned = withoutLineBreaks(text);
        if (trimBlanks(cleaned).empty()) {
            mStatus = "Nothing to paste";
            return false;
        }
        return enterLocked(cleaned);
    });
}

bool Calculator::swap() {
    return guarded([&] { return swapLocked(); });
}

bool Calculator::swapLocked() {
    if (!enough(2, "swap"))
        return false;
    StackState next{mStack, mRadix};
    std::swap(next.stack[next.stack.size() - 1], next.stack[next.stack.size() - 2]);
    commit(std::move(next));
    mStatus.clear();
    return true;
}

bool Calculator::drop() {
    return guarded([&] { return dropLocked(); });
}

bool Calculator::dropLocked() {
    if (!enough(1, "drop"))
        return false;
    StackState next{mStack, mRadix};
    next.stack.pop_back();
    commit(std::move(next));
    mStatus.clear();
    return true;
}

bool Calculator::rotate() {
    return guarded([&] { return rotateLocked(); });
}

bool Calculator::rotateLocked() {
    if (!enough(3, "rotate"))
        return false;
    StackState next{mStack, mRadix};
    std::rotate(next.stack.end() - 3, next.stack.end() - 2, next.stack.end());
    commit(std::move(next));
    mStatus.clear();
    return true;
}

bool Calculator::changeSign() {
    return guarded([&] { return changeSignLocked(); });
}

bool Calculator::changeSignLocked() {
    if (!enough(1, "change sign"))
        return false;
    auto negated = mStack.back()->copy();
    if (!negated) {
        mStatus = kNoMemory;
        return false;
    }
    ::bignum *value = negated->bignum();
    value->sign = value->sign == 2 || bignum_iszero(value) ? 1 : 2;
    negated->markAsOutdated();
    StackState next{mStack, mRadix};
    next.stack.back() = std::move(negated);
    commit(std::move(next));
    mStatus.clear();
    return true;
}

bool Calculator::canUndo() const {
    std::lock_guard lock(mLock);
    return !mUndo.empty();
}

bool Calculator::canRedo() const {
    std::lock_guard lock(mLock);
    return !mRedo.empty();
}

// Undo and redo move the current state onto one list and take the last one
// off the other.
bool Calculator::travel(std::deque<StackState> &from, std::deque<StackState> &to,
                        const char *nothing) {
    return guarded([&] {
        if (from.empty()) {
            mStatus = nothing;
            return false;
        }
        const StackState now = from.back();
        to.push_back({mStack, mRadix}); // the last step that can fail
        StackState next = std::move(from.back());
        from.pop_back();
        replaceState(std::move(next), now);
        mStatus.clear();
        return true;
    });
}

bool Calculator::undo() { return travel(mUndo, mRedo, "Nothing to undo"); }
bool Calculator::redo() { return travel(mRedo, mUndo, "Nothing to redo"); }

std::optional<PendingOperation> Calculator::prepare(Operation operation) {
    std::optional<PendingOperation> pending;
    guarded([&] {
        pending = prepareLocked(operation);
        return pending.has_value();
    });
    return pending;
}

std::optional<PendingOperation> Calculator::prepareLocked(Operation operation) {
    const OperationInfo &what = info(operation);
    if (!enough(what.arity, what.name))
        return std::nullopt;
    PendingOperation pending{operation, {}, mGeneration};
    for (size_t i = mStack.size() - size_t(what.arity); i < mStack.size(); ++i) {
        auto copy = mStack[i]->copy();
        if (!copy) {
            mStatus = kNoMemory;
            return std::nullopt;
        }
        pending.operands.push_back(std::move(copy));
    }
    return pending;
}

bool Calculator::finish(const PendingOperation &pending, const Outcome &outcome) {
    return guarded([&] { return finishLocked(pending, outcome); });
}

bool Calculator::finishLocked(const PendingOperation &pending, const Outcome &outcome) {
    if (!outcome.result) {
        mStatus = outcome.cancelled ? "Cancelled " + std::string(info(pending.operation).name)
                                    : outcome.failure;
        return false;
    }
    if (pending.generation != mGeneration) {
        mStatus = "The stack changed while computing; the result was not used";
        return false;
    }
    StackState next{mStack, mRadix};
    next.stack.resize(next.stack.size() - pending.operands.size());
    next.stack.push_back(outcome.result);
    commit(std::move(next));
    mStatus.clear();
    return true;
}

bool Calculator::perform(Operation operation) {
    return guarded([&] {
        auto pending = prepareLocked(operation);
        if (!pending)
            return false;
        return finishLocked(*pending, compute(*pending, mPrecision, mRadix));
    });
}
