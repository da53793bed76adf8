#include "DcMachine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "DcFormat.h"
#include "Operation.h"

namespace {

struct FreeRecord {
    void operator()(::bignum *record) const { bignum_free(record); }
};
using Record = std::unique_ptr<::bignum, FreeRecord>;

bool negative(const Number &n) { return n.isNegative(); }
bool zero(const Number &n) { return bignum_iszero(n.bignum()) != 0; }
// Numeric order. The library orders two negative numbers by magnitude, and a
// result may be a zero marked negative, so both are settled here.
int compareValues(const Number &a, const Number &b) {
    const int signA = zero(a) ? 0 : negative(a) ? -1 : 1;
    const int signB = zero(b) ? 0 : negative(b) ? -1 : 1;
    if (signA != signB || signA == 0)
        return signA < signB ? -1 : signA > signB ? 1 : 0;
    const int magnitude = bignum_cmp(a.bignum(), b.bignum());
    return signA < 0 ? -magnitude : magnitude;
}
bool odd(const Number &n) { return (__bignum_get(n.bignum(), 0) & 1) != 0; }

// "'g' (0147)" for a printable byte, "0303" for any other, as dc names them.
std::string describeByte(int c) {
    char text[24];
    if (std::isprint(c))
        std::snprintf(text, sizeof text, "'%c' (%#o)", c, unsigned(c));
    else
        std::snprintf(text, sizeof text, "%#o", unsigned(c));
    return text;
}

} // namespace

DcMachine::DcMachine(std::string programName, Streams streams, int64_t lineLength)
    : _program(std::move(programName)), _io(streams), _lineLength(lineLength) {}

bool DcMachine::runText(const std::string &script) {
    DcTextInput input(std::make_shared<const std::string>(script));
    return run(input, true);
}

bool DcMachine::run(DcInput &input, bool expression) {
    _inExpression = expression;
    for (;;) {
        if (!_frames.empty() && _frames.back().pos >= _frames.back().text->size()) {
            _frames.pop_back();
            continue;
        }
        const int c = next(input);
        if (c == EOF)
            return true;
        const Flow flow = execute(c, input);
        if (flow != Flow::Go) {
            _frames.clear();
            return flow == Flow::LeaveInput;
        }
    }
}

int DcMachine::next(DcInput &input) {
    if (_frames.empty())
        return input.get();
    Frame &f = _frames.back();
    return f.pos < f.text->size() ? uint8_t((*f.text)[f.pos++]) : EOF;
}

int DcMachine::peek(DcInput &input) {
    if (_frames.empty())
        return input.peek();
    const Frame &f = _frames.back();
    return f.pos < f.text->size() ? uint8_t((*f.text)[f.pos]) : EOF;
}

// ---- messages and stack helpers ----

void DcMachine::fail(const std::string &message) {
    std::fflush(_io.out);
    std::fprintf(_io.err, "%s: %s\n", _program.c_str(), message.c_str());
    _errorSeen = true;
}

void DcMachine::failLibrary() {
    const std::string why = bignum_last_message();
    fail(why.empty() ? "no memory for the result" : why);
}

bool DcMachine::need(size_t count) {
    if (_stack.size() >= count)
        return true;
    fail("stack empty");
    return false;
}

bool DcMachine::numbers(size_t count) {
    if (!need(count))
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (_stack[_stack.size() - 1 - i].isString()) {
            fail("non-numeric value");
            return false;
        }
    }
    return true;
}

// The engine's operations take their operands as shared numbers; the library
// only reads them, so the stack's own numbers go in without a copy.
std::shared_ptr<Number> DcMachine::operand(size_t fromTop) const {
    return std::const_pointer_cast<Number>(_stack[_stack.size() - 1 - fromTop].number);
}

std::shared_ptr<Number> DcMachine::fresh() { return Number::withPrecision(0, 10); }

void DcMachine::push(std::shared_ptr<const Number> number) {
    _stack.push_back({std::move(number), nullptr});
}

void DcMachine::pushSmall(uint64_t value) {
    auto n = fresh();
    if (!n)
        return fail("no memory for the result");
    bignum_set(n->bignum(), value);
    push(std::move(n));
}

