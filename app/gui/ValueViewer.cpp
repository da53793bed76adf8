#include "ValueViewer.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

ValueViewer::ValueViewer(std::string text, int radix, QWidget *parent)
    : QDialog(parent), mText(std::move(text)) {
    setWindowTitle(tr("Value"));
    setAccessibleName(tr("Value"));
    const size_t sign = mText.starts_with('-') ? 1 : 0;
    const size_t digits = mText.size() - sign;
    auto *count = new QLabel(tr("%1 %2 in radix %3")
                                 .arg(QLocale().toString(qulonglong(digits)))
                                 .arg(digits == 1 ? tr("digit") : tr("digits"))
                                 .arg(radix));
    count->setAccessibleName(tr("Digit count"));

    // One block per line: a text view lays out short blocks quickly, where a
    // single block of a million characters would be laid out whole.
    QString lines;
    lines.reserve(qsizetype(mText.size() + mText.size() / kDigitsPerLine + 1));
    for (size_t at = 0; at < mText.size(); at += kDigitsPerLine) {
        if (at != 0)
            lines += QLatin1Char('\n');
        lines += QLatin1String(mText.data() + at,
                               qsizetype(std::min<size_t>(kDigitsPerLine, mText.size() - at)));
    }
    auto *view = new QPlainTextEdit;
    view->setAccessibleName(tr("Full value"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(lines);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    auto *copy = buttons->addButton(tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setAccessibleName(tr("Copy"));
    auto *saveButton = buttons->addButton(tr("Save…"), QDialogButtonBox::ActionRole);
    saveButton->setAccessibleName(tr("Save"));
    buttons->button(QDialogButtonBox::Close)->setAccessibleName(tr("Close"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(QString::fromStdString(mText)); });
    connect(saveButton, &QPushButton::clicked, this, &ValueViewer::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(count);
    layout->addWidget(view);
    layout->addWidget(buttons);
    resize(view->fontMetrics().horizontalAdvance(QString(kDigitsPerLine + 6, QLatin1Char('0'))),
           480);
}

void ValueViewer::save() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save value"), {},
                                                      tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveValue(path, mText, &error))
        QMessageBox::warning(this, tr("Save value"), error);
}

bool saveValue(const QString &path, const std::string &text, QString *error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), qint64(text.size())) == qint64(text.size()) &&
        file.write("\n", 1) == 1 && file.commit())
        return true;
    *error = QObject::tr("Could not save %1: %2").arg(path, file.errorString());
    return false;
}
