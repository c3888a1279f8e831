// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a program as a child process with its output captured, and lets a
// test signal it while it runs. Every wait has a deadline.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zr8::cli_test {

struct Ran {
    int exitCode = -1;  // -1: did not exit by itself (killed at the deadline)
    std::string out;
    std::string err;
};

class Child {
public:
    // Starts `program` with `arguments`; standard input is /dev/null.
    Child(const std::string& program, const std::vector<std::string>& arguments);
    ~Child();  // kills a child still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int signalNumber);
    // Collects the output until standard error holds `text` (true) or the
    // deadline passes or the child has closed it (false).
    bool waitForError(const std::string& text, std::chrono::seconds deadline);
    // Collects the output until the child has exited; kills it at the deadline.
    Ran finish(std::chrono::seconds deadline = std::chrono::seconds(60));

private:
    // Reads what is there within `waitMs` (-1: until something comes).
    void collect(int waitMs);

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};  // standard output and error
    Ran ran_;
};

Ran run(const std::string& program, const std::vector<std::string>& arguments,
        std::chrono::seconds deadline = std::chrono::seconds(60));

}  // namespace zr8::cli_test
