// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/port_open_error.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace zr8 {

namespace {

struct Reason {
    PortErrorCode code;
    const char* remedy;
};

Reason reasonFor(uint32_t systemError) {
    switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return {PortErrorCode::NotFound,
                "check that the adapter is plugged in, find its COM number in Device Manager "
                "(Ports), and install the adapter's driver if it is not listed there"};
    // A COM port admits one program at a time: the system answers a
    // second open with "access denied". A second open inside this
    // program is refused as a sharing violation (serial_port.cpp).
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return {PortErrorCode::Busy,
                "another program has the port open; close it (or its connection) and "
                "connect again"};
    case ERROR_PRIVILEGE_NOT_HELD:
        return {PortErrorCode::PermissionDenied,
                "ask an administrator to grant you access to the port"};
    // Opened, but it is not a serial port: it has no line settings.
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_BAD_DEVICE:
        return {PortErrorCode::NotASerialDevice, "choose a serial port such as COM3"};
    default:
        return {PortErrorCode::Other, ""};
    }
}

}  // namespace

void describeOpenFailure(PortError& error, const std::string& device, uint32_t systemError) {
    const Reason reason = reasonFor(systemError);
    error.code = reason.code;
    error.device = device;
    error.systemMessage = systemErrorText(systemError);
    error.remedy = reason.remedy;
}

std::string systemErrorText(uint32_t systemError) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, systemError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = utf8FromWide(text, length);
    if (text != nullptr) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) message = "System error " + std::to_string(systemError);
    return message;
}

}  // namespace zr8
