// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fixed texts that every front end shows the same way: the main window's
// caption, the About box and the maker's web address.

#include <string>

namespace zr8::rules {

// Shown in the main window's caption and opened from the About box.
inline constexpr const char* kMakerWebAddress = "https://velmora.example/zr8";

inline std::string mainDialogCaption() {
    return std::string("ZR8 Encoder setup 1.1. (") + kMakerWebAddress + ")";
}

inline constexpr const char* kAboutCaption = "ZR8-Encoder setup";
inline constexpr const char* kAboutHeading = "ZR8-Encoder setup";
inline constexpr const char* kAboutPurpose = "Configurating absolute encoders for ZR8";
inline constexpr const char* kAboutCredit = "Free software by the zr8-setup developers.";

}  // namespace zr8::rules
