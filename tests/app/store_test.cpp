// The stack's files: what a restart gets back, which files a save touches, and what
// happens to a state that was damaged on disk or cannot be written.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <mutex>

#include "StackStore.h"

namespace {

// The magnitude given big-endian, without trimming: leading zero bytes stay as words.
std::shared_ptr<Number> makeNumber(const QByteArray &magnitude, bool negative = false) {
    auto number = Number::withPrecision(20, 10);
    if (!number)
        return nullptr;
    if (!magnitude.isEmpty()) {
        bignum_setbytes(number->bignum(), reinterpret_cast<const uint8_t *>(magnitude.data()),
                        int32_t(magnitude.size()));
        if (negative)
            number->bignum()->sign = 2;
        number->markAsOutdated();
    }
    return number;
}

std::shared_ptr<Number> makeNumber(uint64_t value, bool negative = false) {
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    while (!bytes.isEmpty() && bytes.front() == 0)
        bytes.remove(0, 1);
    return makeNumber(bytes, negative);
}

std::shared_ptr<Number> makeMaximal() {
    QByteArray bytes(BIGNUM_MAX_WORDS * 4, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    bytes[0] = char(0x80);
    return makeNumber(bytes);
}

std::vector<uint32_t> trimmedWords(const Number &number) {
    const bignum *record = number.bignum();
    std::vector<uint32_t> words(record->numb, record->numb + record->oofm);
    while (!words.empty() && words.back() == 0)
        words.pop_back();
    return words;
}

// Empty when equal in value, else what differs.
QString difference(const Number &restored, const Number &original) {
    if (bignum_cmp(restored.bignum(), original.bignum()) != 0)
        return "the library orders them apart";
    if (restored.isNegative() != original.isNegative())
        return "the signs differ";
    const auto a = trimmedWords(restored), b = trimmedWords(original);
    if (a.size() != b.size())
        return QString("%1 words instead of %2").arg(a.size()).arg(b.size());
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            return QString("word %1 differs").arg(i);
    return {};
}

// A plain file comes back under the empty name.
QMap<QString, QByteArray> contentsOf(const QString &path) {
    QMap<QString, QByteArray> files;
    if (QFileInfo(path).isFile()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            files.insert(QString(), file.readAll());
        return files;
    }
    QDirIterator it(path, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(it.fileName(), file.readAll());
    }
    return files;
}

QStringList numberFiles(const QString &path) {
    return QDir(path).entryList({"*.num"}, QDir::Files, QDir::Name);
}

QStringList sorted(QStringList names) {
    names.sort();
    return names;
}

QJsonObject indexOf(const QString &stackPath) {
    QFile file(QDir(stackPath).filePath("index.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList namedFiles(const QString &stackPath) {
    QStringList names;
    for (const auto &name : indexOf(stackPath).value("numbers").toArray())
        names << name.toString();
    return names;
}

void writeFile(const QString &path, const QByteArray &contents) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Recomputes a number file's trailing FNV-1a, so that a doctored header passes the checksum.
void reseal(QByteArray &file) {
    uint64_t hash = 14695981039346656037ull;
    for (qsizetype i = 0; i + 8 < file.size(); ++i) {
        hash ^= uint8_t(file[i]);
        hash *= 1099511628211ull;
    }
    qToLittleEndian(hash, file.data() + file.size() - 8);
}

StackState stateOf(std::vector<std::shared_ptr<Number>> stack, int radix = 10) {
    return StackState{std::move(stack), radix};
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> temporary;
    QString folder;      // handed to the store
    QString stackFolder; // where it keeps the state

    StackStore::Loaded reload() { return StackStore(folder).load(); }
    void saveNow(StackState state) {
        StackStore store(folder);
        store.save(std::move(state));
        store.flush();
    }
    void expectStack(const StackState &restored, const std::vector<std::shared_ptr<Number>> &want) {
        QCOMPARE(restored.stack.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            QVERIFY(restored.stack[i]);
            const QString diff = difference(*restored.stack[i], *want[i]);
            QVERIFY2(diff.isEmpty(), qPrintable(QString("entry %1: %2").arg(i).arg(diff)));
        }
    }
    QStringList movedAside() const {
        return QDir(folder).entryList({"stack.unreadable-*"},
                                      QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    // The state must come back empty, with the whole folder moved aside unchanged.
    void expectMovedAside(const StackStore::Loaded &loaded,
                          const QMap<QString, QByteArray> &before) {
        QVERIFY(loaded.state.stack.empty());
        QCOMPARE(loaded.state.radix, 10);
        QVERIFY(!QFileInfo::exists(stackFolder));
        const QStringList moved = movedAside();
        QCOMPARE(moved.size(), 1);
        const QString movedPath = QDir(folder).filePath(moved.front());
        QVERIFY2(loaded.problem.startsWith("The saved stack could not be read ("),
                 qPrintable(loaded.problem));
        QVERIFY2(
            loaded.problem.endsWith("); it was moved to " + QDir::toNativeSeparators(movedPath)),
            qPrintable(loaded.problem));
        QCOMPARE(contentsOf(movedPath), before);
    }

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        static std::once_flag ready;
        std::call_once(ready, bignum_init);
    }
    void init() {
        temporary = std::make_unique<QTemporaryDir>();
        QVERIFY(temporary->isValid());
        folder = temporary->filePath("KarvoGui");
        stackFolder = QDir(folder).filePath("stack");
    }
    void cleanup() { temporary.reset(); }

    void nothingSavedYetIsAnEmptyStack() {
        auto loaded = reload(); // the folder does not exist
        QVERIFY(loaded.state.stack.empty());
        QCOMPARE(loaded.state.radix, 10);
        QVERIFY(loaded.problem.isEmpty());

        QVERIFY(QDir().mkpath(stackFolder)); // a folder without an index
        loaded = reload();
        QVERIFY(loaded.state.stack.empty());
        QCOMPARE(loaded.state.radix, 10);
        QVERIFY(loaded.problem.isEmpty());
        QVERIFY(movedAside().isEmpty());
    }

    void emptyStackKeepsItsRadix() {
        saveNow(stateOf({}, 16));
        const auto loaded = reload();
        QVERIFY(loaded.problem.isEmpty());
        QVERIFY(loaded.state.stack.empty());
        QCOMPARE(loaded.state.radix, 16);
        QVERIFY(numberFiles(stackFolder).isEmpty());
    }

    void numbersComeBackEqual() {
        const auto zero = makeNumber(QByteArray());
        const auto small = makeNumber(42);
        const auto negative = makeNumber(0xff, true);
        const auto maximal = makeMaximal();
        // Three words, the top two zero: the library need not trim its records.
        const auto untrimmed = makeNumber(QByteArray::fromHex("0000000000000000deadbeef"));
        const auto topWordFull = makeNumber(QByteArray::fromHex("ffffffff00000001"), true);
        QVERIFY(zero && small && negative && maximal && untrimmed && topWordFull);
        QCOMPARE(maximal->bignum()->oofm, uint64_t(BIGNUM_MAX_WORDS));
        QCOMPARE(untrimmed->bignum()->oofm, uint64_t(3));
        const std::vector<std::shared_ptr<Number>> stack = {
            zero, small, negative, maximal, untrimmed, negative, topWordFull};
        saveNow(stateOf(stack, 36));

        const auto loaded = reload();
        QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        QCOMPARE(loaded.state.radix, 36);
        expectStack(loaded.state, stack);
        // One file per distinct number, and a number shared on the stack is shared again.
        QCOMPARE(numberFiles(stackFolder).size(), 6);
        QCOMPARE(loaded.state.stack[2].get(), loaded.state.stack[5].get());
        for (const auto &number : loaded.state.stack) {
            QCOMPARE(number->precision(), StackStore::kDisplayPrecision);
            QCOMPARE(number->radix(), 36);
        }
        QVERIFY(!loaded.state.stack[0]->isNegative());
        QVERIFY(loaded.state.stack[2]->isNegative());
        QCOMPARE(loaded.state.stack[2]->description(), std::optional<std::string>("-73"));
        QCOMPARE(loaded.state.stack[1]->description(), std::optional<std::string>("16"));
    }

    void restoredNumbersAreNotWrittenAgain() {
        const auto a = makeNumber(1), b = makeNumber(2);
        saveNow(stateOf({a, b}));
        const QStringList names = namedFiles(stackFolder);
        auto files = contentsOf(stackFolder);
        files.remove("index.json");

        StackStore store(folder);
        const auto loaded = store.load();
        store.save(stateOf({loaded.state.stack[1], loaded.state.stack[0]}));
        store.flush();
        QCOMPARE(namedFiles(stackFolder), (QStringList{names[1], names[0]}));
        auto after = contentsOf(stackFolder);
        after.remove("index.json");
        QCOMPARE(after, files);
        expectStack(reload().state, {b, a});
    }

    void onlyNewNumbersAreWritten() {
        const auto a = makeNumber(10), b = makeMaximal(), c = makeNumber(30, true);
        StackStore store(folder);
        store.save(stateOf({a, b}));
        store.flush();
        const QStringList first = namedFiles(stackFolder);
        QCOMPARE(first.size(), 2);
        QCOMPARE(numberFiles(stackFolder), sorted({first[0], first[1]}));
        // Backdated, so that rewriting them would show.
        const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
        for (const QString &name : first) {
            QFile file(QDir(stackFolder).filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        const auto before = contentsOf(stackFolder);

        store.save(stateOf({a, b, c}));
        store.flush();
        const QStringList second = namedFiles(stackFolder);
        QCOMPARE(second.size(), 3);
        QCOMPARE(second.mid(0, 2), first);
        QVERIFY(!first.contains(second[2]));
        QCOMPARE(numberFiles(stackFolder).size(), 3);
        const auto after = contentsOf(stackFolder);
        for (const QString &name : first) {
            QCOMPARE(after.value(name), before.value(name));
            QCOMPARE(QFileInfo(QDir(stackFolder).filePath(name)).lastModified().toUTC(), old);
        }

        // Same numbers in another order: only the index changes.
        store.save(stateOf({c, a, b, a}));
        store.flush();
        QCOMPARE(namedFiles(stackFolder), (QStringList{second[2], first[0], first[1], first[0]}));
        QCOMPARE(numberFiles(stackFolder).size(), 3);
        for (const QString &name : first)
            QCOMPARE(QFileInfo(QDir(stackFolder).filePath(name)).lastModified().toUTC(), old);

        store.save(stateOf({a}));
        store.flush();
        QCOMPARE(namedFiles(stackFolder), QStringList{first[0]});
        QCOMPARE(numberFiles(stackFolder), QStringList{first[0]});
        expectStack(reload().state, {a});
    }

    void aBurstOfSavesEndsWithTheLastState() {
        std::vector<std::shared_ptr<Number>> numbers;
        for (uint64_t i = 0; i < 200; ++i)
            numbers.push_back(makeNumber(i * 1000003));
        {
            StackStore store(folder);
            for (size_t n = 1; n <= numbers.size(); ++n)
                store.save(stateOf({numbers.begin(), numbers.begin() + n}, 2 + int(n % 35)));
            store.save(stateOf({numbers[7], numbers[3]}, 8));
        } // no flush: the destructor writes what is pending
        const auto loaded = reload();
        QVERIFY(loaded.problem.isEmpty());
        QCOMPARE(loaded.state.radix, 8);
        expectStack(loaded.state, {numbers[7], numbers[3]});
        QCOMPARE(numberFiles(stackFolder).size(), 2); // the coalesced states left nothing behind
    }

    void filesOfAnInterruptedSaveAreIgnoredThenRemoved() {
        const auto a = makeNumber(5), b = makeNumber(6);
        saveNow(stateOf({a}));
        const QString kept = namedFiles(stackFolder).front();
        // What a kill between the number files and the index leaves, and someone else's file.
        const QString stray = QString(32, 'a') + ".num";
        QVERIFY(QFile::copy(QDir(stackFolder).filePath(kept), QDir(stackFolder).filePath(stray)));
        writeFile(QDir(stackFolder).filePath("index.json.Xy12ab"), "{");
        writeFile(QDir(stackFolder).filePath("notes.txt"), "mine");

        StackStore store(folder);
        const auto loaded = store.load();
        QVERIFY(loaded.problem.isEmpty());
        expectStack(loaded.state, {a});
        store.save(stateOf({loaded.state.stack[0], b}));
        store.flush();
        const QStringList named = namedFiles(stackFolder);
        QCOMPARE(named.front(), kept);
        QCOMPARE(QDir(stackFolder).entryList(QDir::Files, QDir::Name),
                 sorted({named[0], named[1], "index.json", "notes.txt"}));
    }

    void unreadableStateIsMovedAside_data() {
        QTest::addColumn<QString>("damage");
        for (const char *damage :
             {"truncated number file", "flipped byte", "empty number file", "bad magic",
              "number file version", "over the word limit", "length mismatch", "negative zero",
              "garbage index", "index not an object", "index names a missing file", "index version",
              "index format", "radix out of range", "radix not a number", "index names a path",
              "index without numbers", "stack is a file"})
            QTest::newRow(damage) << QString(damage);
    }
    void unreadableStateIsMovedAside() {
        QFETCH(QString, damage);
        const auto a = makeNumber(0x123456789), b = makeNumber(77, true);
        saveNow(stateOf({a, b}, 16));
        const QDir dir(stackFolder);
        const QString first = dir.filePath(namedFiles(stackFolder).front());
        const QString indexPath = dir.filePath("index.json");
        QByteArray number = readAll(first);
        QJsonObject index = indexOf(stackFolder);
        QVERIFY(!number.isEmpty() && !index.isEmpty());

        const auto withIndex = [&](const char *key, const QJsonValue &value) {
            index.insert(key, value);
            writeFile(indexPath, QJsonDocument(index).toJson());
        };
        if (damage == "truncated number file") {
            number.chop(5);
            writeFile(first, number);
        } else if (damage == "flipped byte") {
            number[26] = char(number[26] ^ 0x10);
            writeFile(first, number);
        } else if (damage == "empty number file") {
            writeFile(first, {});
        } else if (damage == "bad magic") {
            number[0] = 'k';
            reseal(number);
            writeFile(first, number);
        } else if (damage == "number file version") {
            number[8] = 2;
            reseal(number);
            writeFile(first, number);
        } else if (damage == "over the word limit") {
            const uint64_t length = BIGNUM_MAX_WORDS * 4 + 1;
            QByteArray big = number.left(24) + QByteArray(qsizetype(length), '\x01') + "checksum";
            qToLittleEndian(length, big.data() + 16);
            reseal(big);
            writeFile(first, big);
        } else if (damage == "length mismatch") {
            number[16] = char(number[16] + 1);
            reseal(number);
            writeFile(first, number);
        } else if (damage == "negative zero") {
            QByteArray zero = number.left(24) + "checksum";
            qToLittleEndian(uint32_t(2), zero.data() + 12);
            qToLittleEndian(uint64_t(0), zero.data() + 16);
            reseal(zero);
            writeFile(first, zero);
        } else if (damage == "garbage index") {
            writeFile(indexPath, "\x89PNG garbage {{{");
        } else if (damage == "index not an object") {
            writeFile(indexPath, "[1, 2, 3]");
        } else if (damage == "index names a missing file") {
            QVERIFY(QFile::remove(first));
        } else if (damage == "index version") {
            withIndex("version", 2);
        } else if (damage == "index format") {
            withIndex("format", "something else");
        } else if (damage == "radix out of range") {
            withIndex("radix", 37);
        } else if (damage == "radix not a number") {
            withIndex("radix", "ten");
        } else if (damage == "index names a path") {
            withIndex("numbers", QJsonArray{"../" + QFileInfo(first).fileName()});
        } else if (damage == "index without numbers") {
            index.remove("numbers");
            writeFile(indexPath, QJsonDocument(index).toJson());
        } else if (damage == "stack is a file") {
            QVERIFY(QDir(stackFolder).removeRecursively());
            writeFile(stackFolder, "not a folder");
        } else {
            QFAIL("unknown damage");
        }
        const auto before = contentsOf(stackFolder);

        StackStore store(folder);
        expectMovedAside(store.load(), before);
        if (QTest::currentTestFailed())
            return;

        // Saving starts afresh beside the moved folder.
        const auto c = makeNumber(99);
        store.save(stateOf({c}, 12));
        store.flush();
        const auto again = reload();
        QVERIFY(again.problem.isEmpty());
        QCOMPARE(again.state.radix, 12);
        expectStack(again.state, {c});
        QCOMPARE(contentsOf(QDir(folder).filePath(movedAside().front())), before);
    }

    void everyTruncationAndFlippedByteIsCaught() {
        saveNow(stateOf({makeNumber(0x1234567)}));
        const QString name = namedFiles(stackFolder).front();
        const QByteArray index = readAll(QDir(stackFolder).filePath("index.json"));
        const QByteArray number = readAll(QDir(stackFolder).filePath(name));
        QCOMPARE(number.size(), 24 + 4 + 8);

        QList<QByteArray> damaged;
        for (qsizetype length = 0; length < number.size(); ++length)
            damaged << number.left(length);
        for (qsizetype at = 0; at < number.size(); ++at) {
            QByteArray flipped = number;
            flipped[at] = char(flipped[at] ^ 0x01);
            damaged << flipped;
        }
        int case_ = 0;
        for (const QByteArray &contents : damaged) {
            const QString place = temporary->filePath(QString("case%1").arg(case_++));
            QVERIFY(QDir().mkpath(place + "/stack"));
            writeFile(place + "/stack/index.json", index);
            writeFile(place + "/stack/" + name, contents);
            const auto loaded = StackStore(place).load();
            QVERIFY2(loaded.state.stack.empty(), qPrintable(place));
            QVERIFY2(!loaded.problem.isEmpty(), qPrintable(place));
            QVERIFY(!QFileInfo::exists(place + "/stack"));
        }
    }

    // The index has no checksum of its own: a damaged one must give back the whole
    // stack (a radix changed by the damage is still a radix) or nothing, with the
    // state moved aside. Never a part of the stack, never a crash.
    void everyDamagedIndexGivesTheWholeStackOrNothing() {
        const auto first = makeNumber(0x1234567), second = makeNumber(-42);
        saveNow(stateOf({first, second}, 16));
        const QByteArray index = readAll(QDir(stackFolder).filePath("index.json"));
        const QStringList names = namedFiles(stackFolder);
        QCOMPARE(names.size(), 2);
        QMap<QString, QByteArray> numbers;
        for (const QString &name : names)
            numbers[name] = readAll(QDir(stackFolder).filePath(name));

        QList<QByteArray> damaged;
        for (qsizetype length = 0; length < index.size(); ++length)
            damaged << index.left(length);
        for (qsizetype at = 0; at < index.size(); ++at)
            for (char mask : {char(0x01), char(0x80)}) {
                QByteArray altered = index;
                altered[at] = char(altered[at] ^ mask);
                damaged << altered;
            }
        int whole = 0, nothing = 0, case_ = 0;
        for (const QByteArray &contents : damaged) {
            const QString place = temporary->filePath(QString("index%1").arg(case_++));
            QVERIFY(QDir().mkpath(place + "/stack"));
            writeFile(place + "/stack/index.json", contents);
            for (auto it = numbers.cbegin(); it != numbers.cend(); ++it)
                writeFile(place + "/stack/" + it.key(), it.value());
            const auto loaded = StackStore(place).load();
            if (loaded.state.stack.empty()) {
                QVERIFY2(!loaded.problem.isEmpty(), qPrintable(place));
                QVERIFY(!QFileInfo::exists(place + "/stack"));
                ++nothing;
            } else {
                expectStack(loaded.state, {first, second});
                QVERIFY(loaded.state.radix >= 2 && loaded.state.radix <= 36);
                ++whole;
            }
        }
        QVERIFY(whole > 0 && nothing > 0);
    }

    void everyUnreadableStateGetsItsOwnPlace() {
        QStringList problems;
        for (int round = 0; round < 3; ++round) {
            QVERIFY(QDir().mkpath(stackFolder));
            writeFile(QDir(stackFolder).filePath("index.json"),
                      QByteArray("round ") + QByteArray::number(round));
            problems << reload().problem;
        }
        const QStringList moved = movedAside();
        QCOMPARE(moved.size(), 3);
        QSet<QByteArray> rounds;
        for (const QString &name : moved)
            rounds << readAll(QDir(folder).filePath(name + "/index.json"));
        QCOMPARE(rounds, (QSet<QByteArray>{"round 0", "round 1", "round 2"}));
        for (const QString &problem : problems)
            QVERIFY(problem.contains("stack.unreadable-"));
    }

    void writeFailureIsReportedAndRetried() {
        // A file where the folder should be: no one, root included, can create it.
        const QString blocker = temporary->filePath("blocker");
        writeFile(blocker, "in the way");
        folder = blocker + "/KarvoGui";
        stackFolder = folder + "/stack";
        const auto a = makeNumber(1), b = makeMaximal();

        StackStore store(folder);
        QSignalSpy failures(&store, &StackStore::saveFailed);
        QVERIFY(store.load().problem.isEmpty());
        store.save(stateOf({a}));
        store.flush();
        QTRY_COMPARE(failures.size(), 1);
        const QString message = failures.front().front().toString();
        QVERIFY2(message.startsWith("The stack could not be saved"), qPrintable(message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(stackFolder)), qPrintable(message));

        store.save(stateOf({a, b}));
        store.flush();
        QTRY_COMPARE(failures.size(), 2);

        QVERIFY(QFile::remove(blocker));
        store.save(stateOf({b, a}, 3));
        store.flush();
        QTest::qWait(50);
        QCOMPARE(failures.size(), 2);
        const auto loaded = reload();
        QVERIFY(loaded.problem.isEmpty());
        QCOMPARE(loaded.state.radix, 3);
        expectStack(loaded.state, {b, a});
    }

    void failedIndexLeavesThePreviousState() {
        const auto a = makeNumber(11), b = makeNumber(12);
        StackStore store(folder);
        QSignalSpy failures(&store, &StackStore::saveFailed);
        store.save(stateOf({a}));
        store.flush();
        const auto before = contentsOf(stackFolder);
        // A folder by the name the index takes: writing the index fails after b's file.
        QVERIFY(QFile::rename(QDir(stackFolder).filePath("index.json"),
                              QDir(stackFolder).filePath("kept.json")));
        QVERIFY(QDir(stackFolder).mkdir("index.json"));
        store.save(stateOf({a, b}));
        store.flush();
        QTRY_COMPARE(failures.size(), 1);
        QVERIFY(QDir(stackFolder).rmdir("index.json"));
        QVERIFY(QFile::rename(QDir(stackFolder).filePath("kept.json"),
                              QDir(stackFolder).filePath("index.json")));
        // The earlier state is whole, and a's file was not removed.
        expectStack(StackStore(folder).load().state, {a});
        for (auto file = before.begin(); file != before.end(); ++file)
            QCOMPARE(readAll(QDir(stackFolder).filePath(file.key())), file.value());

        store.save(stateOf({b}));
        store.flush();
        QCOMPARE(failures.size(), 1);
        expectStack(reload().state, {b});
        QCOMPARE(numberFiles(stackFolder).size(), 1);
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "store_test.moc"
