// The calculator's window: loads the layout from MainWindow.ui, builds the
// menus and keys from one table of actions, and wires them to the engine.
// Computations run on a thread of their own; actions that arrive meanwhile
// wait in order. The stack is saved after every change and restored at start.
#pragma once

#include <QMainWindow>
#include <deque>
#include <functional>
#include <memory>

#include "Calculator.h"

namespace Ui {
class MainWindow;
}
class CalculatorDataSource;
class Computation;
class NumberTextField;
class QAction;
class QKeyEvent;
class QLineEdit;
class QSpinBox;
class QTableView;
class StackStore;
struct Outcome;

class MainController : public QMainWindow {
    Q_OBJECT
  public:
    // The stack is kept in `dataFolder`, by default the user's data folder.
    explicit MainController(QWidget *parent = nullptr, const QString &dataFolder = {});
    ~MainController() override;

    bool isBusy() const { return mComputation != nullptr; }
    StackStore &store() const { return *mStore; }
    // The window's action with this text (as in its menu), or nullptr.
    QAction *action(const QString &text) const;

  public slots:
    void newNumberForStack();
    void doEnt();
    void doAdd();
    void doSub();
    void doMul();
    void doDiv();
    void doPow();
    void doRoot();
    void doFac();
    void doModpow();
    void doMod();
    void doGcd();
    void doModinv();
    void doChangeSign();
    void doSwap();
    void doDrop();
    void doRotate();
    void doClear();
    void doUndo();
    void doRedo();
    void doCopy();
    void doPaste();
    void doShowValue();
    void doSaveValue();
    void doCancel();
    void doKeys();
    void doAbout();
    // Appends the digit to the entry field.
    void doDigit(int digit);

  protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    struct ActionSpec;
    void awakeFromNib();
    void buildActions();
    void connectDigitButtons();
    void restoreState();
    bool isWindowKey(const QKeyEvent &event) const;

    // Runs `step` now, or after the running computation and the steps before it.
    void whenIdle(std::function<void()> step);
    // The entry's text, taken out of the field; empty when it holds only blanks.
    QString takeEntry();
    // Pushes taken entry text; on a refusal the text goes back into the field.
    bool enterText(const QString &text);
    void operate(Operation operation);
    void stackStep(bool (Calculator::*step)());
    void startComputation(Operation operation);
    void computationFinished(const Outcome &outcome);
    void setBusy(bool busy);

    // The selected number, or the top; nullptr on an empty stack.
    std::shared_ptr<Number> chosenNumber() const;
    // The same, or a status that says the stack is empty.
    std::shared_ptr<Number> chosenNumberOrSay();
    void showStack();
    void showDigits();
    void showStatus(const QString &text);

    std::unique_ptr<Ui::MainWindow> mUi;
    std::shared_ptr<Calculator> mCalculator;
    CalculatorDataSource *mCalcDataSrc = nullptr; // owned by this window
    NumberTextField *mNumberTxt = nullptr;
    QTableView *mNumberTbl = nullptr;
    QLineEdit *mDigitsTxt = nullptr;
    QSpinBox *mRadixTxt = nullptr;
    QLineEdit *mStatusTxt = nullptr;
    std::vector<QAction *> mActions;
    std::unique_ptr<StackStore> mStore;
    StackState mSaved;
    std::unique_ptr<Computation> mComputation;
    std::deque<std::function<void()>> mWaiting;
    size_t mDropped = 0; // waiting steps dropped by the last cancel
};
