// SPDX-License-Identifier: GPL-3.0-or-later
// A COM port with overlapped I/O: the reader thread's reads and the
// worker's writes run at the same time on one handle, each with its own
// completion event, and each waits beside an event that cuts it short.
//
// No read or write outlives its call: one still pending when its wait ends
// is cancelled with CancelIoEx and awaited. Transfers use the port's own
// OVERLAPPED, event and bytes (OverlappedTransfer), never the caller's, so
// that one whose driver does not complete the cancel can be left to it after
// a bounded wait instead of holding up Disconnect or the program's end.
//
// The line's device control block and time-outs as open found them are put
// back by close: the driver keeps them for the next program.
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
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/windows/com_port_name.h"
#include "platform/windows/line_settings.h"
#include "platform/windows/line_status.h"
#include "platform/windows/overlapped_transfer.h"
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

// Reads `count` bytes the driver holds already into `to`; the bytes read.
// Such a read ends at once; a bounded wait all the same, and a cancel, so
// that it can never outlive the call.
size_t readWaiting(HANDLE port, OverlappedTransfer*& transfer, uint8_t* to, size_t count) {
    count = std::min(count, OverlappedTransfer::kCapacity);
    if (!::ReadFile(port, transfer->bytes(), static_cast<DWORD>(count), nullptr,
                    transfer->start()) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return 0;
    }
    ::WaitForSingleObject(transfer->done(), kWaitingReadLimitMs);
    DWORD got = 0;
    DWORD failure = ERROR_SUCCESS;
    if (!endTransfer(port, transfer, got, failure)) return 0;
    std::memcpy(to, transfer->bytes(), got);
    return got;
}

}  // namespace

struct SerialPort::SystemState {
    // As open found the line; put back by close.
    DCB foundState{};
    COMMTIMEOUTS foundTimeouts{};
    bool timeoutsFound = false;
    bool changed = false;
    // Null once a transfer was left to its driver; open makes a new one.
    OverlappedTransfer* reading = nullptr;
    OverlappedTransfer* writing = nullptr;

    ~SystemState() {
        OverlappedTransfer::free(reading);
        OverlappedTransfer::free(writing);
    }

    // Fails harmlessly on a device that went away.
    void putBack(HANDLE port) {
        ::SetCommState(port, &foundState);
        if (timeoutsFound) ::SetCommTimeouts(port, &foundTimeouts);
        changed = false;
    }
};

SerialPort::SerialPort() = default;
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
    if (!system_) system_ = std::make_unique<SystemState>();
    SystemState& state = *system_;
    state.changed = false;
    auto abandon = [&](PortErrorCode code, DWORD systemError, std::string reason,
                       const char* remedy) {
        if (state.changed) state.putBack(port);
        ::CloseHandle(port);
        releasePort(key);
        describeOpenFailure(error, typed, systemError);
        error.code = code;
        if (!reason.empty()) error.systemMessage = reason + ": " + error.systemMessage;
        error.remedy = remedy;
        return false;
    };

    // Anything with a name opens; a serial port is what has line settings.
    state.foundState = DCB{};
    state.foundState.DCBlength = sizeof(DCB);
    if (!::GetCommState(port, &state.foundState)) {
        return abandon(PortErrorCode::NotASerialDevice, ::GetLastError(), "",
                       "choose a serial port such as COM3");
    }
    state.timeoutsFound = ::GetCommTimeouts(port, &state.foundTimeouts) != FALSE;
    DCB dcb = state.foundState;
    makeRaw(dcb, baudRate);
    if (!::SetCommState(port, &dcb)) {
        const std::string refused =
            "The driver refused 8N1 at " + std::to_string(baudRate) + " baud";
        return abandon(PortErrorCode::Other, ::GetLastError(), refused,
                       baudRate != 9600 ? "try 9600 baud; if the driver refuses that too, "
                                          "update the adapter's driver"
                                        : "update the adapter's driver or use another adapter");
    }
    state.changed = true;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 1;
    if (!::SetCommTimeouts(port, &timeouts)) {
        return abandon(PortErrorCode::Other, ::GetLastError(), "The driver refused the time-outs",
                       "");
    }
    // Advice to the driver; one that keeps its own sizes works as well.
    ::SetupComm(port, kDriverBuffer, kDriverBuffer);
    ::PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR);

    if (state.reading == nullptr) state.reading = OverlappedTransfer::make();
    if (state.writing == nullptr) state.writing = OverlappedTransfer::make();
    if (state.reading == nullptr || state.writing == nullptr) {
        return abandon(PortErrorCode::Other, ::GetLastError(), "", "");
    }
    handle_ = fromHandle(port);
    recordPort(key, handle_);
    return true;
}

