// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/request_pipe.h"

#include "link/request_message.h"

namespace zr8 {

bool RequestPipe::post(const uint8_t* message, size_t length, const WaitableEvent* giveUp) {
    std::unique_lock<std::mutex> guard(lock_, std::defer_lock);
    if (giveUp == nullptr) {
        guard.lock();
    } else {
        // Waiting on the event between tries ends the wait at once when it
        // is set.
        while (!guard.try_lock()) {
            if (giveUp->wait(kGiveUpCheckMs)) return false;
        }
    }
    return pipe_.write(message, length, giveUp);
}

bool RequestPipe::postSerialData(const uint8_t* bytes, size_t count, const WaitableEvent* giveUp) {
    uint8_t message[kMessageCapacity];
    while (count > 0) {
        const size_t length = buildSerialDataMessage(message, bytes, count);
        if (length < 2 || !post(message, length, giveUp)) return false;
        bytes += length - 1;
        count -= length - 1;
    }
    return true;
}

}  // namespace zr8
