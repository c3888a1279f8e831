// SPDX-License-Identifier: GPL-3.0-or-later
#include "mount/flip_policy.h"

#include "link/positioning.h"
#include "link/wire.h"

namespace zr8::mount {

uint16_t flipAnswer(FlipPolicy policy, int32_t flipCase) {
    const bool recommendedOnly = flipCase == FlipCaseWestNear || flipCase == FlipCaseEastNear;
    if (recommendedOnly && policy == FlipPolicy::StayWhenAllowed) return FlipChoiceWithoutFlip;
    return FlipChoiceWithFlip;
}

const char* flipPolicyName(FlipPolicy policy) {
    return policy == FlipPolicy::StayWhenAllowed ? "avoid" : "recommended";
}

std::optional<FlipPolicy> flipPolicyNamed(std::string_view name) {
    if (name == "recommended") return FlipPolicy::FlipWhenRecommended;
    if (name == "avoid") return FlipPolicy::StayWhenAllowed;
    return std::nullopt;
}

}  // namespace zr8::mount
