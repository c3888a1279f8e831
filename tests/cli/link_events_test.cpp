// SPDX-License-Identifier: GPL-3.0-or-later
// What ends a wait of zr8ctl's: a failure ends it as failed, whatever was
// wanted, so a goto whose slew the link stopped at its time limit fails.
#include <gtest/gtest.h>

#include <chrono>

#include "link/status_codes.h"
#include "ui/cli/link_events.h"

namespace zr8::cli {
namespace {

TEST(LinkEventsWait, EndsFailedOnAFailureAndDoneOnTheWantedStatus) {
    struct Case {
        int32_t status;
        WaitEnd end;
    };
    const Case cases[] = {
        {StatusReady, WaitEnd::Wanted},
        {StatusSlewOverdue, WaitEnd::Failed},
        {StatusConnectionLost, WaitEnd::Failed},
        {StatusCommunicationError, WaitEnd::Failed},
    };
    for (const Case& c : cases) {
        LinkEvents events;
        const EventMark from = events.mark();
        events.onStatus(StatusPositioning);
        events.onStatus(c.status);
        const WaitResult r = events.waitFor(from, {StatusReady}, LinkEvents::Record::None,
                                            std::chrono::steady_clock::now());
        EXPECT_EQ(r.end, c.end) << c.status;
        if (c.end == WaitEnd::Failed) {
            EXPECT_EQ(r.status, c.status);
        }
    }
}

}  // namespace
}  // namespace zr8::cli
