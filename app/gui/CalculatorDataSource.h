// A read-only table model over the calculator's stack: one row per number, the
// bottom of the stack first, each cell the number's display string in the
// calculator's radix. Editing, drag and drop and sorting are refused, and each
// refusal is logged. The engine tells it which rows changed; it keeps the
// state the views have seen, so that rows change between begin and end calls.
#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "Calculator.h"

class CalculatorDataSource : public QAbstractTableModel, private StackListener {
    Q_OBJECT
  public:
    // `columnIdentifier` names the one column; only "Number" shows numbers.
    CalculatorDataSource(std::shared_ptr<Calculator> calculator, QString columnIdentifier,
                         QObject *parent = nullptr);
    ~CalculatorDataSource() override;

    // The number shown in `row`, or nullptr.
    std::shared_ptr<Number> numberAt(int row) const;
    // The radix the rows are shown in.
    int radix() const { return mShown.radix; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The refusals: each logs one line and changes nothing.
    bool shouldEditTableColumn(int column, int row) const;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  public slots:
    void tableViewSelectionDidChange();

  private:
    void stackChanged(int first, int removed, int added, const StackState &now) override;
    void radixChanged(const StackState &now) override;
    QVariant displayValue(int row) const;

    StackState mShown;

    std::shared_ptr<Calculator> mCalculator;
    QString mColumnIdentifier;
};
