#include "NumberTextField.h"

#include <QKeyEvent>

void NumberTextField::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit newNumberForStack();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
