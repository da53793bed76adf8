// The interpreter in-process: the commands karvo adds to dc's, what it does
// where dc would compute with fractions, the library's limits, and macros
// deep enough to need constant space.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "DcFormat.h"
#include "DcMachine.h"
#include "process.h"

namespace {

// The library's shared constants, which the engine's operations read.
struct LibraryEnvironment : ::testing::Environment {
    void SetUp() override { bignum_init(); }
};
const auto *const kLibrary = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

std::string readAll(std::FILE *file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    return text;
}

struct Outcome {
    std::string out, err;
    bool errorSeen = false;
};

// Runs `script` as an expression, with `input` as what `?` reads.
Outcome run(const std::string &script, const std::string &input = "") {
    std::FILE *out = std::tmpfile(), *err = std::tmpfile(), *in = std::tmpfile();
    std::fputs(input.c_str(), in);
    std::rewind(in);
    DcFileInput lines(in);
    Outcome result;
    {
        DcMachine machine("karvo", {out, err, &lines}, 70);
        machine.runText(script);
        result.errorSeen = machine.errorSeen();
    }
    result.out = readAll(out);
    result.err = readAll(err);
    for (std::FILE *f : {out, err, in})
        std::fclose(f);
    return result;
}

TEST(DcOwnCommands, GcdInverseRootAndFactorial) {
    EXPECT_EQ(run("12 _18 g p 3 7 m p _3 7 m p 1000 3 V p _8 3 V p 20 y p").out,
              "6\n5\n2\n10\n-2\n2432902008176640000\n");
    // 10^40 + 1 is prime to 10^20: its inverse is 1 (10^40 = 0 mod 10^20).
    EXPECT_EQ(run("10 40^ 1 + 10 20^ m p").out, "1\n");
}

TEST(DcOwnCommands, RefusalsLeaveTheStackAsItWas) {
    const Outcome r = run("4 8 m 27 0 V _4 2 V _1 y f");
    EXPECT_EQ(r.err, "karvo: no inverse modulo the top: the gcd is 4\n"
                     "karvo: degree must be at least 1\n"
                     "karvo: even root of a negative number\n"
                     "karvo: factorial of a negative number\n");
    EXPECT_EQ(r.out, "-1\n2\n-4\n0\n27\n8\n4\n");
    EXPECT_TRUE(r.errorSeen);
}

TEST(DcIntegersOnly, FractionsAndScalesAreRefusedWithAMessage) {
    const Outcome r = run("1.5 5. . 3k K f");
    EXPECT_EQ(r.err,
              "karvo: fractional numbers are not supported: karvo computes with "
              "integers only\n"
              "karvo: a scale above 0 is not supported: karvo computes with integers only\n");
    EXPECT_EQ(r.out, "0\n0\n5\n");
}

TEST(DcLimits, ResultsOverTheLimitAreRefusedAndTheStackKept) {
    Outcome r = run("2 3400000^ f");
    EXPECT_EQ(r.err, "karvo: result of 106251 words exceeds max of 100000\n");
    EXPECT_EQ(r.out, "3400000\n2\n");
    r = run(std::string(970000, '9') + " z p");
    EXPECT_EQ(r.err, "karvo: result of 100696 words exceeds max of 100000\n");
    EXPECT_EQ(r.out, "0\n");
}

TEST(DcLimits, TheLargestNumbersStillWork) {
    // 10^963000 - 1 has 963000 nines and fits in 100000 words.
    const Outcome r = run("10 963000^ 1 - d Z p sx 10 ~ f");
    EXPECT_EQ(r.err, "");
    const std::string nines = std::string(962999, '9');
    std::string wrapped;
    for (size_t at = 0; at < nines.size(); at += 69)
        wrapped += (at ? "\\\n" : "") + nines.substr(at, 69);
    EXPECT_EQ(r.out, "963000\n9\n" + wrapped + "\n");
}

TEST(DcMacros, LongLoopsRunInConstantSpace) {
    // 300000 iterations through a tail call, and a recursion 100000 deep.
    EXPECT_EQ(run("0 si [li 1 + d si 300000 >a] sa la x li p").out, "300000\n");
    EXPECT_EQ(run("[d 1 - d 0 <f +] sf 100000 lf x p").out, "5000050000\n");
}

TEST(DcOutput, RadicesAboveThirtySixAndLineLengths) {
    EXPECT_EQ(run("1000o 123456789 p _1000000 p 0 p 65536o 65536 p").out,
              " 123 456 789\n- 001 000 000\n0\n 00001 00000\n");
    EXPECT_EQ(dcLineLength(nullptr), 70);
    EXPECT_EQ(dcLineLength("40"), 40);
    EXPECT_EQ(dcLineLength("0x10 "), 16);
    EXPECT_EQ(dcLineLength(""), 0);
    EXPECT_EQ(dcLineLength("1"), 70);
    EXPECT_EQ(dcLineLength("10x"), 70);
    EXPECT_EQ(dcLineLength("99999999999999999999"), 70);
}

TEST(DcInput, QuestionMarkRunsTheNextLineOfInput) {
    EXPECT_EQ(run("? p ? p ? p", "6 7 *\n[x]\n").out, "42\nx\nx\n");
}

// Bytes of any value, a stack ten thousand deep and unknown commands go
// through without a crash, each refusal with its message.
TEST(DcInput, HostileInputIsRefusedCommandByCommand) {
    std::string noise;
    for (int c = 0; c < 256; ++c)
        if (c != '!' && c != '?' && c != 'q' && c != 'Q' && c != '[' && c != '#')
            noise.push_back(char(c));
    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += "1 ";
    const Outcome r = run(noise + noise + " c " + many + "z p " + std::string(10000, 'd') +
                          " z p c 1 " + many.substr(0, 2000) + std::string(1000, '+') + " f");
    EXPECT_NE(r.err.find("karvo: stack empty"), std::string::npos);
    EXPECT_NE(r.out.find("'w' (0167) unimplemented\n"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 18), "\n10000\n20001\n1001\n");
}

TEST(DcProgram, ExitStatusSaysWhetherACommandFailed) {
#ifdef KARVO_CLI
    TemporaryDirectory dir;
    EXPECT_EQ(runProcess({KARVO_CLI, "-e", "1 2 + p"}).status, 0);
    EXPECT_EQ(runProcess({KARVO_CLI, "-e", "1 0 / p"}).status, 1);
    EXPECT_EQ(runProcess({KARVO_CLI, "-e", "q 1 0 /"}).status, 0);
    EXPECT_EQ(runProcess({KARVO_CLI, dir.path() + "/missing"}).status, 2);
    const ProcessResult help = runProcess({KARVO_CLI, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--expression=EXPR"), std::string::npos);
#endif
}

} // namespace
