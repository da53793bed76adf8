// The stack table: asks its data source before any edit, so that an attempt to
// edit a cell is refused there and logged.
#pragma once

#include <QTableView>

class StackTableView : public QTableView {
    Q_OBJECT
  public:
    using QTableView::QTableView;

  protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
};
