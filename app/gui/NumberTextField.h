// The entry field: Return (either Return key) announces a new number for the
// stack instead of being handled as an ordinary key, and the keys that belong
// to the window's actions (operators, undo, paste, ...) are left to them
// instead of being typed or handled by the field.
#pragma once

#include <QLineEdit>
#include <functional>

class NumberTextField : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;

    // Decides which key presses the window's actions take from the field.
    void setWindowKeys(std::function<bool(const QKeyEvent &)> isWindowKey);

  signals:
    // Delivered at once, on this thread, to whoever connected to this field.
    void newNumberForStack();

  protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    std::function<bool(const QKeyEvent &)> mIsWindowKey;
};
