#include "MainController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <mutex>

#include "CalculatorDataSource.h"
#include "Computation.h"
#include "StackStore.h"
#include "ValueViewer.h"
#include "bignum.h"
#include "ui_MainWindow.h"

namespace {

// Keys that a typed character stands for, whatever has focus.
const QString kOperatorKeys = QStringLiteral("+-*/^%!_");
// A busy indicator for computations that take longer than this.
constexpr int kBusyDelayMs = 120;

bool hasCommandModifier(const QKeyEvent &event) {
    return (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
}

} // namespace

// One row of the window's actions: its menu, text, keys, slot and button.
struct MainController::ActionSpec {
    const char *menu;
    const char *text;
    QList<QKeySequence> keys;
    void (MainController::*slot)();
    QAbstractButton *button;
    const char *help;
};

MainController::MainController(QWidget *parent, const QString &dataFolder)
    : QMainWindow(parent), mUi(std::make_unique<Ui::MainWindow>()) {
    mUi->setupUi(this);
    mNumberTxt = mUi->numberField;
    mNumberTbl = mUi->stackTable;
    mDigitsTxt = mUi->digitsField;
    mRadixTxt = mUi->radixField;
    mStatusTxt = mUi->statusField;
    mStore = std::make_unique<StackStore>(
        dataFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                             : dataFolder);
    awakeFromNib();
}

MainController::~MainController() {
    mComputation.reset(); // cancels and waits for a computation still running
    mStore->flush();
}

void MainController::awakeFromNib() {
    // The library's constants are made once per process: a second bignum_init()
    // would replace them and lose the first ones.
    static std::once_flag libraryReady;
    std::call_once(libraryReady, bignum_init);
    mCalculator = std::make_shared<Calculator>();
    // The column's identifier is set on the table in MainWindow.ui.
    const QString column = mNumberTbl->property("columnIdentifier").toString();
    mCalcDataSrc = new CalculatorDataSource(mCalculator, column, this);
    mNumberTbl->setModel(mCalcDataSrc);
    mNumberTbl->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(mNumberTbl->selectionModel(), &QItemSelectionModel::selectionChanged, mCalcDataSrc,
            &CalculatorDataSource::tableViewSelectionDidChange);
    connect(mNumberTbl->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainController::showDigits);
    connect(mNumberTbl, &QTableView::doubleClicked, this, &MainController::doShowValue);
    connect(mNumberTxt, &NumberTextField::newNumberForStack, this,
            &MainController::newNumberForStack);
    mNumberTxt->setMaxLength(std::numeric_limits<int>::max());
    mNumberTxt->setWindowKeys([this](const QKeyEvent &event) { return isWindowKey(event); });
    connect(mRadixTxt, &QSpinBox::valueChanged, this, [this](int radix) {
        if (radix != mCalculator->radix())
            whenIdle([this, radix] {
                mCalculator->setRadix(radix);
                showStack();
            });
    });
    connect(mStore.get(), &StackStore::saveFailed, this, &MainController::showStatus);
    buildActions();
    connectDigitButtons();
    for (QWidget *child : findChildren<QWidget *>())
        if (child != mNumberTxt && child != mRadixTxt && !mRadixTxt->isAncestorOf(child))
            child->installEventFilter(this);
    mUi->busyIndicator->hide();
    mUi->cancelButton->setEnabled(false);
    restoreGeometry(QSettings().value("window/geometry").toByteArray());
    restoreState();
    mNumberTxt->setFocus();
}

void MainController::buildActions() {
    using K = QKeySequence;
    const ActionSpec specs[] = {
        {"&File",
         "Save value…",
         {K::Save},
         &MainController::doSaveValue,
         nullptr,
         "Save every digit of the selected number, or the top, to a file"},
        {"&File", "Quit", {K::Quit}, nullptr, nullptr, "Close the window"},
        {"&Edit",
         "Undo",
         {K::Undo},
         &MainController::doUndo,
         mUi->undoButton,
         "Undo the last change to the stack"},
        {"&Edit",
         "Redo",
         {K::Redo},
         &MainController::doRedo,
         mUi->redoButton,
         "Redo what was undone"},
        {"&Edit",
         "Copy",
         {K::Copy},
         &MainController::doCopy,
         nullptr,
         "Copy every digit of the selected number, or the top"},
        {"&Edit",
         "Paste",
         {K::Paste},
         &MainController::doPaste,
         nullptr,
         "Push the number on the clipboard"},
        {"&Edit",
         "Cancel",
         {K(Qt::Key_Escape)},
         &MainController::doCancel,
         mUi->cancelButton,
         "Stop the computation that is running"},
        {"&Stack",
         "Enter",
         {K(Qt::Key_Return), K(Qt::Key_Enter)},
         &MainController::doEnt,
         mUi->enterButton,
         "Push the entry; with an empty entry, a copy of the top"},
        {"&Stack",
         "Change sign",
         {K("_")},
         &MainController::doChangeSign,
         mUi->changeSignButton,
         "Negate the entry, or the top when the entry is empty"},
        {"&Stack",
         "Swap",
         {K("Ctrl+T")},
         &MainController::doSwap,
         mUi->swapButton,
         "Swap the two top numbers"},
        {"&Stack",
         "Drop",
         {K(Qt::Key_Backspace), K("Ctrl+D")},
         &MainController::doDrop,
         mUi->dropButton,
         "Remove the top (Backspace when the entry is empty)"},
        {"&Stack",
         "Rotate",
         {K("Ctrl+L")},
         &MainController::doRotate,
         mUi->rotateButton,
         "Bring the third number to the top"},
        {"&Stack",
         "Clear",
         {K("Ctrl+Shift+Backspace")},
         &MainController::doClear,
         mUi->clearButton,
         "Remove every number"},
        {"&Stack", "Add", {K("+")}, &MainController::doAdd, mUi->addButton, "Second + top"},
        {"&Stack",
         "Subtract",
         {K("-")},
         &MainController::doSub,
         mUi->subtractButton,
         "Second − top"},
        {"&Stack",
         "Multiply",
         {K("*")},
         &MainController::doMul,
         mUi->multiplyButton,
         "Second × top"},
        {"&Stack",
         "Divide",
         {K("/")},
         &MainController::doDiv,
         mUi->divideButton,
         "Second ÷ top, rounded toward zero"},
        {"&Stack",
         "Power",
         {K("^")},
         &MainController::doPow,
         mUi->powerButton,
         "Second to the power top"},
        {"&Stack",
         "Root",
         {K("Ctrl+R")},
         &MainController::doRoot,
         mUi->rootButton,
         "Root of the top whose degree is the second"},
        {"&Stack",
         "Factorial",
         {K("!")},
         &MainController::doFac,
         mUi->factorialButton,
         "Factorial of the top"},
        {"&Stack",
         "Modulo",
         {K("%")},
         &MainController::doMod,
         mUi->modButton,
         "Remainder of |second| ÷ |top|"},
        {"&Stack",
         "GCD",
         {K("Ctrl+G")},
         &MainController::doGcd,
         mUi->gcdButton,
         "Greatest common divisor of second and top"},
        {"&Stack",
         "Modular inverse",
         {K("Ctrl+I")},
         &MainController::doModinv,
         mUi->modinvButton,
         "Inverse of second modulo top, in [0, |top|)"},
        {"&Stack",
         "Modular power",
         {K("Ctrl+M")},
         &MainController::doModpow,
         mUi->modpowButton,
         "Third to the power second, modulo top"},
        {"&View",
         "Show value",
         {K("F3")},
         &MainController::doShowValue,
         nullptr,
         "Every digit of the selected number, or the top (or double-click a row)"},
        {"&Help",
         "Keys",
         {K::HelpContents},
         &MainController::doKeys,
         nullptr,
         "List every action and its keys"},
        {"&Help",
         "About",
         {K("Ctrl+F1")},
         &MainController::doAbout,
         nullptr,
         "The program's version"},
    };
    QMap<QString, QMenu *> menus;
    for (const char *name : {"&File", "&Edit", "&Stack", "&View", "&Help"})
        menus[name] = menuBar()->addMenu(tr(name));
    for (const ActionSpec &spec : specs) {
        auto *action = new QAction(tr(spec.text), this);
        action->setShortcuts(spec.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const QString keys = action->shortcut().toString(QKeySequence::NativeText);
        action->setToolTip(QStringLiteral("%1 (%2): %3").arg(action->text(), keys, tr(spec.help)));
        action->setStatusTip(tr(spec.help));
        action->setData(QString(tr(spec.help)));
        if (spec.slot != nullptr)
            connect(action, &QAction::triggered, this, spec.slot);
        else
            connect(action, &QAction::triggered, this, &QWidget::close);
        if (spec.button != nullptr) {
            spec.button->setToolTip(action->toolTip());
            connect(spec.button, &QAbstractButton::clicked, action, &QAction::trigger);
        }
        menus[spec.menu]->addAction(action);
        addAction(action);
        mActions.push_back(action);
        if (QString(spec.text) == "Copy" || QString(spec.text) == "Cancel")
            menus[spec.menu]->addSeparator();
    }
}

QAction *MainController::action(const QString &text) const {
    for (QAction *candidate : mActions)
        if (candidate->text() == text)
            return candidate;
    return nullptr;
}

void MainController::connectDigitButtons() {
    auto *group = new QButtonGroup(this);
    QAbstractButton *const digits[] = {mUi->digit0Button, mUi->digit1Button, mUi->digit2Button,
                                       mUi->digit3Button, mUi->digit4Button, mUi->digit5Button,
                                       mUi->digit6Button, mUi->digit7Button, mUi->digit8Button,
                                       mUi->digit9Button};
    for (int digit = 0; digit < 10; ++digit) {
        group->addButton(digits[digit], digit);
        digits[digit]->setToolTip(tr("Type %1").arg(digit));
    }
    connect(group, &QButtonGroup::idClicked, this, &MainController::doDigit);
}

void MainController::restoreState() {
    StackStore::Loaded loaded = mStore->load();
    mCalculator->restore(std::move(loaded.state));
    mSaved = mCalculator->state();
    showStack();
    if (!loaded.problem.isEmpty())
        showStatus(loaded.problem);
}

// Keys the entry field leaves to the window: operators, the standard editing
// keys the calculator uses for its stack, and Backspace on an empty entry.
bool MainController::isWindowKey(const QKeyEvent &event) const {
    if (event.matches(QKeySequence::Undo) || event.matches(QKeySequence::Redo) ||
        event.matches(QKeySequence::Paste))
        return true;
    if (event.matches(QKeySequence::Copy))
        return !mNumberTxt->hasSelectedText();
    if (event.key() == Qt::Key_Backspace && !hasCommandModifier(event))
        return mNumberTxt->text().isEmpty();
    if (hasCommandModifier(event)) {
        const QKeySequence pressed(event.keyCombination());
        for (QAction *candidate : mActions)
            if (candidate->shortcuts().contains(pressed))
                return true;
        return false;
    }
    return event.text().size() == 1 && kOperatorKeys.contains(event.text());
}

bool MainController::eventFilter(QObject *watched, QEvent *event) {
    // Digits typed anywhere in the window go to the entry.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (!hasCommandModifier(*key) && text.size() == 1 && text[0].isLetterOrNumber()) {
            mNumberTxt->setFocus();
            mNumberTxt->insert(text);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainController::closeEvent(QCloseEvent *event) {
    QSettings().setValue("window/geometry", saveGeometry());
    QMainWindow::closeEvent(event);
}

// --- Running actions in order -------------------------------------------------

void MainController::whenIdle(std::function<void()> step) {
    if (!isBusy()) {
        step();
        return;
    }
    mWaiting.push_back(std::move(step));
    showStatus(tr("Computing %1… %2 waiting (Escape cancels)")
                   .arg(info(mComputation->pending().operation).name)
                   .arg(mWaiting.size()));
}

QString MainController::takeEntry() {
    const QString text = mNumberTxt->text().trimmed();
    if (!text.isEmpty())
        mNumberTxt->clear();
    return text;
}

bool MainController::enterText(const QString &text) {
    if (mCalculator->enter(text.toStdString()))
        return true;
    if (mNumberTxt->text().isEmpty())
        mNumberTxt->setText(text);
    showStack();
    return false;
}

void MainController::operate(Operation operation) {
    const QString text = takeEntry();
    whenIdle([this, operation, text] {
        if (!text.isEmpty() && !enterText(text))
            return;
        startComputation(operation);
    });
}

void MainController::stackStep(bool (Calculator::*step)()) {
    whenIdle([this, step] {
        ((*mCalculator).*step)();
        showStack();
    });
}

void MainController::startComputation(Operation operation) {
    auto pending = mCalculator->prepare(operation);
    if (!pending) {
        showStack();
        return;
    }
    mComputation = std::make_unique<Computation>(std::move(*pending), mCalculator->precision(),
                                                 mCalculator->radix());
    connect(mComputation.get(), &Computation::finished, this, &MainController::computationFinished);
    setBusy(true);
    mComputation->start();
}

void MainController::computationFinished(const Outcome &outcome) {
    // The computation's thread has ended; the object goes once its signal returns.
    Computation *done = mComputation.release();
    done->deleteLater();
    mCalculator->finish(done->pending(), outcome);
    setBusy(false);
    showStack();
    if (outcome.cancelled && mDropped > 0)
        showStatus(mStatusTxt->text() + (mDropped == 1
                                             ? tr("; 1 waiting action dropped")
                                             : tr("; %1 waiting actions dropped").arg(mDropped)));
    mDropped = 0;
    while (!isBusy() && !mWaiting.empty()) {
        auto step = std::move(mWaiting.front());
        mWaiting.pop_front();
        step();
    }
}

void MainController::setBusy(bool busy) {
    mUi->cancelButton->setEnabled(busy);
    action("Cancel")->setEnabled(busy);
    if (!busy) {
        mUi->busyIndicator->hide();
        return;
    }
    // Most computations end before a person could see the indicator.
    QTimer::singleShot(kBusyDelayMs, mComputation.get(), [this] {
        if (!isBusy())
            return;
        mUi->busyIndicator->show();
        showStatus(
            tr("Computing %1… (Escape cancels)").arg(info(mComputation->pending().operation).name));
    });
}

// --- Actions --------------------------------------------------------------------

void MainController::newNumberForStack() { doEnt(); }

void MainController::doEnt() {
    const QString text = takeEntry();
    whenIdle([this, text] {
        if (text.isEmpty())
            mCalculator->enter("");
        else
            enterText(text);
        showStack();
    });
}

void MainController::doAdd() { operate(Operation::Add); }
void MainController::doSub() { operate(Operation::Subtract); }
void MainController::doMul() { operate(Operation::Multiply); }
void MainController::doDiv() { operate(Operation::Divide); }
void MainController::doPow() { operate(Operation::Power); }
void MainController::doRoot() { operate(Operation::Root); }
void MainController::doFac() { operate(Operation::Factorial); }
void MainController::doModpow() { operate(Operation::ModularPower); }
void MainController::doMod() { operate(Operation::Modulo); }
void MainController::doGcd() { operate(Operation::Gcd); }
void MainController::doModinv() { operate(Operation::ModularInverse); }

void MainController::doChangeSign() {
    const QString text = mNumberTxt->text().trimmed();
    if (!text.isEmpty()) {
        mNumberTxt->setText(text.startsWith('-') ? text.mid(1) : "-" + text);
        return;
    }
    stackStep(&Calculator::changeSign);
}

void MainController::doSwap() { stackStep(&Calculator::swap); }
void MainController::doDrop() { stackStep(&Calculator::drop); }
void MainController::doRotate() { stackStep(&Calculator::rotate); }
void MainController::doUndo() { stackStep(&Calculator::undo); }
void MainController::doRedo() { stackStep(&Calculator::redo); }

void MainController::doClear() {
    whenIdle([this] {
        mCalculator->clear();
        mCalculator->setStatus({});
        showStack();
    });
}

void MainController::doCopy() {
    auto number = chosenNumberOrSay();
    if (!number)
        return;
    QApplication::clipboard()->setText(
        QString::fromStdString(number->fullText(mCalcDataSrc->radix())));
    showStatus(tr("Copied %1 digits").arg(number->digitCount(mCalcDataSrc->radix())));
}

void MainController::doPaste() {
    const std::string text = QApplication::clipboard()->text().toStdString();
    whenIdle([this, text] {
        if (mCalculator->paste(text))
            mCalculator->setStatus(
                tr("Pasted %1 digits")
                    .arg(mCalculator->numberAtPosition(mCalculator->stackSize() - 1)
                             ->digitCount(mCalculator->radix()))
                    .toStdString());
        showStack();
    });
}

void MainController::doShowValue() {
    auto number = chosenNumberOrSay();
    if (!number)
        return;
    const int radix = mCalcDataSrc->radix();
    auto *viewer = new ValueViewer(number->fullText(radix), radix, this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
}

void MainController::doSaveValue() {
    auto number = chosenNumberOrSay();
    if (!number)
        return;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save value"), {},
                                                      tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    if (saveValue(path, number->fullText(mCalcDataSrc->radix()), &error))
        showStatus(tr("Saved to %1").arg(path));
    else
        showStatus(error);
}

void MainController::doCancel() {
    if (!isBusy())
        return;
    mDropped = mWaiting.size();
    mWaiting.clear();
    mComputation->cancel();
    showStatus(tr("Cancelling %1…").arg(info(mComputation->pending().operation).name));
}

void MainController::doKeys() {
    QString rows;
    for (QAction *candidate : mActions) {
        QStringList keys;
        for (const QKeySequence &key : candidate->shortcuts())
            keys << key.toString(QKeySequence::NativeText).toHtmlEscaped();
        rows += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
                    .arg(candidate->text().toHtmlEscaped(), keys.join(", "),
                         candidate->data().toString().toHtmlEscaped());
    }
    auto *box = new QMessageBox(QMessageBox::NoIcon, tr("Keys"),
                                tr("<p>Digits typed anywhere go to the entry; in radix 11 to 36 "
                                   "letters are digits too. An operator key enters the entry "
                                   "first, then applies. <b>-</b> always subtracts: type a "
                                   "negative number as its digits, then <b>_</b>.</p>"
                                   "<table cellspacing=6>%1</table>")
                                    .arg(rows),
                                QMessageBox::Close, this);
    box->setAccessibleName(tr("Keys"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void MainController::doAbout() {
    auto *box = new QMessageBox(QMessageBox::Information, tr("About Karvo Calculator"),
                                tr("<p><b>Karvo Calculator %1</b></p><p>A reverse-Polish "
                                   "calculator for integers of up to 100000 32-bit words "
                                   "(about 963,000 decimal digits), on the Karvo library.</p>")
                                    .arg(QStringLiteral(KARVO_VERSION)),
                                QMessageBox::Close, this);
    box->setAccessibleName(tr("About"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void MainController::doDigit(int digit) {
    mNumberTxt->insert(QString::number(digit));
    mNumberTxt->setFocus();
}

// --- Showing the state ------------------------------------------------------------

std::shared_ptr<Number> MainController::chosenNumber() const {
    const QModelIndexList selected = mNumberTbl->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? mCalcDataSrc->rowCount() - 1 : selected.first().row();
    return mCalcDataSrc->numberAt(row);
}

std::shared_ptr<Number> MainController::chosenNumberOrSay() {
    auto number = chosenNumber();
    if (!number)
        showStatus(tr("The stack is empty"));
    return number;
}

void MainController::showStack() {
    mNumberTbl->scrollToBottom();
    if (!isBusy())
        showStatus(QString::fromStdString(mCalculator->status()));
    {
        const QSignalBlocker quiet(mRadixTxt);
        mRadixTxt->setValue(mCalculator->radix());
    }
    action("Undo")->setEnabled(mCalculator->canUndo() || isBusy());
    action("Redo")->setEnabled(mCalculator->canRedo() || isBusy());
    showDigits();
    StackState now = mCalculator->state();
    if (now.stack != mSaved.stack || now.radix != mSaved.radix) {
        mStore->save(now);
        mSaved = std::move(now);
    }
    if (!mNumberTxt->hasFocus() && isActiveWindow())
        mNumberTxt->setFocus();
}

void MainController::showDigits() {
    auto number = chosenNumber();
    mDigitsTxt->setText(number ? QString::number(number->digitCount(mCalcDataSrc->radix())) : "");
}

void MainController::showStatus(const QString &text) { mStatusTxt->setText(text); }
