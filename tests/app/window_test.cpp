// Drives the real window with key presses and button clicks, finding its controls the way
// assistive tools do (by accessible name), and checks the stack table's model. Every window
// keeps its stack in a temporary folder, and settings go to Qt's test locations.
#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "CalculatorDataSource.h"
#include "MainController.h"
#include "NumberTextField.h"
#include "StackStore.h"
#include "ValueViewer.h"

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<MainController> window;
    NumberTextField *entry = nullptr;
    QTableView *stack = nullptr;
    QLineEdit *status = nullptr;

    template <class Control> Control *control(const QString &name) {
        for (Control *candidate : window->findChildren<Control *>())
            if (candidate->accessibleName() == name)
                return candidate;
        return nullptr;
    }
    // A window on the data folder as it is (a restart when one was open before).
    void open() {
        window = std::make_unique<MainController>(nullptr, data->path());
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        entry = control<NumberTextField>("Entry");
        stack = control<QTableView>("Stack");
        status = control<QLineEdit>("Status");
        QVERIFY(entry && stack && status);
    }
    // A bound, not a wait: under the sanitizers on a slow machine the ten
    // thousand presses below took 23 s.
    void settle() { QTRY_VERIFY_WITH_TIMEOUT(!window->isBusy(), 120000); }
    void keys(const QString &text) {
        QTest::keyClicks(entry, text);
        settle();
    }
    // Types a number as a person does: a negative one as its digits, then '_'.
    void type(const QString &text) {
        QTest::keyClicks(entry, text.startsWith('-') ? text.mid(1) + "_" : text);
        QTest::keyClick(entry, Qt::Key_Return);
        settle();
    }
    void press(const QString &button) {
        auto *found = control<QAbstractButton>(button);
        QVERIFY2(found != nullptr, qPrintable(button));
        QTest::mouseClick(found, Qt::LeftButton);
        settle();
    }
    void trigger(const QString &text) {
        QAction *found = window->action(text);
        QVERIFY2(found != nullptr, qPrintable(text));
        found->trigger();
        settle();
    }
    QStringList rows() const { // the table's cells, first row first
        QStringList all;
        for (int row = 0; row < stack->model()->rowCount(); ++row)
            all << stack->model()->index(row, 0).data().toString();
        return all;
    }
    QString digits() { return control<QLineEdit>("Digits")->text(); }

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        window.reset();
        data = std::make_unique<QTemporaryDir>();
        open();
    }
    void cleanup() {
        window.reset();
        data.reset();
    }

    void everyControlHasItsAccessibleName() {
        const QStringList buttons = {"Enter",       "Add",       "Subtract",
                                     "Multiply",    "Divide",    "Power",
                                     "Root",        "Factorial", "Modular power",
                                     "Modulo",      "GCD",       "Modular inverse",
                                     "Change sign", "Swap",      "Drop",
                                     "Rotate",      "Clear",     "Undo",
                                     "Redo",        "Cancel",    "0",
                                     "1",           "2",         "3",
                                     "4",           "5",         "6",
                                     "7",           "8",         "9"};
        for (const QString &name : buttons) {
            auto *button = control<QAbstractButton>(name);
            QVERIFY2(button, qPrintable(name));
            if (name.size() > 1) // every action's key is in its tooltip
                QVERIFY2(button->toolTip().contains('('), qPrintable(name));
        }
        for (const char *field : {"Digits", "Status"})
            QVERIFY2(control<QLineEdit>(field) && control<QLineEdit>(field)->isReadOnly(), field);
        QVERIFY(control<QSpinBox>("Radix"));
        QStringList menus;
        for (QAction *menu : window->menuBar()->actions())
            menus << menu->text().remove('&');
        QCOMPARE(menus, (QStringList{"File", "Edit", "Stack", "View", "Help"}));
        QCOMPARE(window->action("Undo")->shortcut(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(window->action("Paste")->shortcut(), QKeySequence(QKeySequence::Paste));
        QAbstractItemModelTester tester(stack->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        type("1");
        type("2");
        press("Add");
        press("Undo");
        QCOMPARE(stack->model()->headerData(0, Qt::Horizontal).toString(), "Number");
    }

    // Operator keys act at once; with a number in the entry it is entered first.
    void operatorKeysEnterTheEntryFirst() {
        const struct {
            const char *keys;
            QStringList after;
        } cases[] = {
            {"12\r30+", {"42"}}, {"7\r2-", {"5"}},   {"5!", {"120"}},    {"2\r10^", {"1024"}},
            {"17\r5%", {"2"}},   {"6\r4*3/", {"8"}}, {"9\r\r*", {"81"}}, {"3\r4+5*", {"35"}},
        };
        for (const auto &c : cases) {
            init();
            for (QChar key : QString(c.keys)) {
                if (key == '\r')
                    QTest::keyClick(entry, Qt::Key_Return);
                else
                    QTest::keyClick(entry, key.toLatin1());
                settle();
            }
            QCOMPARE(rows(), c.after);
            QCOMPARE(entry->text(), "");
        }
        // Digits typed while the table has focus go to the entry, operators still act.
        init();
        type("8");
        stack->setFocus();
        QTest::keyClicks(stack, "34");
        QCOMPARE(entry->text(), "34");
        QTest::keyClick(stack, '-');
        settle();
        QCOMPARE(rows(), QStringList{"-26"});
        // Keypad keys are the same keys.
        QTest::keyClicks(entry, "2");
        QTest::keyClick(entry, Qt::Key_Asterisk, Qt::KeypadModifier);
        settle();
        QCOMPARE(rows(), QStringList{"-52"});
        QTest::keyClick(entry, Qt::Key_Enter, Qt::KeypadModifier);
        settle();
        QCOMPARE(rows(), (QStringList{"-52", "-52"}));
    }

    // '-' always subtracts; '_' (Change sign) negates the entry, or the top.
    void negativeNumbersAndChangeSign() {
        keys("5_");
        QCOMPARE(entry->text(), "-5");
        keys("_");
        QCOMPARE(entry->text(), "5");
        keys("_\r");
        QCOMPARE(rows(), QStringList{"-5"});
        keys("_");
        QCOMPARE(rows(), QStringList{"5"});
        press("Change sign");
        QCOMPARE(rows(), QStringList{"-5"});
        entry->setText("-12"); // text with a leading '-' still enters a negative number
        QTest::keyClick(entry, Qt::Key_Return);
        settle();
        QCOMPARE(rows(), (QStringList{"-5", "-12"}));
        keys("3-");
        QCOMPARE(rows(), (QStringList{"-5", "-15"}));
        // Backspace edits the entry, and drops the top when the entry is empty.
        keys("45");
        QTest::keyClick(entry, Qt::Key_Backspace);
        QCOMPARE(entry->text(), "4");
        QTest::keyClick(entry, Qt::Key_Backspace);
        QTest::keyClick(entry, Qt::Key_Backspace);
        settle();
        QCOMPARE(rows(), QStringList{"-5"});
    }

    void typedNumbersAndDigitButtons() {
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(stack->model()->rowCount(), 0);
        for (const char *digit : {"1", "0", "2", "3", "4", "5", "6", "7", "8", "9"})
            press(digit);
        QCOMPARE(entry->text(), "1023456789");
        press("Enter");
        QTest::keyClick(entry, Qt::Key_Return);
        settle();
        QCOMPARE(rows(), QStringList(2, "1023456789"));
        QCOMPARE(digits(), "10");
    }

    // Each kind of change is one undo level; redo brings it back.
    void undoAndRedoEveryKindOfChange() {
        type("1");
        type("2");
        type("3");
        const QStringList start = {"1", "2", "3"};
        QApplication::clipboard()->setText("77");
        const struct {
            const char *name;
            std::function<void()> change;
            QStringList after;
        } changes[] = {
            {"swap", [&] { press("Swap"); }, {"1", "3", "2"}},
            {"rotate", [&] { press("Rotate"); }, {"2", "3", "1"}},
            {"drop", [&] { press("Drop"); }, {"1", "2"}},
            {"clear", [&] { press("Clear"); }, {}},
            {"operation", [&] { press("Multiply"); }, {"1", "6"}},
            {"entry", [&] { type("9"); }, {"1", "2", "3", "9"}},
            {"paste", [&] { trigger("Paste"); }, {"1", "2", "3", "77"}},
            {"radix", [&] { control<QSpinBox>("Radix")->setValue(2); }, {"1", "10", "11"}},
        };
        for (const auto &c : changes) {
            c.change();
            settle();
            QCOMPARE(rows(), c.after);
            QTest::keyClick(entry, Qt::Key_Z, Qt::ControlModifier);
            settle();
            QVERIFY2(rows() == start, c.name);
            QCOMPARE(control<QSpinBox>("Radix")->value(), 10);
            press("Redo");
            QVERIFY2(rows() == c.after, c.name);
            press("Undo");
        }
        QTest::keyClick(entry, Qt::Key_T, Qt::ControlModifier); // Swap's key
        settle();
        QCOMPARE(rows(), (QStringList{"1", "3", "2"}));
    }

    // mod, gcd, inv and powmod, and their failures: the stack stays, Status says why.
    void numberTheory() {
        const struct {
            const char *button;
            QStringList entries, after;
        } cases[] = {
            {"Modulo", {"-17", "5"}, {"2"}},
            {"GCD", {"-12", "18"}, {"6"}},
            {"Modular inverse", {"-3", "7"}, {"2"}},
            {"Modular power", {"4", "13", "497"}, {"445"}},
            {"Modular power", {"2", "-3", "5"}, {"2"}},
        };
        for (const auto &c : cases) {
            init();
            for (const QString &text : c.entries)
                type(text);
            press(c.button);
            QCOMPARE(rows(), c.after);
        }
        const struct {
            const char *button;
            QStringList entries;
            const char *why;
        } failures[] = {
            {"Modulo", {"7", "0"}, "Division by zero"},
            {"Modular inverse", {"6", "-9"}, "No inverse modulo the top: the gcd is 3"},
            {"Modular power", {"4", "-1", "6"}, "Base has no inverse modulo the modulus"},
            {"Modular power", {"4", "2", "0"}, "Modulus is zero"},
            {"GCD", {"4"}, "Gcd needs 2 numbers on the stack"},
        };
        for (const auto &f : failures) {
            init();
            for (const QString &text : f.entries)
                type(text);
            press(f.button);
            QCOMPARE(rows(), f.entries);
            QCOMPARE(status->text(), f.why);
        }
        press("Add");
        QCOMPARE(status->text(), "Add needs 2 numbers on the stack");
        type("1");
        press("Add");
        QCOMPARE(status->text(), "");
    }

    void radixSixteenInAndOut() {
        auto *radix = control<QSpinBox>("Radix");
        radix->setValue(16);
        settle();
        type("fF");
        keys("1+");
        QCOMPARE(rows(), QStringList{"100"});
        trigger("Copy");
        QCOMPARE(QApplication::clipboard()->text(), "100");
        keys("g\r");
        QCOMPARE(status->text(), "Not an integer in radix 16: g");
        QCOMPARE(entry->text(), "g");
        entry->clear();
        radix->setValue(10);
        settle();
        QCOMPARE(rows(), QStringList{"256"});
        QCOMPARE(digits(), "3");
        radix->setValue(2);
        settle();
        QCOMPARE(digits(), "9");
        // The radix is kept between runs.
        window.reset();
        open();
        QCOMPARE(control<QSpinBox>("Radix")->value(), 2);
        QCOMPARE(rows(), QStringList{"100000000"});
    }

    // A 100,000-digit value, pasted as dc wraps it, comes back whole with Copy and the viewer.
    void copyPasteAndShowFullValues() {
        QString value = "-";
        for (int i = 0; i < 100000; ++i)
            value += QChar('0' + (i * 7 + 3) % 10);
        QString wrapped;
        for (qsizetype at = 0; at < value.size(); at += 69)
            wrapped += value.mid(at, 69) + (at + 69 < value.size() ? "\\\n" : "\n");
        QApplication::clipboard()->setText(wrapped);
        QTest::keyClick(entry, Qt::Key_V, Qt::ControlModifier);
        settle();
        QCOMPARE(stack->model()->rowCount(), 1);
        QVERIFY(rows().first().endsWith("x10^99999"));
        QCOMPARE(digits(), "100000");
        QApplication::clipboard()->clear();
        QTest::keyClick(entry, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), value);
        // A selected row is the one copied and shown.
        type("5");
        stack->selectRow(0);
        trigger("Copy");
        QCOMPARE(QApplication::clipboard()->text(), value);
        trigger("Show value");
        auto *viewer = window->findChild<ValueViewer *>();
        QVERIFY(viewer);
        QCOMPARE(viewer->findChild<QLabel *>()->text(), "100,000 digits in radix 10");
        auto *full = viewer->findChild<QPlainTextEdit *>();
        QCOMPARE(full->document()->blockCount(), 1001);
        QCOMPARE(full->toPlainText().remove('\n'), value);
        QApplication::clipboard()->clear();
        for (QAbstractButton *button : viewer->findChildren<QAbstractButton *>())
            if (button->accessibleName() == "Copy")
                button->click();
        QCOMPARE(QApplication::clipboard()->text(), value);
        // Save value writes every digit.
        QString error;
        const QString path = data->filePath("value.txt");
        QVERIFY(saveValue(path, value.toStdString(), &error));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), value.toLatin1() + "\n");
        // Text that is no number is refused and changes nothing.
        QApplication::clipboard()->setText("12 34\nabc");
        trigger("Paste");
        QCOMPARE(stack->model()->rowCount(), 2);
        QCOMPARE(status->text(), "Not a decimal integer: 1234abc");
    }

    // Text no person would type: a megabyte pasted at once, control characters and
    // invalid UTF-8. Each is taken whole or refused with a short message.
    void hostileTextIsTakenWholeOrRefused() {
        QApplication::clipboard()->setText(QString(1000000, '7'));
        trigger("Paste");
        QCOMPARE(stack->model()->rowCount(), 0);
        QCOMPARE(status->text(), "Number exceeds 100000 words");
        QApplication::clipboard()->setText(QString(900000, '7'));
        trigger("Paste");
        QCOMPARE(stack->model()->rowCount(), 1);
        QCOMPARE(digits(), "900000");
        QApplication::clipboard()->setText(QString::fromUtf8("12\x01\x1b[2J\xff\xfe\xc3(34"));
        trigger("Paste");
        QCOMPARE(stack->model()->rowCount(), 1);
        QVERIFY2(status->text().startsWith("Not a decimal integer: "), qPrintable(status->text()));
        QApplication::clipboard()->setText(QString(1000000, QChar(0x2603)));
        trigger("Paste");
        QCOMPARE(stack->model()->rowCount(), 1);
        QVERIFY(status->text().size() < 100); // the text is quoted short
        // Typed control characters never reach the stack as a number.
        for (const QString text : {"5", "\x01", "\x1b", "\x7f", "6"}) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
            QApplication::sendEvent(entry, &press);
        }
        QTest::keyClick(entry, Qt::Key_Return);
        settle();
        QCOMPARE(rows().last(), "56");
    }

    // Ten thousand numbers, and an operation pressed a thousand times in a row: every
    // press is done in order and the whole stack survives a restart.
    void tenThousandNumbersAndAThousandPresses() {
        type("1");
        for (int i = 1; i < 10000; ++i)
            QTest::keyClick(entry, Qt::Key_Return);
        settle();
        QCOMPARE(stack->model()->rowCount(), 10000);
        QTest::keyClicks(entry, QString(1000, '+'));
        settle();
        QCOMPARE(stack->model()->rowCount(), 9000);
        QCOMPARE(rows().last(), "1001");
        window.reset();
        open();
        QCOMPARE(stack->model()->rowCount(), 9000);
        QCOMPARE(rows().first(), "1");
        QCOMPARE(rows().last(), "1001");
    }

    void theStackSurvivesARestart() {
        type("123");
        type("-456");
        keys("7*");
        window.reset();
        open();
        QCOMPARE(rows(), (QStringList{"123", "-3192"}));
        press("Swap");
        window.reset();
        open();
        QCOMPARE(rows(), (QStringList{"-3192", "123"}));
        QVERIFY(!window->action("Undo")->isEnabled()); // undo levels are not kept
    }

    void anUnreadableStackIsMovedAside() {
        type("5");
        window->store().flush();
        window.reset();
        QFile index(data->filePath("stack/index.json"));
        QVERIFY(index.open(QIODevice::WriteOnly | QIODevice::Truncate));
        index.write("{ not json");
        index.close();
        open();
        QCOMPARE(rows(), QStringList{});
        QVERIFY2(status->text().startsWith("The saved stack could not be read"),
                 qPrintable(status->text()));
        const QStringList aside = QDir(data->path()).entryList({"stack.*"}, QDir::Dirs);
        QCOMPARE(aside.size(), 1);
        QVERIFY(status->text().contains(aside.first()));
        QFile kept(data->filePath(aside.first() + "/index.json"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("{ not json"));
        // The window works and saves afresh.
        type("6");
        window.reset();
        open();
        QCOMPARE(rows(), QStringList{"6"});
    }

    // A computation of hours runs off the window's thread, can be cancelled, and leaves the
    // stack as it was; actions that arrive meanwhile wait, and are dropped by the cancel.
    void longComputationsCanBeCancelled() {
        const QString digits(9000, '9');
        type(digits + "7");
        type(digits);
        type(digits + "5");
        const QStringList before = rows();
        QTest::keyClick(entry, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(window->isBusy());
        QTRY_VERIFY(control<QProgressBar>("Busy")->isVisible());
        QCOMPARE(status->text(), "Computing modular power… (Escape cancels)");
        QVERIFY(control<QAbstractButton>("Cancel")->isEnabled());
        // The window still answers: typing works, a stack action waits.
        QTest::keyClicks(entry, "12");
        QCOMPARE(entry->text(), "12");
        QTest::mouseClick(control<QAbstractButton>("Drop"), Qt::LeftButton);
        QCOMPARE(status->text(), "Computing modular power… 1 waiting (Escape cancels)");
        QTest::keyClick(entry, Qt::Key_Escape);
        settle();
        QCOMPARE(rows(), before);
        QCOMPARE(status->text(), "Cancelled modular power; 1 waiting action dropped");
        QVERIFY(!control<QProgressBar>("Busy")->isVisible());
        QVERIFY(!control<QAbstractButton>("Cancel")->isEnabled());
        // Waiting actions run in order once a computation ends.
        entry->clear();
        type("3000");
        press("Drop");
        keys("20000!");
        QTest::mouseClick(control<QAbstractButton>("Drop"), Qt::LeftButton);
        type("1");
        settle();
        QCOMPARE(rows().size(), before.size() + 1);
        QCOMPARE(rows().last(), "1");
    }

    // The model refuses edits, drags, drops and sorting, and logs each refusal.
    void editingDraggingAndSortingAreRefusedAndLogged() {
        type("8");
        type("2");
        const QRect cell = stack->visualRect(stack->model()->index(0, 0));
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource tableViewSelectionDidChange:]");
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:shouldEditTableColumn:row:]");
        QTest::mouseClick(stack->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(stack->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(stack->findChildren<QLineEdit *>().isEmpty()); // no cell editor opened
        QVERIFY(window->findChild<ValueViewer *>());           // a double-click shows the value

        auto *source = static_cast<CalculatorDataSource *>(stack->model());
        const QModelIndex row = source->index(0, 0);
        QVERIFY(!(source->flags(row) & Qt::ItemIsEditable));
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource "
                                        "tableView:setObjectValue:forTableColumn:row:].. "
                                        "aTableColumn = Number, row = 0");
        QVERIFY(!source->setData(row, "99"));
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource "
                                        "tableView:writeRowsWithIndexes:toPasteboard:]..");
        QCOMPARE(source->mimeData({row}), nullptr);
        QMimeData dropped;
        dropped.setText("7");
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource tableView:validateDrop:"
                                        "proposedRow:proposedDropOperation:]..");
        QVERIFY(!source->canDropMimeData(&dropped, Qt::CopyAction, 0, 0, {}));
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:acceptDrop:row:dropOperation:]..");
        QVERIFY(!source->dropMimeData(&dropped, Qt::CopyAction, 0, 0, {}));
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:sortDescriptorsDidChange:]..");
        source->sort(0, Qt::AscendingOrder);
        QCOMPARE(rows(), (QStringList{"8", "2"}));
    }

    // Another column shows its identifier and logs; a row off the stack is empty.
    void otherColumnsAndStaleRows() {
        auto calculator = std::make_shared<Calculator>();
        CalculatorDataSource number(calculator, "Number"), other(calculator, "Label");
        calculator->enter("5");
        QTest::ignoreMessage(QtWarningMsg, "-[CalculatorDataSource "
                                           "tableView:objectValueForTableColumn:row:].. "
                                           "unsupported column, 'Label'");
        QCOMPARE(other.index(0, 0).data().toString(), "Label");
        const QModelIndex row = number.index(0, 0);
        calculator->clear();
        QVERIFY(!row.isValid() || !row.data().isValid());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