void SerialPort::close() {
    if (handle_ == kNoHandle) return;
    // Output the driver still queues is left to go, for a while: a frame
    // written just before a disconnect must not be thrown away. What cannot
    // leave in time is purged with the unread input.
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
    // The driver keeps the settings for whoever opens the port next.
    if (system_ && system_->changed) system_->putBack(port);
    forgetPort(handle_);
    closeNativeHandle(handle_);
}

bool SerialPort::write(const uint8_t* bytes, size_t count, int timeoutMs,
                       const WaitableEvent* giveUp) {
    if (handle_ == kNoHandle || system_->writing == nullptr) return false;
    const HANDLE port = toHandle(handle_);
    const ULONGLONG started = ::GetTickCount64();
    // In pieces the size of the transfer's bytes; frames fit one.
    for (size_t sent = 0; sent < count;) {
        if (giveUp != nullptr && giveUp->isSet()) return false;
        OverlappedTransfer*& writing = system_->writing;
        const size_t piece = std::min(count - sent, OverlappedTransfer::kCapacity);
        std::memcpy(writing->bytes(), bytes + sent, piece);
        if (!::WriteFile(port, writing->bytes(), static_cast<DWORD>(piece), nullptr,
                         writing->start()) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            return false;  // the device is gone, or refuses
        }
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            const ULONGLONG spent = ::GetTickCount64() - started;
            wait = spent >= static_cast<ULONGLONG>(timeoutMs)
                       ? 0
                       : static_cast<DWORD>(static_cast<ULONGLONG>(timeoutMs) - spent);
        }
        // Windows refuses a wait on the same handle twice (Wine does not).
        const HANDLE waits[2] = {writing->done(),
                                 giveUp != nullptr ? toHandle(giveUp->nativeHandle()) : nullptr};
        ::WaitForMultipleObjects(giveUp != nullptr ? 2 : 1, waits, FALSE, wait);
        DWORD written = 0;
        DWORD failure = ERROR_SUCCESS;
        if (!endTransfer(port, writing, written, failure)) return false;
        if (failure != ERROR_SUCCESS || written != piece) return false;
        sent += piece;
    }
    return true;
}

SerialPort::ReadOutcome SerialPort::readSome(uint8_t* buffer, size_t capacity, size_t& received,
                                             const WaitableEvent& stop) {
    received = 0;
    if (handle_ == kNoHandle || capacity == 0 || system_->reading == nullptr) {
        return ReadOutcome::Lost;
    }
    const HANDLE port = toHandle(handle_);
    capacity = std::min(capacity, OverlappedTransfer::kCapacity);
    for (;;) {
        if (stop.isSet()) return ReadOutcome::Stopped;
        DWORD waiting = 0;
        const InputQueue queue = bytesWaiting(port, waiting);
        if (queue == InputQueue::Gone) return ReadOutcome::Lost;
        // A driver that cannot say what it holds: the interval time-out ends
        // a read of a whole slice at the first pause.
        const DWORD wanted = queue == InputQueue::Known ? nextReadSize(waiting, capacity)
                                                        : static_cast<DWORD>(capacity);
        OverlappedTransfer*& reading = system_->reading;
        DWORD failure = ERROR_SUCCESS;
        bool stopped = false;
        if (!::ReadFile(port, reading->bytes(), wanted, nullptr, reading->start())) {
            failure = ::GetLastError();
        }
        DWORD got = 0;
        if (failure == ERROR_SUCCESS || failure == ERROR_IO_PENDING) {
            if (failure == ERROR_IO_PENDING) {
                const HANDLE waits[2] = {reading->done(), toHandle(stop.nativeHandle())};
                const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
                stopped = woke == WAIT_OBJECT_0 + 1;
            }
            // A read the driver keeps after its cancel is left to it; the
            // line cannot be read any more then.
            if (!endTransfer(port, reading, got, failure)) {
                return stopped ? ReadOutcome::Stopped : ReadOutcome::Lost;
            }
        }
        // Bytes a late cancel did not stop are delivered, not dropped.
        if (got > 0) {
            std::memcpy(buffer, reading->bytes(), got);
            received = got;
            // The first byte of a burst came alone; what followed it while
            // the read ended is there already and goes with it.
            if (wanted == 1 && !stopped && capacity > 1 &&
                bytesWaiting(port, waiting) == InputQueue::Known && waiting > 0) {
                received +=
                    readWaiting(port, reading, buffer + 1, std::min<size_t>(waiting, capacity - 1));
            }
            return ReadOutcome::Data;
        }
        if (stopped) return ReadOutcome::Stopped;
        if (failure == ERROR_SUCCESS || failure == ERROR_TIMEOUT) {
            // Nothing arrived (Wine reports a time-out as ERROR_TIMEOUT).
            if (bytesWaiting(port, waiting) == InputQueue::Gone) return ReadOutcome::Lost;
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
