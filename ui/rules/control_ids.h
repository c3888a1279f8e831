// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control identifiers of the four dialogs. Every front end names its
// controls by these numbers (the Qt widgets as "IDC_<id>", the native
// templates as their control ids), so the rules can address a control
// without knowing the toolkit.

#include <array>

namespace zr8::rules {

namespace main_ids {
enum MainControl : int {
    IdAbout = 100,
    IdPortList = 110,
    IdBaud115200 = 111,
    IdConnect = 112,
    IdDisconnect = 113,
    IdStatusLine = 114,
    IdSecondStatus = 115,
    IdStop = 140,
    IdUp = 141,
    IdDown = 142,
    IdLeft = 143,
    IdRight = 144,
    IdSpeed = 145,
    IdEncoderFormat = 200,
    IdReadEncoders = 201,
    IdSetCalibration = 207,
    IdRaGearRatio = 300,
    IdRaMicrosteps = 301,
    IdRaReverseMotor = 302,
    IdRaBitsPerRev = 303,
    IdRaCountsPerRev = 304,
    IdRaReverseEncoder = 305,
    IdRaOffset = 306,
    IdDecGearRatio = 400,
    IdDecMicrosteps = 401,
    IdDecReverseMotor = 402,
    IdDecBitsPerRev = 403,
    IdDecCountsPerRev = 404,
    IdDecReverseEncoder = 405,
    IdDecOffset = 406,
    IdRaRaw = 503,
    IdRaArcsec = 504,
    IdRaDms = 505,
    IdDecRaw = 603,
    IdDecArcsec = 604,
    IdDecDms = 605,
    IdTrackOn = 810,
    IdTrackOff = 811,
    IdSaveSettings = 824,
};

// The controls that stay disabled until the first configuration arrives.
// clang-format off
inline constexpr std::array<int, 18> kControlList = {
    IdStop, IdUp, IdDown, IdLeft, IdRight, IdSpeed,
    IdRaReverseMotor, IdDecReverseMotor, IdRaReverseEncoder, IdDecReverseEncoder,
    IdRaOffset, IdDecOffset, IdEncoderFormat, IdReadEncoders, IdSetCalibration,
    IdTrackOn, IdTrackOff, IdSaveSettings,
};
// clang-format on

// The manual speed trackbar's steps and where it starts.
inline constexpr int kSpeedMax = 31;
inline constexpr int kSpeedStart = 10;
}  // namespace main_ids

namespace format_ids {
enum FormatControl : int {
    IdOk = 1,
    IdCancel = 2,
    IdRaInvert = 100,
    IdRaGray = 101,
    IdRaBitsPerRev = 103,
    IdRaBitsForRevs = 104,
    IdRaLeadingBits = 105,
    IdDecInvert = 110,
    IdDecGray = 111,
    IdDecBitsPerRev = 113,
    IdDecBitsForRevs = 114,
    IdDecLeadingBits = 115,
};
}  // namespace format_ids

namespace flip_ids {
enum FlipControl : int {
    IdClose = 2,  // Escape and the window's close command
    IdPresentState = 200,
    IdTargetState = 201,
    IdOptional = 202,
    IdCancelPositioning = 210,
    IdWithFlip = 211,
    IdWithoutFlip = 212,
};
}  // namespace flip_ids

namespace about_ids {
enum AboutControl : int {
    IdExit = 2,
    IdHeading = 100,
    IdPurpose = 101,
    IdCredit = 102,
    IdLink = 103,
};
}  // namespace about_ids

}  // namespace zr8::rules