void DcMachine::replace(size_t count, std::vector<DcValue> results) {
    _stack.resize(_stack.size() - count);
    for (auto &r : results)
        _stack.push_back(std::move(r));
}

int32_t DcMachine::toInt(const Number &n) {
    // dc reads at most 2147483649 in magnitude and wraps that into an int.
    constexpr uint64_t kLargest = 2147483649u;
    const uint64_t magnitude =
        bignum_bitlen(n.bignum()) > 32 ? kLargest + 1 : __bignum_get(n.bignum(), 0);
    if (magnitude > kLargest) {
        fail("value overflows simple integer; punting...");
        return -1;
    }
    return int32_t(uint32_t(negative(n) ? 0 - magnitude : magnitude));
}

// ---- the commands ----

DcMachine::Flow DcMachine::execute(int c, DcInput &input) {
    switch (c) {
    case ' ':
    case '\t':
    case '\n':
        return Flow::Go;
    case '#':
        for (int d = next(input); d != EOF && d != '\n'; d = next(input)) {
        }
        return Flow::Go;
    case '[':
        readString(input);
        return Flow::Go;
    case '+':
    case '-':
    case '*':
        arithmetic(c);
        return Flow::Go;
    case '/':
    case '%':
    case '~':
        divide(c);
        return Flow::Go;
    case '^':
        power();
        return Flow::Go;
    case '|':
        modularPower();
        return Flow::Go;
    case 'v':
        squareRoot();
        return Flow::Go;
    case 'g':
    case 'm':
    case 'V':
    case 'y':
        ownOperation(c);
        return Flow::Go;
    case 'p':
        if (need(1))
            print(_stack.back(), true);
        return Flow::Go;
    case 'n':
        if (need(1)) {
            print(_stack.back(), false);
            _stack.pop_back();
        }
        return Flow::Go;
    case 'P':
        if (need(1)) {
            DcValue top = std::move(_stack.back());
            _stack.pop_back();
            printBytes(top);
        }
        return Flow::Go;
    case 'f':
        for (auto it = _stack.rbegin(); it != _stack.rend(); ++it)
            print(*it, true);
        return Flow::Go;
    case 'c':
        _stack.clear();
        return Flow::Go;
    case 'd':
        if (need(1))
            _stack.push_back(_stack.back());
        return Flow::Go;
    case 'r': // dc says nothing when there are fewer than two
        if (_stack.size() >= 2)
            std::swap(_stack[_stack.size() - 1], _stack[_stack.size() - 2]);
        return Flow::Go;
    case 'R':
        rotate();
        return Flow::Go;
    case 'z':
        pushSmall(_stack.size());
        return Flow::Go;
    case 'i':
        setInputRadix();
        return Flow::Go;
    case 'o':
        setOutputRadix();
        return Flow::Go;
    case 'k':
        setScale();
        return Flow::Go;
    case 'I':
        pushSmall(_inputRadix);
        return Flow::Go;
    case 'O':
        pushSmall(_outputRadix);
        return Flow::Go;
    case 'K':
        pushSmall(0);
        return Flow::Go;
    case 'Z':
        if (need(1)) {
            DcValue top = std::move(_stack.back());
            _stack.pop_back();
            pushSmall(top.isString() ? top.text->size() : uint64_t(top.number->digitCount(10)));
        }
        return Flow::Go;
    case 'X':
        if (need(1)) {
            _stack.pop_back();
            pushSmall(0);
        }
        return Flow::Go;
    case 'a':
        toCharacter();
        return Flow::Go;
    case 'x':
        if (need(1)) {
            DcValue top = std::move(_stack.back());
            _stack.pop_back();
            return executeMacro(top);
        }
        return Flow::Go;
    case 's':
    case 'S':
    case 'l':
    case 'L': {
        bool ok = false;
        const int reg = registerName(input, ok);
        if (!ok)
            return Flow::Go;
        auto &levels = _registers[reg];
        if (c == 's' || c == 'S') {
            if (!need(1))
                return Flow::Go;
            DcValue top = std::move(_stack.back());
            _stack.pop_back();
            if (c == 'S' || levels.empty())
                levels.push_back({std::move(top), {}});
            else
                levels.back().value = std::move(top);
        } else if (c == 'l') {
            if (levels.empty())
                pushSmall(0);
            else if (!levels.back().value)
                fail("BUG: register " + describeByte(reg) + " exists but is uninitialized?");
            else
                _stack.push_back(*levels.back().value);
        } else if (levels.empty() || !levels.back().value) {
            fail("stack register " + describeByte(reg) + " is empty");
        } else {
            _stack.push_back(std::move(*levels.back().value));
            levels.pop_back();
        }
        return Flow::Go;
    }
    case ':':
    case ';': {
        bool ok = false;
        const int reg = registerName(input, ok);
        if (ok)
            c == ':' ? storeArray(reg) : loadArray(reg);
        return Flow::Go;
    }
    case '<':
    case '>':
    case '=': {
        bool ok = false;
        const int reg = registerName(input, ok);
        if (ok)
            compare(c, false, reg);
        return Flow::Go;
    }
    case '!': {
        const int op = peek(input);
        if (op == '<' || op == '>' || op == '=') {
            next(input);
            bool ok = false;
            const int reg = registerName(input, ok);
            if (ok)
                compare(op, true, reg);
        } else {
            shellCommand(input);
        }
        return Flow::Go;
    }
    case 'q':
        return quit();
    case 'Q': {
        if (!need(1))
            return Flow::Go;
        DcValue top = std::move(_stack.back());
        _stack.pop_back();
        const int32_t levels = top.isString() ? 0 : toInt(*top.number);
        if (levels < 1) {
            fail("Q command requires a number >= 1");
            return Flow::Go;
        }
        return quitLevels(levels);
    }
    case '?': {
        if (_io.in == nullptr)
            return Flow::Go;
        auto line = _io.in->readLine();
        if (!line)
            return Flow::Go;
        return executeMacro({nullptr, std::make_shared<const std::string>(std::move(*line))});
    }
    default:
        if (std::isdigit(c) || (c >= 'A' && c <= 'F') || c == '_' || c == '.') {
            readNumber(c, input);
            return Flow::Go;
        }
        // dc writes its name on standard error and the rest on standard output.
        std::fprintf(_io.err, "%s: ", _program.c_str());
        std::fprintf(_io.out, "%s unimplemented\n", describeByte(c).c_str());
        _errorSeen = true;
        return Flow::Go;
    }
}

