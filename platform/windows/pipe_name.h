// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The name of the link's request pipe: "\\.\Pipe\velmora_encoder_test_"
// and the process id as eight hex digits, least significant first (process
// 0x00001A2C: "...test_C2A10000"). A process that holds more than one pipe
// (test programs do) gives the later ones "_" and their sequence number in
// the same digits, since a pipe name can only be taken once.

#include <cstdint>

namespace zr8 {

inline constexpr uint32_t kPipeNameCapacity = 256;

// Writes the name into `buffer` (kPipeNameCapacity bytes); sequence 0 is the
// first pipe of the process. Returns the position of the terminating NUL.
uint32_t buildRequestPipeName(char* buffer, uint32_t processId, uint32_t sequence);

}  // namespace zr8
