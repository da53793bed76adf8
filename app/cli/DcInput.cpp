#include "DcInput.h"

#include <cstdlib>

#include <editline/readline.h>

std::optional<std::string> DcInput::readLine() {
    int c = get();
    if (c == EOF)
        return std::nullopt;
    std::string line;
    for (; c != EOF && c != '\n'; c = get())
        line.push_back(char(c));
    return line;
}

DcLineEditorInput::DcLineEditorInput(std::string prompt, std::string historyFile)
    : _prompt(std::move(prompt)), _historyFile(std::move(historyFile)) {
    using_history();
    if (!_historyFile.empty())
        read_history(_historyFile.c_str());
}

DcLineEditorInput::~DcLineEditorInput() {
    if (!_historyFile.empty())
        write_history(_historyFile.c_str());
}

bool DcLineEditorInput::fill() {
    if (_pos < _line.size())
        return true;
    if (_ended)
        return false;
    char *typed = readline(_prompt.c_str());
    if (typed == nullptr) {
        _ended = true;
        return false;
    }
    if (*typed != '\0')
        add_history(typed);
    _line.assign(typed);
    _line.push_back('\n');
    _pos = 0;
    std::free(typed);
    return true;
}

int DcLineEditorInput::get() { return fill() ? uint8_t(_line[_pos++]) : EOF; }

int DcLineEditorInput::peek() { return fill() ? uint8_t(_line[_pos]) : EOF; }