DcMachine::Flow DcMachine::executeMacro(const DcValue &value) {
    if (!value.isString()) {
        _stack.push_back(value);
        return Flow::Go;
    }
    // A macro called as the last command of another takes over its frame, so
    // loops written as tail calls run in constant space.
    int64_t levels = 1;
    if (!_frames.empty() && _frames.back().pos >= _frames.back().text->size()) {
        levels += _frames.back().levels;
        _frames.pop_back();
    }
    _frames.push_back({value.text, 0, levels});
    return Flow::Go;
}

int64_t DcMachine::depth() const {
    int64_t levels = _inExpression ? 1 : 0;
    for (const Frame &f : _frames)
        levels += f.levels;
    return levels;
}

// q leaves two levels, or ends the program when there are fewer.
DcMachine::Flow DcMachine::quit() { return depth() < 2 ? Flow::Quit : leave(2); }

// nQ leaves n levels and never ends the program. As in dc, 1Q changes nothing
// inside a macro or an expression, and asking for more levels than there are
// leaves them all, with a message only outside an expression.
DcMachine::Flow DcMachine::quitLevels(int64_t levels) {
    const int64_t there = depth();
    if (levels > there) {
        if (!_inExpression)
            fail("Q command argument exceeded string execution depth");
        return leave(there);
    }
    return levels == 1 ? Flow::Go : leave(levels);
}

// A frame that stands for several tail-called macros is left whole: the
// outer ones had nothing left to run.
DcMachine::Flow DcMachine::leave(int64_t levels) {
    while (levels > 0 && !_frames.empty()) {
        levels -= _frames.back().levels;
        _frames.pop_back();
    }
    return levels > 0 && _inExpression ? Flow::LeaveInput : Flow::Go;
}

