// Runs a program to its end with its input from a file (or /dev/null) and
// collects what it wrote and how it ended.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    std::string out, err;
    int status = -1; // the exit status, or -1 when it did not exit normally
};

ProcessResult runProcess(const std::vector<std::string> &argv, const std::string &inputFile = "",
                         const std::vector<std::string> &extraEnvironment = {});

// A fresh directory under the system's temporary folder, removed with its files.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;
    const std::string &path() const { return _path; }
    std::string write(const std::string &name, const std::string &content) const;

  private:
    std::string _path;
};
