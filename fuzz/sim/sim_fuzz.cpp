// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes on the simulator's line, with time passing between them.
// Whatever comes in, every reply must be a well-formed frame answering the
// command it was given, and the mount must stay finite.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "sim/controller.h"
#include "sim/frame_codec.h"

namespace {

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zr8::sim;
    SimConfig config;
    if (size > 0) {
        // The first byte picks a few settings that change the arithmetic.
        config.settings.raFormat.bitsPerRev = static_cast<uint8_t>(data[0] * 7);
        config.settings.ra.speedFactor = static_cast<uint16_t>(data[0] & 0x0F);
        config.settings.dec.baseSpeed = data[0] & 0x10 ? 0 : 1000;
        config.settings.dec.microstepResolution = data[0] & 0x20 ? 0 : 1728000;
    }
    Controller controller(config);
    FrameDecoder decoder;
    ReplyFrame reply;
    SimTime now{0};
    for (size_t i = 1; i < size; ++i) {
        now += std::chrono::milliseconds(data[i] & 0x3F);
        if (decoder.feed(data[i]) != FrameDecoder::Result::Frame) continue;
        const auto frame = decoder.frame();
        FUZZ_CHECK(frame.size() >= 3 && frame[0] == kCommandStart && frame[1] + 2u == frame.size());
        if (controller.handleFrame(frame, now, reply)) {
            FUZZ_CHECK(reply.size >= 3 && reply.bytes[0] == kReplyStart &&
                       reply.bytes[1] + 2u == reply.size);
            FUZZ_CHECK(reply.bytes[2] == frame[2]);
        }
        const MountSnapshot s = controller.snapshot(now);
        FUZZ_CHECK(std::isfinite(s.ra.state.shaft) && std::isfinite(s.dec.state.shaft));
    }
    return 0;
}
