#include "StackStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QtEndian>

#include <bit>
#include <cstring>
#include <unordered_set>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {

// Number file, integers little-endian:
//   magic "KARVONUM", u32 version, u32 sign (1 or 2), u64 byte length,
//   the magnitude big-endian without leading zero bytes,
//   u64 FNV-1a of everything before it.
constexpr char kMagic[8] = {'K', 'A', 'R', 'V', 'O', 'N', 'U', 'M'};
constexpr uint32_t kNumberVersion = 1;
constexpr qint64 kHeaderSize = 24;
constexpr qint64 kChecksumSize = 8;
constexpr uint64_t kMaxBytes = uint64_t(BIGNUM_MAX_WORDS) * 4;

// The index is JSON: {"format": ..., "version": 1, "radix": r, "numbers": [file, ...]}.
constexpr int kIndexVersion = 1;
const char *const kIndexFormat = "KarvoGui stack";
const char *const kIndexName = "index.json";
constexpr qint64 kMaxIndexSize = 64 << 20;

const char *const kStackFolder = "stack";

// Names are checked before use, so an index cannot point outside its folder.
const QRegularExpression &numberFilePattern() {
    static const QRegularExpression pattern("^[0-9a-f]{32}\\.num$");
    return pattern;
}
// What QSaveFile leaves behind when it is killed on a system without unnamed temporaries.
const QRegularExpression &leftoverPattern() {
    static const QRegularExpression pattern("^([0-9a-f]{32}\\.num|index\\.json)\\..+$");
    return pattern;
}

uint64_t fnv1a(const char *data, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= uint8_t(data[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

QByteArray encodeNumber(const ::bignum &record) {
    // The record need not be trimmed; the file always is.
    uint64_t words = record.oofm;
    while (words > 0 && record.numb[words - 1] == 0)
        --words;
    const unsigned topBytes =
        words == 0 ? 0 : (32 - unsigned(std::countl_zero(record.numb[words - 1])) + 7) / 8;
    const uint64_t length = words == 0 ? 0 : 4 * (words - 1) + topBytes;
    const uint32_t sign = record.sign == 2 && length > 0 ? 2 : 1;

    QByteArray file(qsizetype(kHeaderSize + length + kChecksumSize), Qt::Uninitialized);
    char *out = file.data();
    std::memcpy(out, kMagic, sizeof kMagic);
    qToLittleEndian(kNumberVersion, out + 8);
    qToLittleEndian(sign, out + 12);
    qToLittleEndian(uint64_t(length), out + 16);
    char *magnitude = out + kHeaderSize;
    if (words > 0) {
        const uint32_t top = record.numb[words - 1];
        for (unsigned b = topBytes; b-- > 0;)
            *magnitude++ = char(uint8_t(top >> (8 * b)));
        for (uint64_t i = words - 1; i-- > 0;) {
            qToBigEndian(record.numb[i], magnitude);
            magnitude += 4;
        }
    }
    qToLittleEndian(fnv1a(file.constData(), size_t(kHeaderSize + length)), magnitude);
    return file;
}

// A number rebuilt from a file's contents, or the reason it cannot be.
std::shared_ptr<Number> decodeNumber(const QByteArray &file, int radix, QString *reason) {
    if (file.size() < kHeaderSize + kChecksumSize) {
        *reason = "it is truncated";
        return nullptr;
    }
    const char *in = file.constData();
    if (std::memcmp(in, kMagic, sizeof kMagic) != 0) {
        *reason = "it is not a number file";
        return nullptr;
    }
    const auto version = qFromLittleEndian<uint32_t>(in + 8);
    const auto sign = qFromLittleEndian<uint32_t>(in + 12);
    const auto length = qFromLittleEndian<uint64_t>(in + 16);
    if (length > kMaxBytes) {
        *reason = "it is over the size limit";
        return nullptr;
    }
    if (uint64_t(file.size()) != kHeaderSize + length + kChecksumSize) {
        *reason = "its length does not match";
        return nullptr;
    }
    if (qFromLittleEndian<uint64_t>(in + kHeaderSize + length) !=
        fnv1a(in, size_t(kHeaderSize + length))) {
        *reason = "it is damaged";
        return nullptr;
    }
    if (version != kNumberVersion) {
        *reason = QString("it has unknown format version %1").arg(version);
        return nullptr;
    }
    const auto *magnitude = reinterpret_cast<const uint8_t *>(in + kHeaderSize);
    // Only the canonical form is written; anything else did not come from here.
    if ((sign != 1 && sign != 2) || (sign == 2 && length == 0) ||
        (length > 0 && magnitude[0] == 0)) {
        *reason = "it is malformed";
        return nullptr;
    }
    auto number = Number::withPrecision(StackStore::kDisplayPrecision, radix);
    if (!number) {
        *reason = "not enough memory";
        return nullptr;
    }
    if (length > 0) {
        if (bignum_setbytes(number->bignum(), magnitude, int32_t(length)) == nullptr) {
            *reason = "not enough memory";
            return nullptr;
        }
        number->bignum()->sign = uint8_t(sign);
        number->markAsOutdated();
    }
    return number;
}

// Reads at most `limit` bytes; a larger file is refused rather than read.
bool readFile(const QString &path, qint64 limit, QByteArray *contents, QString *reason) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.exists() ? "it cannot be opened" : "it is missing";
        return false;
    }
    if (file.size() > limit) {
        *reason = "it is over the size limit";
        return false;
    }
    *contents = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError || contents->size() != file.size()) {
        *reason = "it cannot be read";
        return false;
    }
    return true;
}

