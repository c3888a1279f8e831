// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link as the session sees it, with one gate: an answer to a meridian
// flip question goes through only while a slew of ours waits for it. A
// question asked for a slew that was aborted since would otherwise be
// answered, and the mount would start the aborted slew after all.
//
// Threads: called where the session's commands are called, under the
// telescope's lock, which also guards `open`.

#include "link/zr6_control.h"

namespace zr8::alpaca {

class FlipGate final : public iZR6Control {
public:
    explicit FlipGate(iZR6Control& link) : link_(link) {}

    bool open = false;

    void meridianFlipChoice(uint16_t choice) override {
        if (open) link_.meridianFlipChoice(choice);
    }

    void onHeartBeat() override { link_.onHeartBeat(); }
    void connect(uint8_t port, uint32_t baud) override { link_.connect(port, baud); }
    void disconnect() override { link_.disconnect(); }
    void storeSettings() override { link_.storeSettings(); }
    void manualMove(uint8_t direction, uint8_t step) override { link_.manualMove(direction, step); }
    void stopMotion(uint8_t selector) override { link_.stopMotion(selector); }
    void setTracking(uint8_t on) override { link_.setTracking(on); }
    void pierSideMove(uint8_t selector) override { link_.pierSideMove(selector); }
    void gotoPosition(int32_t ra, int32_t dec) override { link_.gotoPosition(ra, dec); }
    void setMotorReverse(uint8_t bits, uint8_t option) override {
        link_.setMotorReverse(bits, option);
    }
    void setEncoderFormat(const uint8_t (&format)[8]) override { link_.setEncoderFormat(format); }
    void setEncoderCalibration(uint8_t bits, int32_t ra, int32_t dec) override {
        link_.setEncoderCalibration(bits, ra, dec);
    }
    void readEncoders(uint8_t selector) override { link_.readEncoders(selector); }
    void readEncodersQuiet(uint8_t parameter) override { link_.readEncodersQuiet(parameter); }
    void sendReserved(uint32_t a, uint32_t b) override { link_.sendReserved(a, b); }
    void readAxisPositions() override { link_.readAxisPositions(); }
    void syncPosition(int32_t ra, int32_t dec) override { link_.syncPosition(ra, dec); }
    void abortMotion() override { link_.abortMotion(); }
    void setPierSide(uint8_t pierState) override { link_.setPierSide(pierState); }

private:
    iZR6Control& link_;
};

}  // namespace zr8::alpaca
