#include "StackTableView.h"

#include "CalculatorDataSource.h"

bool StackTableView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) {
    // Presses and releases also come here without an edit trigger; only real
    // edit gestures are put to the data source.
    auto *source = qobject_cast<CalculatorDataSource *>(model());
    if (source != nullptr && index.isValid() && (trigger & editTriggers()) != 0)
        return source->shouldEditTableColumn(index.column(), index.row());
    return QTableView::edit(index, trigger, event);
}
