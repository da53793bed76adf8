// karvo against the real dc: generated scripts run through both, and standard
// output and standard error must match byte for byte. dc is called through a
// link named karvo, because both programs name themselves in their messages.
// The exit status differs by design: dc always exits 0 after an error, karvo
// exits 1 when a command failed.
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace {

std::string findDc() {
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const auto candidate = std::filesystem::path(dirs.substr(start, end - start)) / "dc";
        if (std::filesystem::exists(candidate))
            return candidate.string();
        start = end + 1;
    }
    return {};
}

// Scripts of one kind, made from a seed.
class ScriptMaker {
  public:
    explicit ScriptMaker(uint64_t seed) : _rng(seed) {}

    int below(int n) { return int(_rng() % uint64_t(n)); }
    bool chance(int percent) { return below(100) < percent; }

    std::string digits(int count, int radix = 10) {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string text;
        for (int i = 0; i < count; ++i)
            text.push_back(kDigits[below(radix)]);
        return text;
    }
    // Mostly short numbers, some long, a few of thousands of digits; never
    // more than `longest` digits.
    std::string number(int longest = 20000) {
        const int pick = below(100);
        const int length = pick < 45   ? 1 + below(3)
                           : pick < 75 ? 1 + below(40)
                           : pick < 95 ? 1 + below(400)
                                       : 1 + below(longest);
        return (chance(30) ? "_" : "") + digits(std::min(length, longest));
    }

    std::string arithmetic() {
        static const char *kOps[] = {"+", "-", "*", "/", "%", "~", "p", "f",
                                     "n", "d", "r", "z", "v", "c", "Z", "X"};
        std::string s;
        for (int step = 0, steps = 10 + below(30); step < steps; ++step) {
            s += number() + " ";
            if (chance(60))
                s += number(2000) + " ";
            const std::string op = kOps[below(int(std::size(kOps)))];
            if (op == "*" || op == "/" || op == "%" || op == "~") {
                // dc's long products take quadratic time: the other factor stays short.
                s += number(800) + " " + op + " ";
            } else if (chance(15)) {
                s += std::to_string(below(200)) + " " + std::to_string(below(60)) + "^ ";
            } else if (chance(10)) {
                s += number(300) + " " + number(50) + " " + number(300) + "| ";
            } else {
                s += op + " ";
            }
            if (chance(40))
                s += "p ";
        }
        return s + "f\n";
    }

    std::string stackAndRegisters() {
        static const char *kCommands[] = {"d", "r", "R", "c", "z", "p",  "f",  "x",  "s", "l",
                                          "S", "L", "<", ">", "=", "!<", "!>", "!=", ":", ";"};
        std::string s;
        for (int step = 0, steps = 20 + below(40); step < steps; ++step) {
            // Counts and indices stay below 10^18: beyond that dc's conversion
            // to a machine integer gives arbitrary results.
            if (chance(50))
                s += number(18) + " ";
            if (chance(15))
                s += "[" + std::to_string(below(9)) + " p] ";
            const std::string c = kCommands[below(int(std::size(kCommands)))];
            const char reg = "abcxyz"[below(6)];
            if (c == "R")
                s += (chance(30) ? "_" : "") + std::to_string(below(6)) + "R ";
            else if (c.size() > 1 || std::string("sSlL<>=:;").find(c) != std::string::npos)
                s += c + reg + " ";
            else
                s += c + " ";
        }
        return s + "f\n";
    }

    // Loops and nested macros that stop through comparisons, q and Q.
    std::string macros() {
        const int n = 1 + below(40);
        switch (below(6)) {
        case 0: // countdown by a tail call
            return "[d p 1 - d 0 <a] sa " + std::to_string(n) + " la x f\n";
        case 1: // a sum in a register
            return "0 si 0 ss [li 1 + d si ls + ss li " + std::to_string(n) + " >b] sb lb x ls p\n";
        case 2: // a loop left with q from inside a nested macro
            return "0 sn [ln 1 + d sn " + std::to_string(n) + " =q lm x] sm [q] sq lm x 7p ln p\n";
        case 3: { // nQ out of nested macros
            const int depth = 1 + below(4), levels = 1 + below(5);
            std::string m = std::to_string(levels) + "Q 9p";
            for (int i = 0; i < depth; ++i)
                m = "[" + m + "]x " + std::to_string(i) + "p";
            return m + " 8p\n";
        }
        case 4: // registers as stacks
            return "1 Sa 2 Sa 3 Sa la p La p La p La p La p z p\n";
        default: // factorial by recursion
            return "[d 1 - d 1 <f *] sf " + std::to_string(n) + " lf x p\n";
        }
    }

    std::string radices() {
        std::string s;
        for (int step = 0, steps = 5 + below(15); step < steps; ++step) {
            if (chance(30)) {
                static const int kOut[] = {2, 3, 7, 8, 10, 16, 17, 20, 36, 37, 100, 1000, 65536};
                s += std::to_string(kOut[below(int(std::size(kOut)))]) + "o ";
            }
            if (chance(30)) {
                const int radix = 2 + below(15);
                // Typed in the current input radix: A to G name 10 to 16 in any radix.
                s += std::string(1, "23456789ABCDEFG"[radix - 2]) + "i ";
                s += (chance(30) ? "_" : "") + digits(1 + below(80), chance(80) ? radix : 16) +
                     " p ";
                s += "Ai ";
            }
            s += number(3000) + " p ";
            if (chance(20))
                s += "I p O p ";
        }
        return s + "\n";
    }

