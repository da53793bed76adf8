// The entry field: Return (either Return key) announces a new number for the
// stack instead of being handled as an ordinary key.
#pragma once

#include <QLineEdit>

class NumberTextField : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;

  signals:
    // Delivered at once, on this thread, to whoever connected to this field.
    void newNumberForStack();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
};
