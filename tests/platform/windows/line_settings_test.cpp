// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/line_settings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zr8 {
namespace {

TEST(LineSettings, RawChangesWhatTheLinkNeedsAndNothingElse) {
    // As a driver may report it, with what other programs switch on.
    DCB found{};
    found.DCBlength = sizeof found;
    found.BaudRate = 4800;
    found.ByteSize = 7;
    found.Parity = EVENPARITY;
    found.StopBits = TWOSTOPBITS;
    found.fParity = found.fBinary = found.fOutxCtsFlow = found.fOutxDsrFlow = TRUE;
    found.fDsrSensitivity = found.fOutX = found.fInX = found.fErrorChar = TRUE;
    found.fNull = found.fAbortOnError = TRUE;
    found.fDtrControl = DTR_CONTROL_HANDSHAKE;
    found.fRtsControl = RTS_CONTROL_TOGGLE;
    found.XonLim = 100;
    found.ErrorChar = '?';
    found.XonChar = found.XoffChar = 0;  // equal: SetCommState would refuse the block

    DCB raw = found;
    makeRaw(raw, 115200);
    EXPECT_EQ(raw.BaudRate, 115200u);
    EXPECT_EQ(raw.ByteSize * 100 + raw.Parity * 10 + raw.StopBits, 800 + NOPARITY + ONESTOPBIT);
    EXPECT_EQ(raw.fParity | raw.fOutX | raw.fInX | raw.fNull | raw.fOutxCtsFlow | raw.fOutxDsrFlow |
                  raw.fDsrSensitivity | raw.fAbortOnError,
              0u);
    EXPECT_NE(raw.XonChar, raw.XoffChar);

    // Those put back, the block is the driver's to the bit: DTR, RTS, binary,
    // error replacement and the rest stay as reported.
    raw.BaudRate = found.BaudRate;
    raw.ByteSize = found.ByteSize;
    raw.Parity = found.Parity;
    raw.StopBits = found.StopBits;
    raw.fParity = raw.fOutX = raw.fInX = raw.fNull = raw.fOutxCtsFlow = TRUE;
    raw.fOutxDsrFlow = raw.fDsrSensitivity = raw.fAbortOnError = TRUE;
    raw.XonChar = raw.XoffChar = 0;
    EXPECT_EQ(std::memcmp(&raw, &found, sizeof raw), 0);
}

}  // namespace
}  // namespace zr8
