// SPDX-License-Identifier: GPL-3.0-or-later
// close_when_shown: sees from outside when a program's main window is up and
// closes it as the user would. For start-up measurements and tests; never
// installed or shipped.
//
//   close_when_shown CAPTION-PREFIX [PROGRAM [ARGS...]]
//
// It writes "watching" once it is ready to look, so a caller that starts the
// measured program itself leaves this program's own start out of its figures.
// Then it waits for a visible top-level window whose caption starts with
// CAPTION-PREFIX (of any process; with PROGRAM, which it starts itself, of
// that process only), writes "shown", posts WM_CLOSE to it, waits for the
// window's process to end and writes "exited CODE". Exit code 0 when the
// window was shown and its process then ended with 0; 1 otherwise; 2 for
// bad use.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr DWORD kShowTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 30000;
// How often the top-level windows are looked through: the error of the
// reported time, for a few per cent of one core (most of it in Wine's
// server). Wine delivers no window events of other processes to watch
// instead.
constexpr DWORD kLookEveryMs = 1;

struct Wanted {
    std::wstring_view captionPrefix;
    DWORD pid = 0;  // 0: any process
    HWND found = nullptr;
};
Wanted wanted;

bool isWanted(HWND window) {
    if (!::IsWindowVisible(window) || ::GetAncestor(window, GA_ROOT) != window) return false;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (wanted.pid != 0 && pid != wanted.pid) return false;
    // Read from the window manager's copy for another process's window: no
    // message is sent, so a busy program cannot hold this one up.
    wchar_t caption[256] = {};
    const int length = ::GetWindowTextW(window, caption, 256);
    return std::wstring_view(caption, static_cast<size_t>(length))
        .starts_with(wanted.captionPrefix);
}

void look() {
    ::EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            if (!isWanted(window)) return TRUE;
            wanted.found = window;
            return FALSE;
        },
        0);
}

void say(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Under Wine a Unix path names the program as well as a Windows one.
std::wstring windowsPath(const wchar_t* path) {
    using ToDos = LPWSTR(CDECL*)(LPCSTR);
    const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (path[0] != L'/' || toDos == nullptr) return path;
    char unixPath[MAX_PATH * 3] = {};
    const int converted =
        ::WideCharToMultiByte(CP_UTF8, 0, path, -1, unixPath, sizeof unixPath, nullptr, nullptr);
    LPWSTR dos = converted != 0 ? toDos(unixPath) : nullptr;
    if (dos == nullptr) return path;
    std::wstring windows = dos;
    ::HeapFree(::GetProcessHeap(), 0, dos);
    return windows;
}

// One argument as the C runtime's parser reads it back.
void appendQuoted(std::wstring& line, std::wstring_view argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
        line += argument;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

double msSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// Waits for the wanted window; with `started`, gives up as soon as that
// process has ended.
bool awaitWindow(HANDLE started) {
    const ULONGLONG deadline = ::GetTickCount64() + kShowTimeoutMs;
    for (;;) {
        look();
        if (wanted.found != nullptr) return true;
        if (::GetTickCount64() >= deadline) return false;
        if (started == nullptr) {
            ::Sleep(kLookEveryMs);
        } else if (::WaitForSingleObject(started, kLookEveryMs) == WAIT_OBJECT_0) {
            return false;
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc < 2 || argv[1][0] == L'\0') {
        std::fputs("usage: close_when_shown CAPTION-PREFIX [PROGRAM [ARGS...]]\n", stderr);
        return 2;
    }
    wanted.captionPrefix = argv[1];

    PROCESS_INFORMATION started{};
    LARGE_INTEGER startedAt{};
    if (argc > 2) {
        std::wstring line;
        appendQuoted(line, windowsPath(argv[2]));
        for (int i = 3; i < argc; ++i) appendQuoted(line, argv[i]);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ::QueryPerformanceCounter(&startedAt);
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &started)) {
            std::fprintf(stderr, "close_when_shown: cannot start %ls (error %lu)\n", line.c_str(),
                         ::GetLastError());
            return 1;
        }
        ::CloseHandle(started.hThread);
        wanted.pid = started.dwProcessId;
    }

    say("watching");
    const bool shown = awaitWindow(started.hProcess);

    DWORD code = 1;
    if (!shown) {
        if (started.hProcess != nullptr &&
            ::WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(started.hProcess, &code);
            std::fprintf(stderr,
                         "close_when_shown: the program ended with %lu before its window showed\n",
                         code);
        } else {
            std::fprintf(stderr, "close_when_shown: no window \"%ls...\" within %lu s\n", argv[1],
                         kShowTimeoutMs / 1000);
        }
        if (started.hProcess != nullptr) ::TerminateProcess(started.hProcess, 1);
        return 1;
    }
    if (started.hProcess != nullptr) {
        std::printf("shown %.1f ms after the start\n", msSince(startedAt));
        std::fflush(stdout);
    } else {
        say("shown");
    }

    // The process is held before the close, so its exit code stays readable.
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wanted.found, &pid);
    HANDLE process =
        started.hProcess != nullptr
            ? started.hProcess
            : ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    ::PostMessageW(wanted.found, WM_CLOSE, 0, 0);
    if (process == nullptr) {
        std::fprintf(stderr, "close_when_shown: cannot follow process %lu\n", pid);
        return 1;
    }
    if (::WaitForSingleObject(process, kExitTimeoutMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "close_when_shown: still running %lu s after the close\n",
                     kExitTimeoutMs / 1000);
        if (process == started.hProcess) ::TerminateProcess(process, 1);  // ours to end
        ::CloseHandle(process);
        return 1;
    }
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    std::printf("exited %lu\n", code);
    std::fflush(stdout);
    return code == 0 ? 0 : 1;
}
