// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a Windows program as a child process with its output captured, by a
// wide command line, and can send Ctrl-C to it through the console they
// share. Every wait has a deadline.

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace zr8::cli_test {

struct Ran {
    long exitCode = -1;  // -1: did not exit by itself (ended at the deadline)
    std::string out;     // as the program wrote it: UTF-8
    std::string err;
};

class Child {
public:
    // Starts `program` with `arguments` (UTF-8, quoted as CommandLineToArgvW
    // reads them); standard input is empty.
    Child(const std::wstring& program, const std::vector<std::string>& arguments);
    ~Child();  // ends a child still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    // Until standard error holds `text` (true), or the deadline (false).
    bool waitForError(const std::string& text, std::chrono::seconds deadline);
    // Until the child has ended; ended at the deadline.
    Ran finish(std::chrono::seconds deadline = std::chrono::seconds(60));

private:
    std::string errorSoFar();

    PROCESS_INFORMATION process_{};
    HANDLE reads_[2] = {nullptr, nullptr};
    std::thread readers_[2];
    std::string texts_[2];
    CRITICAL_SECTION lock_;
};

Ran run(const std::wstring& program, const std::vector<std::string>& arguments,
        std::chrono::seconds deadline = std::chrono::seconds(60));

// Gives this process a console of its own, which children started later
// share, and keeps Ctrl-C on it from ending this process. Once per process.
bool ownConsole();
// Ctrl-C to every process on this process's console.
bool sendCtrlC();

std::wstring wide(const std::string& utf8);

}  // namespace zr8::cli_test
