#include "link/request_pipe.h"

#include <chrono>

namespace zr8 {

bool RequestPipe::post(const uint8_t* message, size_t length, const WaitableEvent* giveUp) {
    std::unique_lock<std::timed_mutex> guard(lock_, std::defer_lock);
    if (giveUp == nullptr) {
        guard.lock();
    } else {
        while (!guard.try_lock_for(std::chrono::milliseconds(kGiveUpCheckMs))) {
            if (giveUp->isSet()) return false;
        }
    }
    return pipe_.write(message, length, giveUp);
}

}  // namespace zr8
