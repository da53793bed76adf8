// Finding the window's controls the way assistive tools do: by accessible name.
#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QWidget>

template <class Control> Control *control(QWidget *window, const QString &accessibleName) {
    const auto candidates = window->findChildren<Control *>();
    for (Control *candidate : candidates) {
        if (candidate->accessibleName() == accessibleName)
            return candidate;
    }
    return nullptr;
}

// The table's cells of its one column, first row first.
inline QStringList rows(QTableView *table) {
    QStringList all;
    const auto *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row)
        all << model->index(row, 0).data().toString();
    return all;
}
