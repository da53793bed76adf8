// Runs one of the calculator's computations on a thread of its own, so that
// the window keeps answering, and hands the outcome back on the window's
// thread. Cancelling sets the flag the library's long loops read.
#pragma once

#include <QObject>
#include <thread>

#include "Operation.h"

class Computation : public QObject {
    Q_OBJECT
  public:
    Computation(PendingOperation pending, int32_t precision, int32_t radix,
                QObject *parent = nullptr);
    // Cancels a computation still running and waits for its thread.
    ~Computation() override;

    const PendingOperation &pending() const { return mPending; }
    void start();
    void cancel();
    bool cancelled() const;

  signals:
    // On the thread that made the computation, once.
    void finished(const Outcome &outcome);

  private:
    PendingOperation mPending;
    int32_t mPrecision, mRadix;
    int mCancel = 0; // read by the library through bignum_set_cancel_flag
    std::thread mThread;
};
