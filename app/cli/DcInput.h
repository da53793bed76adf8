// Where dc commands come from: a script held in memory (an -e expression or
// a macro), a file read as it goes, or the terminal through a line editor.
// Reading as it goes matters: `?` takes the next line of standard input, which
// may be the very input the commands come from.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

class DcInput {
  public:
    virtual ~DcInput() = default;
    // The next byte (0 to 255), or EOF at the end.
    virtual int get() = 0;
    virtual int peek() = 0;
    // The rest of the current line without its line break; nothing at the end.
    std::optional<std::string> readLine();
};

class DcTextInput : public DcInput {
  public:
    explicit DcTextInput(std::shared_ptr<const std::string> text) : _text(std::move(text)) {}
    int get() override { return _pos < _text->size() ? uint8_t((*_text)[_pos++]) : EOF; }
    int peek() override { return _pos < _text->size() ? uint8_t((*_text)[_pos]) : EOF; }

  private:
    std::shared_ptr<const std::string> _text;
    size_t _pos = 0;
};

// Reads a stream the caller keeps open.
class DcFileInput : public DcInput {
  public:
    explicit DcFileInput(std::FILE *file) : _file(file) {}
    int get() override { return std::getc(_file); }
    int peek() override {
        const int c = std::getc(_file);
        if (c != EOF)
            std::ungetc(c, _file);
        return c;
    }

  private:
    std::FILE *_file;
};

// Lines typed at a terminal, with editing and a history kept in `historyFile`
// (none when empty).
class DcLineEditorInput : public DcInput {
  public:
    DcLineEditorInput(std::string prompt, std::string historyFile);
    ~DcLineEditorInput() override;
    int get() override;
    int peek() override;

  private:
    bool fill();
    std::string _prompt, _historyFile, _line;
    size_t _pos = 0;
    bool _ended = false;
};
