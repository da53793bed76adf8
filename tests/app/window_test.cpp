// Drives the real window with key presses and button clicks, finding its controls the way
// assistive tools do (by accessible name), and checks the stack table's model.
#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QTableView>
#include <QTest>

#include "CalculatorDataSource.h"
#include "MainController.h"
#include "NumberTextField.h"

class WindowTest : public QObject {
    Q_OBJECT

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
    void type(const QString &text) {
        QTest::keyClicks(entry, text);
        QTest::keyClick(entry, Qt::Key_Return);
    }
    void press(const QString &button) {
        auto *found = control<QAbstractButton>(button);
        QVERIFY2(found != nullptr, qPrintable(button));
        QTest::mouseClick(found, Qt::LeftButton);
    }
    QStringList rows() const { // the table's cells, first row first
        QStringList all;
        for (int row = 0; row < stack->model()->rowCount(); ++row)
            all << stack->model()->index(row, 0).data().toString();
        return all;
    }

  private slots:
    void init() {
        window = std::make_unique<MainController>();
        window->show();
        entry = control<NumberTextField>("Entry");
        stack = control<QTableView>("Stack");
        status = control<QLineEdit>("Status");
        QVERIFY(entry && stack && status);
    }
    void cleanup() { window.reset(); }

    void everyControlHasItsAccessibleName() {
        const QStringList buttons = {"Enter",    "Add",       "Subtract",
                                     "Multiply", "Divide",    "Power",
                                     "Root",     "Factorial", "Modular power",
                                     "Modulo",   "GCD",       "Modular inverse",
                                     "0",        "1",         "2",
                                     "3",        "4",         "5",
                                     "6",        "7",         "8",
                                     "9"};
        for (const QString &name : buttons)
            QVERIFY2(control<QAbstractButton>(name), qPrintable(name));
        for (const char *field : {"Digits", "Radix", "Status"})
            QVERIFY2(control<QLineEdit>(field) && control<QLineEdit>(field)->isReadOnly(), field);
        QAbstractItemModelTester tester(stack->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(stack->model()->headerData(0, Qt::Horizontal).toString(), "Number");
    }

    void typedNumbersAreAdded() {
        type("12");
        QCOMPARE(entry->text(), "");
        QCOMPARE(rows(), QStringList{"12"});
        type("30");
        press("Add");
        QCOMPARE(rows(), QStringList{"42"});
    }

    // Return, or the Enter button, on an empty field duplicates the top; digit buttons type.
    void returnOnAnEmptyFieldDuplicatesTheTop() {
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(stack->model()->rowCount(), 0);
        QTest::keyClicks(entry, "-");
        for (const char *digit : {"1", "0", "2", "3", "4", "5", "6", "7", "8", "9"})
            press(digit);
        QCOMPARE(entry->text(), "-1023456789");
        press("Enter");
        QTest::keyClick(entry, Qt::Key_Return);
        press("Enter");
        QCOMPARE(rows(), QStringList(3, "-1023456789"));
    }

    void operationsTakeTheirOperandsInOrder() {
        const struct {
            const char *button;
            QStringList entries, after;
        } cases[] = {
            {"Subtract", {"3", "5"}, {"-2"}},
            {"Divide", {"-7", "2"}, {"-3"}},
            {"Power", {"10", "150"}, {"1." + QString(90, '0') + "x10^150"}},
            {"Root", {"3", "27"}, {"3"}},
            {"Factorial", {"1", "30"}, {"1", "265252859812191058636308480000000"}},
        };
        for (const auto &c : cases) {
            init();
            for (const QString &text : c.entries)
                type(text);
            press(c.button);
            QCOMPARE(rows(), c.after);
        }
    }

    void failuresLeaveTheStackAndShowWhy() {
        type("4");
        type("9");
        for (const char *button : {"Modular power", "Modulo", "GCD", "Modular inverse"})
            press(button);
        QCOMPARE(rows(), (QStringList{"4", "9"}));
        type("0");
        press("Divide");
        QCOMPARE(rows(), (QStringList{"4", "9", "0"}));
        QCOMPARE(status->text(), "Division by zero");
        press("Add");
        QCOMPARE(rows(), (QStringList{"4", "9"}));
        QCOMPARE(status->text(), "");
        type("1.5");
        QCOMPARE(entry->text(), "1.5");
        QCOMPARE(rows(), (QStringList{"4", "9"}));
        QCOMPARE(status->text(), "Not a decimal integer: 1.5");
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
        QVERIFY(!row.data().isValid());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
