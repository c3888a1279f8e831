// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ports the operator can connect to, each under a one-byte number that
// the connect request carries: the serial devices present, device paths the
// operator entered, and entries the program provides itself (a device made
// on demand, such as a stand-in for a controller). What is listed here is
// what connect opens.
//
// Numbers: 1..255, kept for the life of the catalogue, so a number chosen
// from the list still names the same device after a refresh. A port the
// system numbers itself (COM3 on Windows, detected or typed) gets that
// number while it is free; the others are handed out lowest free first, in
// order of first sight. 0 names nothing. A device that went away keeps its
// number; opening it then fails with NotFound.
//
// Threads: every operation may be called from any thread. The front end
// lists and adds; the link's worker resolves numbers. A provided entry's
// starter runs on the caller of resolve(), without the lock held.
//
// A provided entry gives either a device to open (a pseudo-terminal that a
// stand-in serves) or, where the system has none, a stream that serves the
// line inside this process.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/byte_stream.h"
#include "platform/device_scan.h"
#include "platform/port_error.h"

namespace zr8 {

enum class PortKind { Detected, Entered, Provided };

struct PortEntry {
    uint8_t number = 0;
    PortKind kind = PortKind::Detected;
    std::string devicePath;   // empty for a provided entry until it is started
    std::string description;  // e.g. "FT232R USB UART (FTDI)"; a provided entry's name

    // What a list shows: "/dev/ttyUSB0 - FT232R USB UART (FTDI)".
    std::string label() const;
};

class PortCatalogue {
public:
    // Makes (or finds made) a provided entry's device and gives the path to
    // open, or false and a reason.
    using Starter = std::function<bool(std::string& devicePath, std::string& error)>;
    // Gives an open stream to use as the line, or null and a reason.
    using StreamStarter = std::function<std::shared_ptr<iByteStream>(std::string& error)>;
    using DeviceScanner = std::function<std::vector<DetectedDevice>()>;

    // Scans once at construction.
    explicit PortCatalogue(DeviceScanner scanner = scanSerialDevices);

    // Adds an entry listed under `name` after all others and returns its
    // number. Adding the same name again replaces the starter and keeps the
    // number.
    uint8_t addProvided(const std::string& name, Starter starter);
    // The same for an entry served in this process.
    uint8_t addProvidedStream(const std::string& name, StreamStarter starter);

    // Scans the system's devices again.
    void refresh();

    // Adds a path the operator entered, under the name typedPortName() gives
    // it ("21" is COM21 on Windows), and returns its number; the number it
    // already has when listed. 0 when the path is empty or no number is free.
    uint8_t addDevicePath(const std::string& path);

    // Detected devices present, then entered paths, then provided entries;
    // within each group in natural order of path (ttyUSB2 before ttyUSB10).
    std::vector<PortEntry> entries() const;

    // The entry `number` stands for and the device to open; for a provided
    // entry this runs its starter. False, with `error` filled, when there is
    // none.
    bool resolve(uint8_t number, PortEntry& entry, std::string& devicePath, PortError& error) const;
    // The same, where a provided entry may give a stream instead of a
    // device: then `stream` is set and `devicePath` empty.
    bool resolve(uint8_t number, PortEntry& entry, std::string& devicePath,
                 std::shared_ptr<iByteStream>& stream, PortError& error) const;

private:
    struct Slot {
        PortKind kind;
        std::string path;
        std::string description;
        uint8_t systemNumber;  // the system's number for the port, 0 for none
        bool present;
        Starter starter;
    };

    uint8_t assignLocked(PortKind kind, const std::string& path, const std::string& description,
                         uint8_t systemNumber);

    DeviceScanner scanner_;
    mutable std::mutex lock_;
    std::map<uint8_t, Slot> slots_;
    std::map<uint8_t, StreamStarter> streamStarters_;
};

}  // namespace zr8
