// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/line_settings.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zr8 {
namespace {

// A block as a driver may report it, with what other programs switch on.
DCB reported() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 4800;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fParity = TRUE;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fDsrSensitivity = TRUE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    dcb.fErrorChar = TRUE;
    dcb.fNull = TRUE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fAbortOnError = TRUE;
    dcb.XonLim = 100;
    dcb.XoffLim = 200;
    dcb.XonChar = dcb.XoffChar = 0;  // equal: SetCommState would refuse the block
    dcb.ErrorChar = '?';
    dcb.EofChar = 0x1A;
    dcb.EvtChar = '\n';
    return dcb;
}

TEST(LineSettings, RawChangesWhatTheLinkNeedsAndNothingElse) {
    const DCB found = reported();
    DCB raw = found;
    makeRaw(raw, 115200);
    EXPECT_EQ(raw.BaudRate, 115200u);
    EXPECT_EQ(raw.ByteSize, 8);
    EXPECT_EQ(raw.Parity, NOPARITY);
    EXPECT_EQ(raw.StopBits, ONESTOPBIT);
    EXPECT_EQ(raw.fParity | raw.fOutX | raw.fInX | raw.fNull | raw.fOutxCtsFlow | raw.fOutxDsrFlow |
                  raw.fDsrSensitivity | raw.fAbortOnError,
              0u);
    EXPECT_NE(raw.XonChar, raw.XoffChar);

    // Those put back, the block is the driver's to the bit.
    raw.BaudRate = found.BaudRate;
    raw.ByteSize = found.ByteSize;
    raw.Parity = found.Parity;
    raw.StopBits = found.StopBits;
    raw.fParity = found.fParity;
    raw.fOutX = found.fOutX;
    raw.fInX = found.fInX;
    raw.fNull = found.fNull;
    raw.fOutxCtsFlow = found.fOutxCtsFlow;
    raw.fOutxDsrFlow = found.fOutxDsrFlow;
    raw.fDsrSensitivity = found.fDsrSensitivity;
    raw.fAbortOnError = found.fAbortOnError;
    raw.XonChar = found.XonChar;
    raw.XoffChar = found.XoffChar;
    EXPECT_EQ(std::memcmp(&raw, &found, sizeof raw), 0)
        << "DTR, RTS, binary, error replacement and the rest stay as reported";
}

TEST(LineSettings, DistinctXonAndXoffAreKept) {
    DCB dcb = reported();
    dcb.XonChar = 0x01;
    dcb.XoffChar = 0x02;
    makeRaw(dcb, 9600);
    EXPECT_EQ(dcb.XonChar, 0x01);
    EXPECT_EQ(dcb.XoffChar, 0x02);
}

}  // namespace
}  // namespace zr8