    // Commands on the wrong operands, and bytes dc does not know.
    std::string errors() {
        static const char *kTokens[] = {
            "+",   "-",  "*",  "/",    "%",      "~",  "^",  "|",   "v",  "p",   "n",    "P",
            "a",   "d",  "r",  "R",    "x",      "i",  "o",  "Q",   "0",  "1",   "_3",   "[s]",
            "[]",  "0/", "0%", "0~",   "5 0 0|", "La", "lb", "q99", "1o", "17i", "Z",    "X",
            "_1k", "0k", "\r", "\x01", "\xc3",   "w",  "e",  "j",   "@",  "$",   "`",    "2Q",
            "0Q",  "z",  "c",  "f",    "]",      "{",  "}",  "(",   ")",  "0:a", "_1;a",
        };
        std::string s;
        for (int step = 0, steps = 10 + below(40); step < steps; ++step) {
            std::string t = kTokens[below(int(std::size(kTokens)))];
            if (t == "q99")
                t = chance(5) ? "q" : "99";
            s += t + (chance(80) ? " " : "\n");
        }
        return s + "\nf\n";
    }

  private:
    std::mt19937_64 _rng;
};

class DcDifferential : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string dc = findDc();
        if (dc.empty())
            GTEST_SKIP() << "dc is not installed: the comparison with dc did not run";
        _dcLink = _dir.path() + "/karvo";
        std::filesystem::create_symlink(dc, _dcLink);
    }

    // Runs `script` through both programs and compares them.
    void compare(const std::string &script, const std::vector<std::string> &environment = {}) {
        const std::string file = _dir.write("script.dc", script);
        const ProcessResult dc = runProcess({_dcLink, "-f", file}, "", environment);
        const ProcessResult karvo = runProcess({KARVO_CLI, "-f", file}, "", environment);
        const std::string shown = script.size() > 600 ? script.substr(0, 600) + "..." : script;
        EXPECT_EQ(karvo.out, dc.out) << "script: " << shown;
        EXPECT_EQ(karvo.err, dc.err) << "script: " << shown;
        EXPECT_EQ(karvo.status, dc.err.empty() ? 0 : 1) << "script: " << shown;
        if (HasFailure()) {
            const auto kept = std::filesystem::temp_directory_path() / "karvo-dc-failed.dc";
            std::filesystem::copy_file(file, kept,
                                       std::filesystem::copy_options::overwrite_existing);
            ADD_FAILURE() << "the whole script is in " << kept.string();
        }
    }

    void compareMany(std::string (ScriptMaker::*make)(), int count, uint64_t seed) {
        ScriptMaker maker(seed);
        for (int i = 0; i < count && !HasFailure(); ++i)
            compare((maker.*make)());
    }

    TemporaryDirectory _dir;
    std::string _dcLink;
};

TEST_F(DcDifferential, Arithmetic) { compareMany(&ScriptMaker::arithmetic, 60, 1); }

TEST_F(DcDifferential, StackAndRegisters) { compareMany(&ScriptMaker::stackAndRegisters, 150, 2); }

TEST_F(DcDifferential, MacrosAndLoops) { compareMany(&ScriptMaker::macros, 80, 3); }

TEST_F(DcDifferential, InputAndOutputRadices) { compareMany(&ScriptMaker::radices, 60, 4); }

TEST_F(DcDifferential, Errors) { compareMany(&ScriptMaker::errors, 200, 5); }

TEST_F(DcDifferential, LineLengths) {
    const std::string script = "2 2000^ p _3 999^ p 20o 2 500^ p [text is never wrapped " +
                               std::string(100, 'x') + "] p\n";
    for (const char *length : {"70", "2", "3", "10", "0", "1", "-5", "abc", "0x20", "40 "})
        compare(script, {std::string("DC_LINE_LENGTH=") + length});
}

// Expressions, files and standard input run in dc's order, and a quit in one
// expression ends only that expression.
TEST_F(DcDifferential, ScriptsFromOptionsFilesAndStandardInput) {
    const std::string one = _dir.write("one.dc", "1 p [q]x 2 p\n");
    const std::string two = _dir.write("two.dc", "3 p ? p ? p 4 p\n");
    const std::string input = _dir.write("input", "5 p\n6\n");
    const std::vector<std::vector<std::string>> runs = {
        {"-e", "7p", one, "-e", "8p"},
        {"-f", two, "-e", "[q]x 9p", "-e", "10p"},
        {"--expression=11p", "--file", two, "-"},
        {"-e", "q", "-e", "12p"},
        {two},
        {"-e", "1 2", "-", "-e", "f"},
        {"missing.dc", "-e", "13p"},
    };
    for (const auto &args : runs) {
        std::vector<std::string> dcArgs{_dcLink}, karvoArgs{KARVO_CLI};
        dcArgs.insert(dcArgs.end(), args.begin(), args.end());
        karvoArgs.insert(karvoArgs.end(), args.begin(), args.end());
        const ProcessResult dc = runProcess(dcArgs, input);
        const ProcessResult karvo = runProcess(karvoArgs, input);
        EXPECT_EQ(karvo.out, dc.out) << args[0] << " " << args[1];
        EXPECT_EQ(karvo.err, dc.err) << args[0] << " " << args[1];
    }
}

} // namespace
