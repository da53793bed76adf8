// The calculator's window: loads the layout from MainWindow.ui and wires its
// controls to the engine. Every action calls the engine, then reloads the table
// and shows the engine's status.
#pragma once

#include <QMainWindow>
#include <memory>

#include "Calculator.h"

namespace Ui {
class MainWindow;
}
class CalculatorDataSource;
class NumberTextField;
class QLineEdit;
class QTableView;

class MainController : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainController(QWidget *parent = nullptr);
    ~MainController() override;

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
    // Appends the digit to the entry field.
    void doDigit(int digit);

  private:
    void awakeFromNib();
    void connectDigitButtons();
    void connectOperationButtons();
    void showStack();

    std::unique_ptr<Ui::MainWindow> mUi;
    std::shared_ptr<Calculator> mCalculator;
    CalculatorDataSource *mCalcDataSrc = nullptr; // owned by this window
    NumberTextField *mNumberTxt = nullptr;
    QTableView *mNumberTbl = nullptr;
    QLineEdit *mDigitsTxt = nullptr;
    QLineEdit *mRadixTxt = nullptr;
    QLineEdit *mStatusTxt = nullptr;
};
