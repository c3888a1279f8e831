// SPDX-License-Identifier: GPL-3.0-or-later
// indi_zr8_telescope: libindidriver runs the event loop and hands every
// client message to the device made here.

#include <memory>

#include "ui/indi/zr8_telescope.h"

namespace {
const std::unique_ptr<zr8::indi::Zr8Telescope> telescope =
    std::make_unique<zr8::indi::Zr8Telescope>();
}  // namespace
