// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a front end without an operator at hand answers the link's meridian
// flip question. A needed flip (cases 1, 4, 5) is always answered with the
// flip; a recommended one (2, 3) as the policy says. Pure, any thread.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zr8::mount {

enum class FlipPolicy : uint8_t {
    FlipWhenRecommended,  // the default
    StayWhenAllowed,      // stay on this side unless a flip is needed
};

// The choice to send back (1 without flip, 2 with flip) for a flip case.
uint16_t flipAnswer(FlipPolicy policy, int32_t flipCase);

// "recommended" and "avoid", as command lines spell the policies.
const char* flipPolicyName(FlipPolicy policy);
std::optional<FlipPolicy> flipPolicyNamed(std::string_view name);

}  // namespace zr8::mount
