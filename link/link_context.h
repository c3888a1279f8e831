// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the rooms of the link's logic share: the outside world (listener,
// transport, sky clock), the sequencing state and the link's own copy of the
// controller's configuration. LinkEngine owns it; only the worker thread
// touches it.

#include "link/link_state.h"
#include "link/link_transport.h"
#include "link/notification_listener.h"
#include "link/records.h"
#include "link/sky_clock.h"

namespace zr8 {

struct LinkContext {
    LinkContext(iNotificationListener& listener, iLinkTransport& transport, const iSkyClock& clock)
        : listener(listener), transport(transport), clock(clock) {}
    LinkContext(const LinkContext&) = delete;
    LinkContext& operator=(const LinkContext&) = delete;

    iNotificationListener& listener;
    iLinkTransport& transport;
    const iSkyClock& clock;

    Sequencer seq;
    MountConfig mount;
    EncoderConfig encoder;
};

}  // namespace zr8
