// The stack table's model: rows bottom first, and every refusal logged.
#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QTest>

#include "CalculatorDataSource.h"
#include "bignum.h"

class DataSourceTest : public QObject {
    Q_OBJECT

    std::shared_ptr<Calculator> calculator;
    std::unique_ptr<CalculatorDataSource> source;

    QString cell(int row) const { return source->index(row, 0).data().toString(); }

  private slots:
    void initTestCase() { bignum_init(); }
    void init() {
        calculator = std::make_shared<Calculator>();
        source = std::make_unique<CalculatorDataSource>(calculator, "Number");
    }

    void rowsShowTheStackBottomFirst() {
        QAbstractItemModelTester tester(source.get(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(source->rowCount(), 0);
        for (const char *text : {"1", "22", "333"})
            calculator->enter(text);
        source->reloadData();
        QCOMPARE(source->rowCount(), 3);
        QCOMPARE(source->columnCount(), 1);
        QCOMPARE(cell(0), "1");
        QCOMPARE(cell(2), "333");
        QCOMPARE(source->headerData(0, Qt::Horizontal).toString(), "Number");
    }

    void reloadShowsAFreshResult() {
        calculator->enter("6");
        calculator->enter("7");
        source->reloadData();
        QCOMPARE(cell(1), "7");
        calculator->mul();
        source->reloadData();
        QCOMPARE(source->rowCount(), 1);
        QCOMPARE(cell(0), "42");
    }

    void rowOffTheStackIsEmpty() {
        calculator->enter("5");
        const QModelIndex row = source->index(0, 0);
        calculator->clear();
        QVERIFY(!row.data().isValid());
    }

    void otherColumnShowsItsIdentifierAndLogs() {
        CalculatorDataSource other(calculator, "Label");
        calculator->enter("5");
        QTest::ignoreMessage(QtWarningMsg, "-[CalculatorDataSource "
                                           "tableView:objectValueForTableColumn:row:].. "
                                           "unsupported column, 'Label'");
        QCOMPARE(other.index(0, 0).data().toString(), "Label");
    }

    void cellsAreNotEditable() {
        calculator->enter("5");
        const QModelIndex row = source->index(0, 0);
        QVERIFY(!(source->flags(row) & Qt::ItemIsEditable));
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:shouldEditTableColumn:row:]");
        QVERIFY(!source->shouldEditTableColumn(0, 0));
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource "
                                        "tableView:setObjectValue:forTableColumn:row:].. "
                                        "aTableColumn = Number, row = 0");
        QVERIFY(!source->setData(row, "99"));
        QCOMPARE(cell(0), "5");
    }

    void dragDropAndSortingAreRefused() {
        calculator->enter("2");
        calculator->enter("1");
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource "
                                        "tableView:writeRowsWithIndexes:toPasteboard:]..");
        QCOMPARE(source->mimeData({source->index(0, 0)}), nullptr);
        QMimeData dropped;
        dropped.setText("7");
        QTest::ignoreMessage(QtInfoMsg, "-[CalculatorDataSource "
                                        "tableView:validateDrop:proposedRow:"
                                        "proposedDropOperation:]..");
        QVERIFY(!source->canDropMimeData(&dropped, Qt::CopyAction, 0, 0, {}));
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:acceptDrop:row:dropOperation:]..");
        QVERIFY(!source->dropMimeData(&dropped, Qt::CopyAction, 0, 0, {}));
        QTest::ignoreMessage(QtInfoMsg,
                             "-[CalculatorDataSource tableView:sortDescriptorsDidChange:]..");
        source->sort(0, Qt::AscendingOrder);
        QCOMPARE(cell(0), "2");
        QCOMPARE(cell(1), "1");
        QCOMPARE(calculator->stackSize(), 2);
    }
};

QTEST_MAIN(DataSourceTest)
#include "data_source_test.moc"
