// SPDX-License-Identifier: GPL-3.0-or-later
#include "process_run.h"

namespace zr8::cli_test {

namespace {

// As CommandLineToArgvW reads it back: quotes around, backslashes before a
// quote doubled.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

Child::Child(const std::wstring& program, const std::vector<std::string>& arguments) {
    ::InitializeCriticalSection(&lock_);
    std::wstring command = quoted(program);
    for (const std::string& a : arguments) command += L" " + quoted(wide(a));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE writes[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        ::CreatePipe(&reads_[i], &writes[i], &inherit, 0);
        ::SetHandleInformation(reads_[i], HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = writes[0];
    startup.hStdError = writes[1];
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process_)) {
        process_ = PROCESS_INFORMATION{};
    }
    ::CloseHandle(input);
    for (int i = 0; i < 2; ++i) {
        ::CloseHandle(writes[i]);
        readers_[i] = std::thread([this, i] {
            char buffer[4096];
            DWORD n = 0;
            while (::ReadFile(reads_[i], buffer, sizeof buffer, &n, nullptr) && n > 0) {
                ::EnterCriticalSection(&lock_);
                texts_[i].append(buffer, n);
                ::LeaveCriticalSection(&lock_);
            }
        });
    }
}

Child::~Child() {
    if (started() && ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.hProcess, 99);
        ::WaitForSingleObject(process_.hProcess, 10000);
    }
    for (std::thread& reader : readers_) {
        if (reader.joinable()) reader.join();
    }
    for (HANDLE read : reads_) ::CloseHandle(read);
    if (started()) {
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }
    ::DeleteCriticalSection(&lock_);
}

std::string Child::errorSoFar() {
    ::EnterCriticalSection(&lock_);
    std::string text = texts_[1];
    ::LeaveCriticalSection(&lock_);
    return text;
}

bool Child::waitForError(const std::string& text, std::chrono::seconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (errorSoFar().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > until) return false;
        // Another process writes it: looked at every few milliseconds.
        ::Sleep(10);
    }
    return true;
}

Ran Child::finish(std::chrono::seconds deadline) {
    Ran ran;
    if (!started()) return ran;
    const DWORD waited = ::WaitForSingleObject(
        process_.hProcess,
        static_cast<DWORD>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline).count()));
    if (waited == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(process_.hProcess, &code);
        ran.exitCode = static_cast<long>(code);
    } else {
        ::TerminateProcess(process_.hProcess, 99);
        ::WaitForSingleObject(process_.hProcess, 10000);
    }
    for (std::thread& reader : readers_) {
        if (reader.joinable()) reader.join();
    }
    ran.out = texts_[0];
    ran.err = texts_[1];
    return ran;
}

Ran run(const std::wstring& program, const std::vector<std::string>& arguments,
        std::chrono::seconds deadline) {
    Child child(program, arguments);
    return child.finish(deadline);
}

bool ownConsole() {
    // A process started without one (Wine's, under ctest) may still be
    // attached to a console it cannot signal: a new one, then.
    ::FreeConsole();
    if (!::AllocConsole()) return false;
    return ::SetConsoleCtrlHandler([](DWORD event) -> BOOL { return event == CTRL_C_EVENT; },
                                   TRUE) != FALSE;
}

bool sendCtrlC() { return ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE; }

}  // namespace zr8::cli_test
