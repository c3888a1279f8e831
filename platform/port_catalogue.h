#pragma once
// The ports the operator can connect to, each under a one-byte number that
// the connect request carries: the serial devices present, device paths the
// operator entered, and the built-in simulated controller. What is listed
// here is what connect opens.
//
// Numbers: 1..255, handed out in order of first sight and kept for the life
// of the catalogue, so a number chosen from the list still names the same
// device after a refresh. 0 names nothing. A device that went away keeps its
// number; opening it then fails with NotFound.
//
// Threads: every operation may be called from any thread. The GUI lists and
// adds; the link's worker resolves numbers and records open errors. The
// simulator starter runs on the caller of resolve(), without the lock held.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_scan.h"
#include "platform/port_error.h"

namespace zr8 {

enum class PortKind { Detected, Entered, Simulator };

struct PortEntry {
    uint8_t number = 0;
    PortKind kind = PortKind::Detected;
    std::string devicePath;   // empty for the simulator
    std::string description;  // e.g. "FT232R USB UART (FTDI)"; may be empty

    // What a list shows: "/dev/ttyUSB0 - FT232R USB UART (FTDI)".
    std::string label() const;
};

class PortCatalogue {
public:
    // Starts (or finds running) the simulated controller and gives the
    // device path to open, or false and a reason.
    using SimulatorStarter = std::function<bool(std::string& devicePath, std::string& error)>;
    using DeviceScanner = std::function<std::vector<DetectedDevice>()>;

    static constexpr const char* kSimulatorDescription = "Simulated ZR8 (built in)";

    // Scans once at construction.
    explicit PortCatalogue(DeviceScanner scanner = scanSerialDevices);

    // Adds the simulator entry (once; later calls replace the starter).
    void setSimulator(SimulatorStarter starter,
                      std::string description = kSimulatorDescription);

    // Scans the system's devices again.
    void refresh();

    // Adds a path the operator entered and returns its number; the number it
    // already has when listed. 0 when the path is empty or no number is free.
    uint8_t addDevicePath(const std::string& path);

    // Detected devices present, then entered paths, then the simulator.
    std::vector<PortEntry> entries() const;

    // The device `number` stands for. For the simulator entry this starts
    // the simulator. False, with `error` filled, when there is none.
    bool resolve(uint8_t number, std::string& devicePath, PortError& error) const;

    // The last failure to open a port; code None after a successful open.
    void recordOpenResult(const PortError& error);
    PortError lastError() const;

private:
    struct Slot {
        PortKind kind;
        std::string path;
        std::string description;
        bool present;
    };

    uint8_t assignLocked(PortKind kind, const std::string& path, const std::string& description);

    DeviceScanner scanner_;
    mutable std::mutex lock_;
    std::map<uint8_t, Slot> slots_;
    SimulatorStarter simulator_;
    uint8_t simulatorNumber_ = 0;
    PortError lastError_;
};

}  // namespace zr8
