// SPDX-License-Identifier: GPL-3.0-or-later
// A COM port with overlapped I/O: the reader thread's reads and the
// worker's writes run at the same time on one handle, each with its own
// completion event, and each waits beside an event that cuts it short.
//
// No read or write outlives its call: one still pending when its wait ends
// is cancelled with CancelIoEx and awaited, so the caller's buffer, the
// OVERLAPPED on the stack and the event are never touched afterwards.
//
// Read time-outs: an interval of 1 ms and no total time-out. A read then
// waits for the first byte without limit and completes at the first pause
// after it, on Windows and on Wine alike. (Settings that differ: Wine does
// not return at once for MAXDWORD/0/0, waits for a full buffer under
// MAXDWORD/MAXDWORD/n, and fails a total time-out with no byte with
// ERROR_TIMEOUT where Windows succeeds with 0 bytes.) The reader does not
// wait for that pause, though: it asks for the bytes the driver holds, or
// for one when there are none and then for those that followed it, so a
// read ends as soon as bytes are there. The interval's timer would add up to
// a clock tick (15.6 ms on a stock Windows) to every reply.
#include "platform/serial_port.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <string>

#include "platform/windows/com_port_name.h"
#include "platform/windows/port_open_error.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/win_handle.h"

namespace zr8 {

namespace {

constexpr DWORD kDriverBuffer = 8192;
// A read that completed without a byte is unexpected under these time-outs;
// if a driver does it repeatedly, the reader asks again only this often.
constexpr int kEmptyReadPauseMs = 10;
// A read of bytes the driver holds already ends at once; should one not,
// it is given up after this long.
constexpr DWORD kWaitingReadLimitMs = 100;

// The line as the program needs it: 8N1, binary, no flow control of any
// kind, nothing replaced or dropped, and a line error must not abort I/O.
void makeRaw(DCB& dcb, uint32_t baudRate) {
    dcb.BaudRate = baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

// Bytes the driver holds, ready to be read; false once the driver no longer
// answers for the line (device removed).
bool bytesWaiting(HANDLE port, DWORD& count) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port, &errors, &status)) return false;
    count = status.cbInQue;
    return true;
}

// The size of the next read: what the driver holds already, or one byte when
// it holds none. Such a read ends as soon as its bytes are there; one asking
// for more would end only at the interval time-out, whose timer ticks in
// 15.6 ms steps on a stock Windows (about 1.2 ms under Wine).
DWORD nextReadSize(DWORD waiting, size_t capacity) {
    return static_cast<DWORD>(std::clamp<size_t>(waiting, 1, std::min<size_t>(capacity, MAXDWORD)));
}

// The ports this process has open, by upper-case path. Windows itself
// refuses a second open of a COM port; Wine does not, so the rule that a
// second open in this program is refused is kept here too.
struct OpenPorts {
    std::mutex lock;
    std::map<std::string, NativeHandle> byPath;
};

OpenPorts& openPorts() {
    static OpenPorts ports;
    return ports;
}

std::string portKey(std::string path) {
    for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return path;
}

// Takes `key` for a port about to be opened; false when it is open already.
bool reservePort(const std::string& key) {
    OpenPorts& ports = openPorts();
    std::lock_guard guard(ports.lock);
    return ports.byPath.emplace(key, kNoHandle).second;
}

void releasePort(const std::string& key) {
    OpenPorts& ports = openPorts();
    std::lock_guard guard(ports.lock);
    ports.byPath.erase(key);
}

void recordPort(const std::string& key, NativeHandle handle) {
    OpenPorts& ports = openPorts();
    std::lock_guard guard(ports.lock);
    ports.byPath[key] = handle;
}

void forgetPort(NativeHandle handle) {
    OpenPorts& ports = openPorts();
    std::lock_guard guard(ports.lock);
    for (auto entry = ports.byPath.begin(); entry != ports.byPath.end(); ++entry) {
        if (entry->second == handle) {
            ports.byPath.erase(entry);
            return;
        }
    }
}

// Reads `count` bytes the driver holds already; the bytes read. Such a read
// ends at once; a bounded wait all the same, and a cancel, so that it can
// never outlive the call.
size_t readWaiting(HANDLE port, HANDLE done, uint8_t* buffer, size_t count) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done;
    if (!::ReadFile(port, buffer, static_cast<DWORD>(count), nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return 0;
    }
    if (::WaitForSingleObject(done, kWaitingReadLimitMs) != WAIT_OBJECT_0) {
        ::CancelIoEx(port, &overlapped);
    }
    DWORD got = 0;
    ::GetOverlappedResult(port, &overlapped, &got, TRUE);
    return got;
}

}  // namespace

SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const char* device, uint32_t baudRate, PortError& error) {
    close();
    error = PortError{};
    const std::string typed = device != nullptr ? device : "";
    const std::string path = comDevicePath(typed);
    if (path.empty()) {
        describeOpenFailure(error, typed, ERROR_INVALID_NAME);
        return false;
    }
    const std::string key = portKey(path);
    if (!reservePort(key)) {
        describeOpenFailure(error, typed, ERROR_SHARING_VIOLATION);
        return false;
    }
    const HANDLE port =
        ::CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        describeOpenFailure(error, typed, ::GetLastError());
        releasePort(key);
        return false;
    }
    auto abandon = [&](PortErrorCode code, DWORD systemError, const char* remedy) {
        ::CloseHandle(port);
        releasePort(key);
        closeNativeHandle(readDone_);
        closeNativeHandle(writeDone_);
        describeOpenFailure(error, typed, systemError);
        error.code = code;
        error.remedy = remedy;
        return false;
    };

    // Anything with a name opens; a serial port is what has line settings.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(port, &dcb)) {
        return abandon(PortErrorCode::NotASerialDevice, ::GetLastError(),
                       "choose a serial port such as COM3");
    }
    makeRaw(dcb, baudRate);
    if (!::SetCommState(port, &dcb)) {
        return abandon(PortErrorCode::Other, ::GetLastError(), "choose 9600 or 115200 baud");
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    if (!::SetCommTimeouts(port, &timeouts)) {
        return abandon(PortErrorCode::Other, ::GetLastError(), "");
    }
    // Advice to the driver; one that keeps its own sizes works as well.
    ::SetupComm(port, kDriverBuffer, kDriverBuffer);
    ::PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR);

    readDone_ = fromHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    writeDone_ = fromHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (readDone_ == kNoHandle || writeDone_ == kNoHandle) {
        return abandon(PortErrorCode::Other, ::GetLastError(), "");
    }
    handle_ = fromHandle(port);
    recordPort(key, handle_);
    return true;
}

