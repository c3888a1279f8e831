// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace zr8::cli_test {

Child::Child(const std::string& program, const std::vector<std::string>& arguments) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    fds_[0] = out[0];
    fds_[1] = err[0];
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (const int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

void Child::signal(int signalNumber) {
    if (pid_ > 0) ::kill(pid_, signalNumber);
}

void Child::collect(int waitMs) {
    std::string* texts[2] = {&ran_.out, &ran_.err};
    pollfd p[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    if (::poll(p, 2, waitMs) < 0) return;
    for (int i = 0; i < 2; ++i) {
        if (fds_[i] < 0 || p[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds_[i], buffer, sizeof buffer);
        if (n > 0) {
            texts[i]->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fds_[i]);
            fds_[i] = -1;
        }
    }
}

bool Child::waitForError(const std::string& text, std::chrono::seconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (ran_.err.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || fds_[1] < 0) return false;
        collect(static_cast<int>(left.count()));
    }
    return true;
}

Ran Child::finish(std::chrono::seconds deadline) {
    if (pid_ <= 0) return ran_;
    const auto until = std::chrono::steady_clock::now() + deadline;
    bool killed = false;
    while (fds_[0] >= 0 || fds_[1] >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !killed) {
            ::kill(pid_, SIGKILL);
            killed = true;
        }
        collect(killed ? 1000 : static_cast<int>(left.count()));
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
    pid_ = -1;
    ran_.exitCode = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ran_;
}

Ran run(const std::string& program, const std::vector<std::string>& arguments,
        std::chrono::seconds deadline) {
    Child child(program, arguments);
    return child.finish(deadline);
}

}  // namespace zr8::cli_test