QString freshNumberName(const QDir &dir) {
    for (;;) {
        quint64 bits[2];
        QRandomGenerator::system()->fillRange(bits);
        const QString name =
            QString("%1%2.num").arg(bits[0], 16, 16, QChar('0')).arg(bits[1], 16, 16, QChar('0'));
        if (!dir.exists(name))
            return name;
    }
}

// The new names only reach the disk's journal with the folder's own entry.
void syncFolder(const QString &path) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

bool writeFileAtomically(const QString &path, const QByteArray &contents, QString *error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() ||
        !file.commit()) {
        *error = QString("could not write %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace

StackStore::StackStore(QString folder, QObject *parent)
    : QObject(parent), _folder(std::move(folder)) {
    _worker = std::thread([this] { run(); });
}

StackStore::~StackStore() {
    {
        std::lock_guard lock(_queueMutex);
        _stopping = true;
    }
    _wake.notify_one();
    _worker.join();
}

QString StackStore::folder() const { return _folder; }

QString StackStore::stackPath() const { return QDir(_folder).filePath(kStackFolder); }

void StackStore::save(StackState state) {
    std::optional<StackState> replaced;
    {
        std::lock_guard lock(_queueMutex);
        replaced = std::exchange(_pending, std::move(state));
        _pendingTicket = ++_submitted;
    }
    _wake.notify_one();
    // `replaced` may hold the last references to numbers: freed here, after the lock.
}

void StackStore::flush() {
    std::unique_lock lock(_queueMutex);
    const uint64_t target = _submitted;
    _finished.wait(lock, [&] { return _done >= target; });
}

void StackStore::run() {
#ifdef Q_OS_LINUX
    // Below the window's thread, so that waking the writer does not preempt the caller
    // of save(); a nice value (unlike an idle class) still lets it run under load.
    setpriority(PRIO_PROCESS, id_t(gettid()), 10);
#endif
    std::unique_lock lock(_queueMutex);
    for (;;) {
        _wake.wait(lock, [this] { return _pending || _stopping; });
        if (!_pending)
            return; // stopping, and nothing left to write
        StackState state = std::move(*_pending);
        _pending.reset();
        const uint64_t ticket = _pendingTicket;
        lock.unlock();
        {
            std::lock_guard disk(_diskMutex);
            write(state);
        }
        state.stack.clear();
        lock.lock();
        _done = ticket;
        _finished.notify_all();
    }
}

void StackStore::reportFailure(const QString &message) {
    QMetaObject::invokeMethod(
        this, [this, message] { emit saveFailed(message); }, Qt::QueuedConnection);
}

void StackStore::write(const StackState &state) {
    const QString path = stackPath();
    if (!_blockedBy.isEmpty()) {
        reportFailure(QString("The stack is not being saved: the unreadable saved stack in %1 "
                              "is in the way")
                          .arg(QDir::toNativeSeparators(_blockedBy)));
        return;
    }
    if (!QDir().mkpath(path)) {
        reportFailure(QString("The stack could not be saved: could not create the folder %1")
                          .arg(QDir::toNativeSeparators(path)));
        return;
    }
    const QDir dir(path);

    QJsonArray names;
    std::unordered_set<const Number *> current;
    bool wroteNumbers = false;
    for (const auto &number : state.stack) {
        if (!number)
            continue;
        const Number *key = number.get();
        auto known = _written.find(key);
        if (known != _written.end() && known->second.number.lock() == number &&
            dir.exists(known->second.file)) {
            names.append(known->second.file);
            current.insert(key);
            continue;
        }
        const QString name = freshNumberName(dir);
        QString error;
        if (!writeFileAtomically(dir.filePath(name), encodeNumber(*number->bignum()), &error)) {
            reportFailure("The stack could not be saved: " + error);
            return;
        }
        if (known != _written.end()) {
            // The old file may still be named by the index on disk.
            _obsolete.push_back(known->second.file);
            known->second = Written{number, name};
        } else {
            _written.emplace(key, Written{number, name});
        }
        names.append(name);
        current.insert(key);
        wroteNumbers = true;
    }
    if (wroteNumbers)
        syncFolder(path);

    int radix = state.radix;
    Q_ASSERT(radix >= 2 && radix <= 36);
    if (radix < 2 || radix > 36)
        radix = 10; // a state that could not be loaded again would be worse
    const QJsonObject index{
        {"format", kIndexFormat}, {"version", kIndexVersion}, {"radix", radix}, {"numbers", names}};
    QString error;
    if (!writeFileAtomically(dir.filePath(kIndexName), QJsonDocument(index).toJson(), &error)) {
        reportFailure("The stack could not be saved: " + error);
        return;
    }

    // The index on disk now names only the current numbers; the rest can go.
    for (auto entry = _written.begin(); entry != _written.end();) {
        if (current.count(entry->first) == 0) {
            _obsolete.push_back(entry->second.file);
            entry = _written.erase(entry);
        } else {
            ++entry;
        }
    }
    for (const QString &file : _obsolete)
        QFile::remove(dir.filePath(file));
    _obsolete.clear();

    if (!_swept) {
        // Files written by an earlier run that was killed before its index was in place.
        QSet<QString> named;
        for (const auto &name : names)
            named.insert(name.toString());
        for (const QString &file : dir.entryList(QDir::Files | QDir::Hidden)) {
            if ((numberFilePattern().match(file).hasMatch() && !named.contains(file)) ||
                leftoverPattern().match(file).hasMatch())
                QFile::remove(dir.filePath(file));
        }
        _swept = true;
    }
}

StackStore::Loaded StackStore::load() {
    flush();
    std::lock_guard disk(_diskMutex);
    _written.clear();
    _obsolete.clear();
    _swept = false;
    _blockedBy.clear();

    Loaded loaded;
    const QString path = stackPath();
    const QFileInfo stackInfo(path);
    if (!stackInfo.exists() && !stackInfo.isSymLink())
        return loaded;

    QString reason;
    StackState state;
    std::unordered_map<const Number *, Written> written;
    const auto readState = [&]() -> bool {
        if (!stackInfo.isDir()) {
            reason = "it is not a folder";
            return false;
        }
        const QDir dir(path);
        if (!dir.exists(kIndexName))
            return true; // killed before the first index was in place: nothing saved yet
        QByteArray bytes;
        if (!readFile(dir.filePath(kIndexName), kMaxIndexSize, &bytes, &reason)) {
            reason = "the index: " + reason;
            return false;
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
        if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
            reason = "the index is not valid";
            return false;
        }
        const QJsonObject index = document.object();
        if (index.value("format").toString() != kIndexFormat ||
            index.value("version").toInteger(-1) != kIndexVersion) {
            reason = "the index has an unknown format or version";
            return false;
        }
        const qint64 radix = index.value("radix").toInteger(-1);
        if (radix < 2 || radix > 36) {
            reason = "the index has an invalid radix";
            return false;
        }
        state.radix = int(radix);
        if (!index.value("numbers").isArray()) {
            reason = "the index has no list of numbers";
            return false;
        }
        const QJsonArray names = index.value("numbers").toArray();
        QHash<QString, std::shared_ptr<Number>> byName; // shared numbers stay shared
        state.stack.reserve(size_t(names.size()));
        for (const auto &value : names) {
            const QString name = value.toString();
            if (!value.isString() || !numberFilePattern().match(name).hasMatch()) {
                reason = "the index names an invalid file";
                return false;
            }
            auto &number = byName[name];
            if (!number) {
                QByteArray contents;
                if (!readFile(dir.filePath(name), kHeaderSize + qint64(kMaxBytes) + kChecksumSize,
                              &contents, &reason) ||
                    !(number = decodeNumber(contents, state.radix, &reason))) {
                    reason = QString("number file %1: %2").arg(name, reason);
                    return false;
                }
                written.emplace(number.get(), Written{number, name});
            }
            state.stack.push_back(number);
        }
        return true;
    };
    if (readState()) {
        loaded.state = std::move(state);
        _written = std::move(written);
        return loaded;
    }

    // Keep what was there for the user to look at; saving starts afresh beside it.
    QDir folder(_folder);
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss");
    QString target = QString("%1.unreadable-%2").arg(kStackFolder, stamp);
    for (int n = 2; QFileInfo::exists(folder.filePath(target)) ||
                    QFileInfo(folder.filePath(target)).isSymLink();
         ++n)
        target = QString("%1.unreadable-%2-%3").arg(kStackFolder, stamp).arg(n);
    const QString targetPath = folder.filePath(target);
    if (!folder.rename(kStackFolder, target)) {
        _blockedBy = path;
        loaded.problem = QString("The saved stack could not be read (%1) nor moved aside; it "
                                 "stays in %2 and the stack will not be saved")
                             .arg(reason, QDir::toNativeSeparators(path));
        return loaded;
    }
    loaded.problem = QString("The saved stack could not be read (%1); it was moved to %2")
                         .arg(reason, QDir::toNativeSeparators(targetPath));
    return loaded;
}
