#include "NumberTextField.h"

#include <QKeyEvent>

void NumberTextField::setWindowKeys(std::function<bool(const QKeyEvent &)> isWindowKey) {
    mIsWindowKey = std::move(isWindowKey);
}

bool NumberTextField::event(QEvent *event) {
    // A line edit claims printable keys and its editing keys before shortcuts
    // see them; the window's keys are let through to their actions.
    if (event->type() == QEvent::ShortcutOverride && mIsWindowKey &&
        mIsWindowKey(*static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QLineEdit::event(event);
}

void NumberTextField::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit newNumberForStack();
        event->accept();
        return;
    }
    // A window key that no action took (its action is disabled) is not typed.
    if (mIsWindowKey && mIsWindowKey(*event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
