#include "MainController.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <mutex>

#include "CalculatorDataSource.h"
#include "bignum.h"
#include "ui_MainWindow.h"

MainController::MainController(QWidget *parent)
    : QMainWindow(parent), mUi(std::make_unique<Ui::MainWindow>()) {
    mUi->setupUi(this);
    mNumberTxt = mUi->numberField;
    mNumberTbl = mUi->stackTable;
    mDigitsTxt = mUi->digitsField;
    mRadixTxt = mUi->radixField;
    mStatusTxt = mUi->statusField;
    awakeFromNib();
}

MainController::~MainController() = default;

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
    connect(mNumberTxt, &NumberTextField::newNumberForStack, this,
            &MainController::newNumberForStack);
    connectOperationButtons();
    connectDigitButtons();
}

void MainController::connectOperationButtons() {
    const std::pair<QAbstractButton *, void (MainController::*)()> actions[] = {
        {mUi->enterButton, &MainController::doEnt},
        {mUi->addButton, &MainController::doAdd},
        {mUi->subtractButton, &MainController::doSub},
        {mUi->multiplyButton, &MainController::doMul},
        {mUi->divideButton, &MainController::doDiv},
        {mUi->powerButton, &MainController::doPow},
        {mUi->rootButton, &MainController::doRoot},
        {mUi->factorialButton, &MainController::doFac},
        {mUi->modpowButton, &MainController::doModpow},
        {mUi->modButton, &MainController::doMod},
        {mUi->gcdButton, &MainController::doGcd},
        {mUi->modinvButton, &MainController::doModinv},
    };
    for (const auto &[button, action] : actions)
        connect(button, &QAbstractButton::clicked, this, action);
}

void MainController::connectDigitButtons() {
    QAbstractButton *const digits[] = {mUi->digit0Button, mUi->digit1Button, mUi->digit2Button,
                                       mUi->digit3Button, mUi->digit4Button, mUi->digit5Button,
                                       mUi->digit6Button, mUi->digit7Button, mUi->digit8Button,
                                       mUi->digit9Button};
    for (int digit = 0; digit < 10; ++digit)
        connect(digits[digit], &QAbstractButton::clicked, this, [this, digit] { doDigit(digit); });
}

void MainController::newNumberForStack() { doEnt(); }

void MainController::doEnt() {
    if (mCalculator->enter(mNumberTxt->text().toStdString()))
        mNumberTxt->clear();
    showStack();
}

void MainController::doAdd() {
    mCalculator->add();
    showStack();
}

void MainController::doSub() {
    mCalculator->sub();
    showStack();
}

void MainController::doMul() {
    mCalculator->mul();
    showStack();
}

void MainController::doDiv() {
    mCalculator->div();
    showStack();
}

void MainController::doPow() {
    mCalculator->pow();
    showStack();
}

void MainController::doRoot() {
    mCalculator->root();
    showStack();
}

void MainController::doFac() {
    mCalculator->fac();
    showStack();
}

void MainController::doModpow() {
    mCalculator->modpow();
    showStack();
}

void MainController::doMod() {
    mCalculator->mod();
    showStack();
}

void MainController::doGcd() {
    mCalculator->gcd();
    showStack();
}

void MainController::doModinv() {
    mCalculator->modinv();
    showStack();
}

void MainController::doDigit(int digit) {
    mNumberTxt->insert(QString::number(digit));
    mNumberTxt->setFocus();
}

void MainController::showStack() {
    mCalcDataSrc->reloadData();
    mNumberTbl->scrollToBottom();
    mStatusTxt->setText(QString::fromStdString(mCalculator->status()));
    mNumberTxt->setFocus();
}
