// Drives the real window with key presses and button clicks.
#include <QTest>

#include "MainController.h"
#include "NumberTextField.h"
#include "window_test_support.h"

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainController> window;
    NumberTextField *entry = nullptr;
    QTableView *stack = nullptr;
    QLineEdit *status = nullptr;

    void type(const QString &text) {
        QTest::keyClicks(entry, text);
        QTest::keyClick(entry, Qt::Key_Return);
    }
    void press(const QString &button) {
        auto *found = control<QAbstractButton>(window.get(), button);
        QVERIFY2(found != nullptr, qPrintable(button));
        QTest::mouseClick(found, Qt::LeftButton);
    }

    void openWindow() {
        window = std::make_unique<MainController>();
        window->show();
        entry = control<NumberTextField>(window.get(), "Entry");
        stack = control<QTableView>(window.get(), "Stack");
        status = control<QLineEdit>(window.get(), "Status");
        QVERIFY(entry && stack && status);
    }

  private slots:
    void init() { openWindow(); }
    void cleanup() { window.reset(); }

    void everyControlHasItsAccessibleName() {
        const QStringList buttons = {"Enter",         "Add",    "Subtract", "Multiply",
                                     "Divide",        "Power",  "Root",     "Factorial",
                                     "Modular power", "Modulo", "GCD",      "Modular inverse"};
        for (const QString &name : buttons)
            QVERIFY2(control<QAbstractButton>(window.get(), name), qPrintable(name));
        for (int digit = 0; digit < 10; ++digit)
            QVERIFY(control<QAbstractButton>(window.get(), QString::number(digit)));
        for (const char *field : {"Digits", "Radix", "Status"}) {
            auto *line = control<QLineEdit>(window.get(), field);
            QVERIFY2(line && line->isReadOnly(), field);
        }
        QCOMPARE(stack->model()->headerData(0, Qt::Horizontal).toString(), "Number");
    }

    void typedNumbersAreAdded() {
        type("12");
        QCOMPARE(entry->text(), "");
        QCOMPARE(rows(stack), QStringList{"12"});
        type("30");
        press("Add");
        QCOMPARE(rows(stack), QStringList{"42"});
    }

    void enterButtonActsLikeReturn() {
        QTest::keyClicks(entry, "5");
        press("Enter");
        QCOMPARE(rows(stack), QStringList{"5"});
        QCOMPARE(entry->text(), "");
    }

    void returnOnAnEmptyFieldDuplicatesTheTop() {
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(stack->model()->rowCount(), 0);
        type("7");
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(rows(stack), (QStringList{"7", "7"}));
    }

    void digitButtonsAppendToTheEntry() {
        QTest::keyClicks(entry, "-");
        for (const char *digit : {"1", "0", "2", "3", "4", "5", "6", "7", "8", "9"})
            press(digit);
        QCOMPARE(entry->text(), "-1023456789");
        QCOMPARE(stack->model()->rowCount(), 0);
        press("Enter");
        QCOMPARE(rows(stack), QStringList{"-1023456789"});
    }

    void operationsTakeTheirOperandsInOrder() {
        const struct {
            const char *button;
            QStringList entries, after;
        } cases[] = {
            {"Subtract", {"3", "5"}, {"-2"}},
            {"Root", {"3", "27"}, {"3"}},
            {"Factorial", {"1", "30"}, {"1", "265252859812191058636308480000000"}},
        };
        for (const auto &c : cases) {
            openWindow();
            for (const QString &text : c.entries)
                type(text);
            press(c.button);
            QCOMPARE(rows(stack), c.after);
        }
    }

    void unofferedOperationsLeaveTheStack() {
        type("4");
        type("9");
        for (const char *button : {"Modular power", "Modulo", "GCD", "Modular inverse"})
            press(button);
        QCOMPARE(rows(stack), (QStringList{"4", "9"}));
    }

    void failedOperationLeavesTheStackAndShowsWhy() {
        type("7");
        type("0");
        press("Divide");
        QCOMPARE(rows(stack), (QStringList{"7", "0"}));
        QCOMPARE(status->text(), "Division by zero");
        press("Add");
        QCOMPARE(rows(stack), QStringList{"7"});
        QCOMPARE(status->text(), "");

        type("-2");
        press("Factorial");
        QCOMPARE(rows(stack), (QStringList{"7", "-2"}));
        QCOMPARE(status->text(), "Factorial of a negative number");
    }

    void refusedEntryStaysInTheField() {
        type("1.5");
        QCOMPARE(entry->text(), "1.5");
        QCOMPARE(stack->model()->rowCount(), 0);
        QCOMPARE(status->text(), "Not a decimal integer: 1.5");
        entry->clear();
        type(" -5 ");
        QCOMPARE(rows(stack), QStringList{"-5"});
        QCOMPARE(status->text(), "");
    }

    void longNumbersAreShortened() {
        type("10");
        type("150");
        press("Power");
        QCOMPARE(rows(stack), QStringList{"1." + QString(90, '0') + "x10^150"});
    }

    void editingACellIsRefusedAndLogged() {
        type("8");
        const QRect cell = stack->visualRect(stack->model()->index(0, 0));
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource tableViewSelectionDidChange:]");
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:shouldEditTableColumn:row:]");
        QTest::mouseClick(stack->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(stack->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(stack->findChildren<QLineEdit *>().isEmpty()); // no cell editor opened
        QCOMPARE(rows(stack), QStringList{"8"});
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
