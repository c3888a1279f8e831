// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/line_settings.h"

namespace zr8 {

namespace {

constexpr char kXon = 0x11;   // DC1
constexpr char kXoff = 0x13;  // DC3

}  // namespace

void makeRaw(DCB& dcb, uint32_t baudRate) {
    // The line's format: the rate asked for, 8 data bits, no parity, one stop bit.
    dcb.BaudRate = baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fParity = FALSE;
    // Frames carry every byte value: with XON/XOFF on, 0x11 and 0x13 in a
    // reply would be taken out of it (and one would pause our sending), and
    // with null stripping on every 0x00 would be dropped.
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    // The controller's line has no handshake wires to rely on: waiting for
    // CTS or DSR before sending, or dropping what arrives while DSR is low,
    // would leave a plain three-wire line silent.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    // With abort-on-error one framing or overrun error (noise, a wrong rate)
    // fails every read and write until it is cleared, which the reader would
    // take for the device going away.
    dcb.fAbortOnError = FALSE;
    // SetCommState refuses a block whose two characters are equal, as some
    // drivers report them; with XON/XOFF off their values do not matter.
    if (dcb.XonChar == dcb.XoffChar) {
        dcb.XonChar = kXon;
        dcb.XoffChar = kXoff;
    }
}

}  // namespace zr8
