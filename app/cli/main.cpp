// karvo: a command-line calculator for integers of any size that speaks dc.
//   karvo [-e EXPR | --expression=EXPR] [-f FILE | --file=FILE] [FILE ...]
// The -e and -f options run in the order given, then the files named as
// arguments (as dc orders them); with none of them, standard input runs (with line editing and
// history when it is a terminal). The exit status is 1 when any command failed, 2 when a file could
// not be read.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "DcFormat.h"
#include "DcMachine.h"

namespace {

const char *const kUsage = "Usage: %s [OPTION] [file ...]\n"
                           "  -e, --expression=EXPR    evaluate expression\n"
                           "  -f, --file=FILE          evaluate contents of file\n"
                           "  -h, --help               display this help and exit\n"
                           "  -V, --version            output version information and exit\n";

struct Script {
    bool isFile;
    std::string text; // the expression, or the file's name ("-" for standard input)
};

std::string baseName(const char *path) {
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

} // namespace

int main(int argc, char **argv) {
    const std::string program = baseName(argc > 0 ? argv[0] : "karvo");
    std::vector<Script> scripts, files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *longName, char shortName, bool &isOption) -> const char * {
            isOption = true;
            const std::string longPrefix = std::string("--") + longName;
            if (arg == longPrefix || arg == std::string("-") + shortName)
                return i + 1 < argc ? argv[++i] : nullptr;
            if (arg.rfind(longPrefix + "=", 0) == 0)
                return argv[i] + longPrefix.size() + 1;
            if (arg.size() > 2 && arg[0] == '-' && arg[1] == shortName)
                return argv[i] + 2;
            isOption = false;
            return nullptr;
        };
        bool isOption = false;
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            files.push_back({true, arg});
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            std::printf(kUsage, program.c_str());
            return 0;
        }
        if (arg == "-V" || arg == "--version") {
            std::printf("%s (Karvo) 1.0\n", program.c_str());
            return 0;
        }
        if (const char *e = value("expression", 'e', isOption); isOption) {
            if (!e)
                break;
            scripts.push_back({false, e});
            continue;
        }
        if (const char *f = value("file", 'f', isOption); isOption) {
            if (!f)
                break;
            scripts.push_back({true, f});
            continue;
        }
        std::fprintf(stderr, "%s: invalid option -- '%s'\n", program.c_str(), arg.c_str() + 1);
        std::fprintf(stderr, kUsage, program.c_str());
        return 1;
    }

    scripts.insert(scripts.end(), files.begin(), files.end());
    bignum_init();
    DcFileInput standardInput(stdin);
    DcMachine machine(program, {stdout, stderr, &standardInput},
                      dcLineLength(std::getenv("DC_LINE_LENGTH")));
    bool going = true;
    int status = 0;
    for (size_t i = 0; going && i < scripts.size(); ++i) {
        const Script &script = scripts[i];
        if (!script.isFile) {
            going = machine.runText(script.text);
        } else if (script.text == "-") {
            going = machine.run(standardInput);
        } else if (std::FILE *file = std::fopen(script.text.c_str(), "rb")) {
            DcFileInput input(file);
            going = machine.run(input);
            std::fclose(file);
        } else {
            std::fprintf(stderr, "%s: Could not open file %s\n", program.c_str(),
                         script.text.c_str());
            status = 2;
        }
    }
    if (scripts.empty()) {
        if (isatty(STDIN_FILENO)) {
            const char *home = std::getenv("HOME");
            DcLineEditorInput terminal("> ", home ? std::string(home) + "/.karvo_history" : "");
            machine.run(terminal);
        } else {
            machine.run(standardInput);
        }
    }
    std::fflush(stdout);
    if (status == 0 && machine.errorSeen())
        status = 1;
    return status;
}
