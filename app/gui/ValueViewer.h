// A window with one number in full: its digit count, every digit in a
// scrollable view of fixed-width lines (a million digits stay responsive),
// and buttons to copy or save the value.
#pragma once

#include <QDialog>
#include <string>

class ValueViewer : public QDialog {
    Q_OBJECT
  public:
    // `text` is the full value in `radix`, with a leading '-' when negative.
    ValueViewer(std::string text, int radix, QWidget *parent = nullptr);

    static constexpr int kDigitsPerLine = 100;

  private:
    void save();

    std::string mText;
};

// Writes the value and a line break to `path` atomically; the reason on failure.
bool saveValue(const QString &path, const std::string &text, QString *error);
