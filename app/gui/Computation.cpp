#include "Computation.h"

#include <QMetaObject>
#include <QPointer>

Computation::Computation(PendingOperation pending, int32_t precision, int32_t radix,
                         QObject *parent)
    : QObject(parent), mPending(std::move(pending)), mPrecision(precision), mRadix(radix) {}

Computation::~Computation() {
    cancel();
    if (mThread.joinable())
        mThread.join();
}

void Computation::start() {
    mThread = std::thread([this] {
        Outcome outcome = compute(mPending, mPrecision, mRadix, &mCancel);
        // Queued to this object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)] { emit finished(outcome); },
            Qt::QueuedConnection);
    });
}

void Computation::cancel() { __atomic_store_n(&mCancel, 1, __ATOMIC_RELAXED); }

bool Computation::cancelled() const { return __atomic_load_n(&mCancel, __ATOMIC_RELAXED) != 0; }
