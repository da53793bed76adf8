// A dc interpreter for integers over the calculator's engine: the stack of
// numbers and strings, 256 registers that are stacks themselves (with an array
// at each level), macros, comparisons and the input and output radices. Output
// and messages follow GNU dc byte for byte; the differences are documented in
// the README (integers only, and a few commands of our own).
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DcInput.h"
#include "Number.h"

struct DcValue {
    std::shared_ptr<const Number> number;    // set for a number
    std::shared_ptr<const std::string> text; // set for a string
    bool isString() const { return text != nullptr; }
};

class DcMachine {
  public:
    struct Streams {
        std::FILE *out = stdout;
        std::FILE *err = stderr;
        DcInput *in = nullptr; // where `?` reads a line; none: `?` reads nothing
    };
    DcMachine(std::string programName, Streams streams, int64_t lineLength);

    // Runs commands from `input` to its end. False when a quit command asked
    // the program to end.
    bool run(DcInput &input) { return run(input, false); }
    // Runs one expression (as -e does). An expression counts as a level of its
    // own for q and Q, as in dc: `[q]x` ends the expression, not the program.
    bool runText(const std::string &script);

    bool errorSeen() const { return _errorSeen; }
    const std::vector<DcValue> &stack() const { return _stack; }

  private:
    struct Level {
        std::optional<DcValue> value; // none when only the array was stored into
        std::map<int32_t, DcValue> array;
    };
    struct Frame {
        std::shared_ptr<const std::string> text;
        size_t pos = 0;
        int64_t levels = 1; // macros this frame stands for: tail calls share a frame
    };
    enum class Flow { Go, LeaveInput, Quit };

    bool run(DcInput &input, bool expression);

    int next(DcInput &input);
    int peek(DcInput &input);
    Flow execute(int command, DcInput &input);
    Flow executeMacro(const DcValue &value);
    int64_t depth() const; // macro levels, and the expression's own
    Flow quit();
    Flow quitLevels(int64_t levels);
    Flow leave(int64_t levels);

    void readNumber(int first, DcInput &input);
    void readString(DcInput &input);
    int registerName(DcInput &input, bool &ok);

    void fail(const std::string &message);
    void failLibrary();
    bool need(size_t count);
    bool numbers(size_t count);
    const Number &at(size_t fromTop) const { return *_stack[_stack.size() - 1 - fromTop].number; }
    std::shared_ptr<Number> operand(size_t fromTop) const;
    std::shared_ptr<Number> fresh();
    void push(std::shared_ptr<const Number> number);
    void pushSmall(uint64_t value);
    void replace(size_t count, std::vector<DcValue> results);
    // A count, radix or index as dc reads it: a machine int, with a message
    // and -1 for magnitudes beyond it.
    int32_t toInt(const Number &n);

    void arithmetic(int op);
    void divide(int op);
    void power();
    void modularPower();
    void squareRoot();
    void ownOperation(int op);
    void print(const DcValue &value, bool newline);
    void printBytes(const DcValue &value);
    void toCharacter();
    void setInputRadix();
    void setOutputRadix();
    void setScale();
    void rotate();
    void compare(int op, bool negated, int reg);
    void storeArray(int reg);
    void loadArray(int reg);
    void shellCommand(DcInput &input);

    std::string _program;
    Streams _io;
    int64_t _lineLength;
    std::vector<DcValue> _stack;
    std::vector<Level> _registers[256];
    std::vector<Frame> _frames;
    uint64_t _inputRadix = 10, _outputRadix = 10;
    bool _errorSeen = false;
    bool _inExpression = false;
};
