// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/pipe_name.h"

#include "text/text_format.h"

namespace zr8 {

uint32_t buildRequestPipeName(char* buffer, uint32_t processId, uint32_t sequence) {
    uint32_t at = appendText(buffer, 0, kPipeNameCapacity, "\\\\.\\Pipe\\velmora_encoder_test_");
    at = appendHexReversed(buffer, at, kPipeNameCapacity, processId);
    if (sequence != 0) {
        at = appendText(buffer, at, kPipeNameCapacity, "_");
        at = appendHexReversed(buffer, at, kPipeNameCapacity, sequence);
    }
    return at;
}

}  // namespace zr8
