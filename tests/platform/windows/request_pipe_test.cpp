// SPDX-License-Identifier: GPL-3.0-or-later
// The request pipe as Windows has it: a named pipe under the maker's name
// and the process id, read with waits that leave nothing pending.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/byte_pipe.h"
#include "platform/windows/pipe_name.h"

namespace zr8 {
namespace {

std::string pipeName(uint32_t processId, uint32_t sequence) {
    char name[kPipeNameCapacity];
    buildRequestPipeName(name, processId, sequence);
    return name;
}

TEST(RequestPipeName, MakerPrefixAndProcessIdLeastSignificantDigitFirst) {
    EXPECT_EQ(pipeName(0x00001A2C, 0), "\\\\.\\Pipe\\velmora_encoder_test_C2A10000");
    EXPECT_EQ(pipeName(0x0000BEEF, 0), "\\\\.\\Pipe\\velmora_encoder_test_FEEB0000");
    EXPECT_EQ(pipeName(0x0000BEEF, 2), "\\\\.\\Pipe\\velmora_encoder_test_FEEB0000_20000000");
}

// What CreateFile says of a pipe name: ERROR_PIPE_BUSY while our pipe holds
// it (its one instance is connected), ERROR_FILE_NOT_FOUND once it is gone.
DWORD openError(const std::string& name) {
    const HANDLE handle =
        ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
    ::CloseHandle(handle);
    return ERROR_SUCCESS;
}

TEST(RequestPipe, TakesTheProcessNameAndGivesItBack) {
    const std::string name = pipeName(::GetCurrentProcessId(), 0);
    {
        BytePipe pipe;
        ASSERT_TRUE(pipe.valid());
        EXPECT_EQ(openError(name), static_cast<DWORD>(ERROR_PIPE_BUSY));
        BytePipe second;  // the name is taken: it gets the next one
        ASSERT_TRUE(second.valid());
        EXPECT_EQ(openError(pipeName(::GetCurrentProcessId(), 1)),
                  static_cast<DWORD>(ERROR_PIPE_BUSY));
    }
    EXPECT_EQ(openError(name), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    BytePipe again;  // the process's only pipe has the plain name again
    EXPECT_EQ(openError(name), static_cast<DWORD>(ERROR_PIPE_BUSY));
}

// The worker's 300 ms wait: it ends empty-handed, and the read it started is
// gone with it, so bytes written afterwards reach the next read whole.
TEST(RequestPipe, AReadThatTimedOutLeavesNothingPending) {
    BytePipe pipe;
    WaitableEvent quit;
    uint8_t buffer[20];
    size_t received = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(pipe.read(buffer, sizeof buffer, received, quit, 300),
              BytePipe::ReadOutcome::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));

    const uint8_t request[] = {0x82, 0x0B, 0x00};
    ASSERT_TRUE(pipe.write(request, sizeof request));
    uint8_t next[20] = {};
    ASSERT_EQ(pipe.read(next, sizeof next, received, quit, 1000), BytePipe::ReadOutcome::Data);
    EXPECT_EQ(std::vector<uint8_t>(next, next + received),
              std::vector<uint8_t>(request, request + 3));
}

}  // namespace
}  // namespace zr8
