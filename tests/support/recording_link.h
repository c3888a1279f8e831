// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A link that records every request as "name arguments", oldest first, and
// sends nothing anywhere: what the dialogs asked for is what it holds.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "link/zr6_control.h"

namespace zr8::test {

class RecordingLink : public iZR6Control {
public:
    void onHeartBeat() override {}
    void connect(uint8_t port, uint32_t baud) override { record("connect", {port, baud}); }
    void disconnect() override { record("disconnect", {}); }
    void storeSettings() override { record("storeSettings", {}); }
    void manualMove(uint8_t direction, uint8_t speed) override {
        record("manualMove", {direction, speed});
    }
    void stopMotion(uint8_t selector) override { record("stopMotion", {selector}); }
    void setTracking(uint8_t on) override { record("setTracking", {on}); }
    void pierSideMove(uint8_t selector) override { record("pierSideMove", {selector}); }
    void gotoPosition(int32_t ra, int32_t dec) override { record("gotoPosition", {ra, dec}); }
    void meridianFlipChoice(uint16_t choice) override { record("meridianFlipChoice", {choice}); }
    void setMotorReverse(uint8_t bits, uint8_t option) override {
        record("setMotorReverse", {bits, option});
    }
    void setEncoderFormat(const uint8_t (&f)[8]) override {
        record("setEncoderFormat", {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
    }
    void setEncoderCalibration(uint8_t bits, int32_t ra, int32_t dec) override {
        record("setEncoderCalibration", {bits, ra, dec});
    }
    void readEncoders(uint8_t selector) override { record("readEncoders", {selector}); }
    void readEncodersQuiet(uint8_t p) override { record("readEncodersQuiet", {p}); }
    void sendReserved(uint32_t a, uint32_t b) override { record("sendReserved", {a, b}); }
    void readAxisPositions() override { record("readAxisPositions", {}); }
    void syncPosition(int32_t ra, int32_t dec) override { record("syncPosition", {ra, dec}); }
    void abortMotion() override { record("abortMotion", {}); }
    void setPierSide(uint8_t side) override { record("setPierSide", {side}); }

    std::vector<std::string> calls;

private:
    void record(const char* name, std::initializer_list<int64_t> arguments) {
        std::string text = name;
        for (int64_t a : arguments) text += " " + std::to_string(a);
        calls.push_back(text);
    }
};

}  // namespace zr8::test