void SerialPort::close() {
    if (handle_ != kNoHandle) {
        // Output the driver still queues is left to go, for a while: a frame
        // written just before a disconnect must not be thrown away. What
        // cannot leave in time is purged with the unread input.
        const HANDLE port = toHandle(handle_);
        const ULONGLONG deadline = ::GetTickCount64() + kDrainOnCloseMs;
        COMSTAT status{};
        DWORD errors = 0;
        while (::ClearCommError(port, &errors, &status) && status.cbOutQue > 0 &&
               ::GetTickCount64() < deadline) {
            ::Sleep(1);
        }
        const DWORD unsent = status.cbOutQue > 0 ? PURGE_TXABORT | PURGE_TXCLEAR : 0;
        ::PurgeComm(port, unsent | PURGE_RXABORT | PURGE_RXCLEAR);
        forgetPort(handle_);
    }
    closeNativeHandle(handle_);
    closeNativeHandle(readDone_);
    closeNativeHandle(writeDone_);
}

bool SerialPort::write(const uint8_t* bytes, size_t count, int timeoutMs,
                       const WaitableEvent* giveUp) {
    if (handle_ == kNoHandle) return false;
    if (count == 0) return true;
    if (giveUp != nullptr && giveUp->isSet()) return false;
    const HANDLE port = toHandle(handle_);
    OVERLAPPED overlapped{};
    overlapped.hEvent = toHandle(writeDone_);
    if (!::WriteFile(port, bytes, static_cast<DWORD>(count), nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return false;  // the device is gone, or refuses
    }
    // Windows refuses a wait on the same handle twice (Wine does not).
    const HANDLE waits[2] = {overlapped.hEvent,
                             giveUp != nullptr ? toHandle(giveUp->nativeHandle()) : nullptr};
    const DWORD woke =
        ::WaitForMultipleObjects(giveUp != nullptr ? 2 : 1, waits, FALSE,
                                 timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (woke != WAIT_OBJECT_0) ::CancelIoEx(port, &overlapped);
    DWORD written = 0;
    const BOOL completed = ::GetOverlappedResult(port, &overlapped, &written, TRUE);
    return completed && written == count;
}

SerialPort::ReadOutcome SerialPort::readSome(uint8_t* buffer, size_t capacity, size_t& received,
                                             const WaitableEvent& stop) {
    received = 0;
    if (handle_ == kNoHandle || capacity == 0) return ReadOutcome::Lost;
    const HANDLE port = toHandle(handle_);
    for (;;) {
        if (stop.isSet()) return ReadOutcome::Stopped;
        DWORD waiting = 0;
        if (!bytesWaiting(port, waiting)) return ReadOutcome::Lost;
        const DWORD wanted = nextReadSize(waiting, capacity);
        OVERLAPPED overlapped{};
        overlapped.hEvent = toHandle(readDone_);
        DWORD failure = ERROR_SUCCESS;
        bool stopped = false;
        if (!::ReadFile(port, buffer, wanted, nullptr, &overlapped)) failure = ::GetLastError();
        if (failure == ERROR_IO_PENDING) {
            const HANDLE waits[2] = {overlapped.hEvent, toHandle(stop.nativeHandle())};
            const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0) {
                ::CancelIoEx(port, &overlapped);
                stopped = woke == WAIT_OBJECT_0 + 1;
            }
            failure = ERROR_SUCCESS;
        }
        DWORD got = 0;
        if (failure == ERROR_SUCCESS && !::GetOverlappedResult(port, &overlapped, &got, TRUE)) {
            failure = ::GetLastError();
        }
        // Bytes a late cancel did not stop are delivered, not dropped.
        if (got > 0) {
            received = got;
            // The first byte of a burst came alone; what followed it while
            // the read ended is there already and goes with it.
            if (wanted == 1 && !stopped && capacity > 1 && bytesWaiting(port, waiting) &&
                waiting > 0) {
                received += readWaiting(port, overlapped.hEvent, buffer + 1,
                                        std::min<size_t>(waiting, capacity - 1));
            }
            return ReadOutcome::Data;
        }
        if (stopped) return ReadOutcome::Stopped;
        if (failure == ERROR_SUCCESS || failure == ERROR_TIMEOUT) {
            // Nothing arrived (Wine reports a time-out as ERROR_TIMEOUT).
            if (!bytesWaiting(port, waiting)) return ReadOutcome::Lost;
            if (stop.wait(kEmptyReadPauseMs)) return ReadOutcome::Stopped;
            continue;
        }
        // Hung up (ERROR_BROKEN_PIPE), removed (ERROR_NOT_READY,
        // ERROR_DEVICE_REMOVED, ...) or aborted by someone else: the line is
        // gone for this handle, and asking again would only spin.
        return ReadOutcome::Lost;
    }
}

}  // namespace zr8
