// Keeps the calculator's stack on disk so that it survives a restart.
//
// Numbers never change once they are on the stack and are shared between undo
// levels, so each one is written once, to a file of its own; a small index names
// the files of the current stack, bottom first. Every file is written under a
// temporary name and renamed into place, and number files are in place before the
// index that names them, so a kill leaves either the previous state or the new one.
#pragma once

#include <QObject>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Number.h"
#include "StackState.h"

class StackStore : public QObject {
    Q_OBJECT

  public:
    // Restored numbers get this display precision.
    static constexpr int32_t kDisplayPrecision = 100;

    // `folder` is where the state lives; the state itself is one subfolder of it,
    // so that an unreadable state can be moved aside in one rename.
    explicit StackStore(QString folder, QObject *parent = nullptr);
    // Finishes pending writes, then stops the writer thread.
    ~StackStore() override;

    struct Loaded {
        StackState state;
        QString problem; // empty, or a status text for the user
    };
    // Reads the saved state. A state that cannot be read is moved aside (never
    // deleted) and an empty one returned, with the reason in `problem`.
    Loaded load();
    // Returns at once; the state is written on the writer thread. States handed
    // over faster than they can be written are coalesced: the newest one wins.
    void save(StackState state);
    // Blocks until every state handed to save() so far has been written (or failed).
    void flush();
    QString folder() const;

  signals:
    // Delivered on the owner's thread when writing a state fails.
    void saveFailed(QString message);

  private:
    struct Written {
        std::weak_ptr<Number> number; // expired when the address has been reused
        QString file;
    };

    void run();
    void write(const StackState &state);
    void reportFailure(const QString &message);
    QString stackPath() const;

    const QString _folder;

    std::mutex _queueMutex;
    std::condition_variable _wake;     // a state is pending, or the thread should stop
    std::condition_variable _finished; // a state has been dealt with
    std::optional<StackState> _pending;
    uint64_t _submitted = 0;
    uint64_t _pendingTicket = 0;
    uint64_t _done = 0;
    bool _stopping = false;

    // Held while the disk is worked on; everything below belongs to it.
    std::mutex _diskMutex;
    std::unordered_map<const Number *, Written> _written;
    std::vector<QString> _obsolete; // files to remove once the next index is in place
    bool _swept = false;            // stray files from earlier runs removed
    QString _blockedBy;             // an unreadable state that could not be moved aside

    std::thread _worker;
};