int DcMachine::registerName(DcInput &input, bool &ok) {
    const int c = next(input);
    ok = c != EOF;
    if (!ok)
        fail("unexpected EOS");
    return ok ? c : 0;
}

void DcMachine::readString(DcInput &input) {
    std::string text;
    int depth = 1;
    for (int c = next(input); c != EOF; c = next(input)) {
        if (c == '[')
            ++depth;
        else if (c == ']' && --depth == 0)
            break;
        text.push_back(char(c));
    }
    _stack.push_back({nullptr, std::make_shared<const std::string>(std::move(text))});
}

void DcMachine::readNumber(int first, DcInput &input) {
    const bool minus = first == '_';
    std::string digits;
    bool point = first == '.', fraction = false;
    if (!minus && !point)
        digits.push_back(char(std::tolower(first)));
    for (int c = peek(input);; c = peek(input)) {
        if (std::isdigit(c) || (c >= 'A' && c <= 'F')) {
            digits.push_back(char(std::tolower(c)));
            fraction = point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        next(input);
    }
    // A point with no digits after it still makes an integer ("5." is 5).
    if (fraction) {
        fail("fractional numbers are not supported: karvo computes with integers only");
        return;
    }
    auto n = fresh();
    if (!n)
        return fail("no memory for the result");
    // The library counts every digit with its own value, even at or above the
    // input radix, as dc does ("1F" in radix 10 is 25).
    if (!digits.empty() &&
        bignum_set_str(n->bignum(), uint32_t(_inputRadix), digits.c_str()) == nullptr)
        return failLibrary();
    if (minus && !zero(*n))
        n->bignum()->sign = 2;
    push(std::move(n));
}

// ---- arithmetic ----

void DcMachine::arithmetic(int op) {
    if (!numbers(2))
        return;
    PendingOperation pending{op == '+'   ? Operation::Add
                             : op == '-' ? Operation::Subtract
                                         : Operation::Multiply,
                             {operand(1), operand(0)}};
    Outcome outcome = compute(pending, 0, 10);
    if (!outcome.result)
        return failLibrary();
    replace(2, {{std::move(outcome.result), nullptr}});
}

// dc divides toward zero, and its remainder takes the dividend's sign.
void DcMachine::divide(int op) {
    if (!numbers(2))
        return;
    const Number &divisor = at(0), &dividend = at(1);
    if (zero(divisor))
        return fail(op == '%' ? "remainder by zero" : "divide by zero");
    auto q = fresh(), r = fresh();
    if (!q || !r)
        return fail("no memory for the result");
    if (bignum_div(q->bignum(), r->bignum(), dividend.bignum(), divisor.bignum()) == nullptr)
        return failLibrary();
    if (negative(dividend) && !zero(*r))
        r->bignum()->sign = 2;
    if (op == '/')
        replace(2, {{q, nullptr}});
    else if (op == '%')
        replace(2, {{r, nullptr}});
    else
        replace(2, {{q, nullptr}, {r, nullptr}});
}

// A negative exponent gives the reciprocal, which in integers is 0 unless the
// base is 1 or -1.
void DcMachine::power() {
    if (!numbers(2))
        return;
    const Number &exponent = at(0), &base = at(1);
    auto result = fresh();
    if (!result)
        return fail("no memory for the result");
    if (negative(exponent)) {
        if (bignum_bitlen(base.bignum()) == 1) {
            bignum_set(result->bignum(), 1);
            if (negative(base) && odd(exponent))
                result->bignum()->sign = 2;
        }
    } else if (bignum_pow(result->bignum(), base.bignum(), exponent.bignum()) == nullptr) {
        return failLibrary();
    }
    replace(2, {{result, nullptr}});
}

// base ^ exponent reduced by the modulus as dc reduces it: the remainder of
// the power, so it takes the base's sign when the exponent is odd; an exponent
// of 0 gives 1 whatever the modulus.
void DcMachine::modularPower() {
    if (!numbers(3))
        return;
    const Number &modulus = at(0), &exponent = at(1), &base = at(2);
    if (zero(modulus))
        return fail("remainder by zero");
    if (negative(exponent))
        return; // dc leaves the stack as it is, without a message
    auto result = fresh();
    if (!result)
        return fail("no memory for the result");
    if (zero(exponent)) {
        bignum_set(result->bignum(), 1);
    } else {
        if (bignum_modpow(result->bignum(), base.bignum(), exponent.bignum(), modulus.bignum()) ==
            nullptr)
            return failLibrary();
        if (negative(base) && odd(exponent) && !zero(*result))
            result->bignum()->sign = 2;
    }
    replace(3, {{result, nullptr}});
}

void DcMachine::squareRoot() {
    if (!need(1))
        return;
    if (_stack.back().isString()) {
        _stack.pop_back();
        return fail("square root of nonnumeric attempted");
    }
    if (negative(at(0))) {
        _stack.pop_back();
        return fail("square root of negative number");
    }
    auto result = fresh(), two = fresh();
    if (!result || !two)
        return fail("no memory for the result");
    bignum_set(two->bignum(), 2);
    if (bignum_root(result->bignum(), two->bignum(), at(0).bignum()) == nullptr)
        return failLibrary();
    replace(1, {{result, nullptr}});
}

// The calculator's operations that dc lacks: g gcd, m modular inverse,
// V n-th root (degree on top), y factorial.
void DcMachine::ownOperation(int op) {
    const size_t arity = op == 'y' ? 1 : 2;
    if (!numbers(arity))
        return;
    PendingOperation pending;
    pending.operation = op == 'g'   ? Operation::Gcd
                        : op == 'm' ? Operation::ModularInverse
                        : op == 'V' ? Operation::Root
                                    : Operation::Factorial;
    for (size_t i = arity; i-- > 0;)
        pending.operands.push_back(operand(i));
    if (op == 'V')
        std::swap(pending.operands[0], pending.operands[1]); // the library takes the degree first
    Outcome outcome = compute(pending, 0, 10);
    if (!outcome.result) {
        std::string why = outcome.failure;
        if (!why.empty())
            why[0] = char(std::tolower(static_cast<unsigned char>(why[0])));
        return fail(why);
    }
    replace(arity, {{std::move(outcome.result), nullptr}});
}

// ---- output ----

void DcMachine::print(const DcValue &value, bool newline) {
    if (value.isString()) {
        std::fwrite(value.text->data(), 1, value.text->size(), _io.out);
    } else {
        const std::string text = dcDigits(*value.number, _outputRadix);
        if (text.empty())
            return fail("no memory for the result");
        dcWrapped(_io.out, text, _lineLength);
    }
    if (newline)
        std::fputc('\n', _io.out);
}

// P writes a string as it is and a number as the bytes of its magnitude.
void DcMachine::printBytes(const DcValue &value) {
    if (value.isString()) {
        std::fwrite(value.text->data(), 1, value.text->size(), _io.out);
        return;
    }
    // The magnitude's bytes, most significant first, without leading zeros;
    // zero writes one zero byte.
    const ::bignum *n = value.number->bignum();
    const uint64_t length = std::max<uint64_t>((bignum_bitlen(value.number->bignum()) + 7) / 8, 1);
    std::string bytes(length, '\0');
    for (uint64_t i = 0; i < length; ++i)
        bytes[length - 1 - i] = char(__bignum_get(n, i / 4) >> (8 * (i % 4)));
    std::fwrite(bytes.data(), 1, bytes.size(), _io.out);
}

void DcMachine::toCharacter() {
    if (!need(1))
        return;
    DcValue top = std::move(_stack.back());
    _stack.pop_back();
    std::string text;
    if (top.isString()) {
        text.assign(1, top.text->empty() ? '\0' : (*top.text)[0]); // dc's first byte, even of ""
    } else {
        text.assign(1, char(uint8_t(toInt(*top.number)))); // the low byte of dc's machine int
    }
    _stack.push_back({nullptr, std::make_shared<const std::string>(std::move(text))});
}

// ---- settings ----

void DcMachine::setInputRadix() {
    if (!need(1))
        return;
    DcValue top = std::move(_stack.back());
    _stack.pop_back();
    const int32_t radix = top.isString() ? 0 : toInt(*top.number);
    if (radix < 2 || radix > 16)
        return fail("input base must be a number between 2 and 16 (inclusive)");
    _inputRadix = uint64_t(radix);
}

void DcMachine::setOutputRadix() {
    if (!need(1))
        return;
    DcValue top = std::move(_stack.back());
    _stack.pop_back();
    const int32_t radix = top.isString() ? 0 : toInt(*top.number);
    if (radix < 2)
        return fail("output base must be a number greater than 1");
    _outputRadix = uint64_t(radix);
}

void DcMachine::setScale() {
    if (!need(1))
        return;
    DcValue top = std::move(_stack.back());
    _stack.pop_back();
    const int32_t scale = top.isString() ? -1 : toInt(*top.number);
    if (scale < 0)
        return fail("scale must be a nonnegative number");
    if (scale > 0)
        fail("a scale above 0 is not supported: karvo computes with integers only");
}

// nR moves the n-th number from the top to the top; -nR moves the top down
// to the n-th place. n is cut to the depth of the stack.
void DcMachine::rotate() {
    if (!need(1))
        return;
    DcValue top = std::move(_stack.back());
    _stack.pop_back();
    if (top.isString())
        return; // dc takes a string as no count at all
    const int64_t count = toInt(*top.number);
    const bool down = count < 0;
    const uint64_t n = std::min<uint64_t>(uint64_t(down ? -count : count), _stack.size());
    // The most negative int has no magnitude as an int: dc leaves the stack.
    if (n < 2 || count == INT32_MIN)
        return;
    auto first = _stack.end() - std::ptrdiff_t(n);
    if (down)
        std::rotate(first, _stack.end() - 1, _stack.end());
    else
        std::rotate(first, first + 1, _stack.end());
}

// A comparison that fails (too few numbers, or a string) counts as equal in
// dc, so = and the negated < and > still run their macro.
void DcMachine::compare(int op, bool negated, int reg) {
    int order = 0;
    if (numbers(2)) {
        order = compareValues(at(0), at(1));
        _stack.resize(_stack.size() - 2);
    }
    const bool holds = (op == '<' ? order < 0 : op == '>' ? order > 0 : order == 0) != negated;
    if (!holds)
        return;
    // An empty register runs as the number 0, which is pushed.
    const auto &levels = _registers[reg];
    if (levels.empty())
        return pushSmall(0);
    if (!levels.back().value)
        return fail("BUG: register " + describeByte(reg) + " exists but is uninitialized?");
    executeMacro(*levels.back().value);
}

// As in dc, the index is taken off and read first, then the value; both are
// gone whatever went wrong.
void DcMachine::storeArray(int reg) {
    if (!need(1))
        return;
    const DcValue index = std::move(_stack.back());
    _stack.pop_back();
    const int32_t i = index.isString() ? -1 : toInt(*index.number);
    if (!need(1))
        return;
    DcValue value = std::move(_stack.back());
    _stack.pop_back();
    if (i < 0)
        return fail("array index must be a nonnegative integer");
    auto &levels = _registers[reg];
    if (levels.empty())
        levels.push_back({std::nullopt, {}});
    levels.back().array[i] = std::move(value);
}

void DcMachine::loadArray(int reg) {
    if (!need(1))
        return;
    const DcValue index = std::move(_stack.back());
    _stack.pop_back();
    const int32_t i = index.isString() ? -1 : toInt(*index.number);
    if (i < 0)
        return fail("array index must be a nonnegative integer");
    const auto &levels = _registers[reg];
    if (!levels.empty()) {
        auto found = levels.back().array.find(i);
        if (found != levels.back().array.end()) {
            _stack.push_back(found->second);
            return;
        }
    }
    pushSmall(0);
}

void DcMachine::shellCommand(DcInput &input) {
    std::string command;
    for (int c = next(input); c != EOF && c != '\n'; c = next(input))
        command.push_back(char(c));
    std::fflush(_io.out);
    if (std::system(command.c_str()) == -1)
        fail("could not run the command");
}
