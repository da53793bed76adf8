#include "CalculatorDataSource.h"

#include <QtGlobal>

CalculatorDataSource::CalculatorDataSource(std::shared_ptr<Calculator> calculator,
                                           QString columnIdentifier, QObject *parent)
    : QAbstractTableModel(parent), mCalculator(std::move(calculator)),
      mColumnIdentifier(std::move(columnIdentifier)) {
    mShown = mCalculator->state();
    mCalculator->addListener(this);
}

CalculatorDataSource::~CalculatorDataSource() { mCalculator->removeListener(this); }

int CalculatorDataSource::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(mShown.stack.size());
}

std::shared_ptr<Number> CalculatorDataSource::numberAt(int row) const {
    return row >= 0 && size_t(row) < mShown.stack.size() ? mShown.stack[size_t(row)] : nullptr;
}

void CalculatorDataSource::stackChanged(int first, int removed, int added, const StackState &now) {
    if (removed > 0) {
        beginRemoveRows({}, first, first + removed - 1);
        mShown.stack.resize(size_t(first));
        endRemoveRows();
    }
    mShown.stack.resize(size_t(first));
    if (added > 0) {
        beginInsertRows({}, first, first + added - 1);
        mShown.stack = now.stack;
        endInsertRows();
    }
    mShown = now;
}

void CalculatorDataSource::radixChanged(const StackState &now) {
    mShown = now;
    if (!mShown.stack.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

int CalculatorDataSource::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant CalculatorDataSource::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayValue(index.row());
    case Qt::ToolTipRole: // the whole text, should the column be too narrow
        return mColumnIdentifier == QLatin1String("Number") ? displayValue(index.row())
                                                            : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

// Row and stack position are the same number: row 0 is the bottom.
QVariant CalculatorDataSource::displayValue(int row) const {
    auto number = numberAt(row);
    if (mColumnIdentifier != QLatin1String("Number")) {
        qWarning("%s.. unsupported column, '%s'",
                 "-[CalculatorDataSource tableView:objectValueForTableColumn:row:]",
                 qUtf8Printable(mColumnIdentifier));
        return mColumnIdentifier;
    }
    if (!number)
        return {};
    const auto text = number->descriptionIn(mShown.radix);
    return text ? QVariant(QString::fromStdString(*text)) : QVariant();
}

QVariant CalculatorDataSource::headerData(int section, Qt::Orientation orientation,
                                          int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section == 0 ? QVariant(mColumnIdentifier) : QVariant();
    return section + 1;
}

Qt::ItemFlags CalculatorDataSource::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Drag enabled so that a drag attempt reaches mimeData() and is refused there.
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

bool CalculatorDataSource::shouldEditTableColumn(int, int) const {
    qInfo("%s", "-[CalculatorDataSource tableView:shouldEditTableColumn:row:]");
    return false;
}

bool CalculatorDataSource::setData(const QModelIndex &index, const QVariant &, int) {
    qInfo("%s.. aTableColumn = %s, row = %d",
          "-[CalculatorDataSource tableView:setObjectValue:forTableColumn:row:]",
          qUtf8Printable(mColumnIdentifier), index.row());
    return false;
}

QMimeData *CalculatorDataSource::mimeData(const QModelIndexList &) const {
    qInfo("%s..", "-[CalculatorDataSource tableView:writeRowsWithIndexes:toPasteboard:]");
    return nullptr;
}

bool CalculatorDataSource::canDropMimeData(const QMimeData *, Qt::DropAction, int, int,
                                           const QModelIndex &) const {
    qInfo("%s..",
          "-[CalculatorDataSource tableView:validateDrop:proposedRow:proposedDropOperation:]");
    return false;
}

bool CalculatorDataSource::dropMimeData(const QMimeData *, Qt::DropAction, int, int,
                                        const QModelIndex &) {
    qInfo("%s..", "-[CalculatorDataSource tableView:acceptDrop:row:dropOperation:]");
    return false;
}

void CalculatorDataSource::sort(int, Qt::SortOrder) {
    qInfo("%s..", "-[CalculatorDataSource tableView:sortDescriptorsDidChange:]");
}

void CalculatorDataSource::tableViewSelectionDidChange() {
    qInfo("%s", "-[CalculatorDataSource tableViewSelectionDidChange:]");
}
