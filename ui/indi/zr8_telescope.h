// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// indi_zr8_telescope: the ZR8 as an INDI mount, device "ZR8". A front end
// over the mount layer: the session checks and sends, the link reports, and
// this class turns both into the standard telescope properties and the
// "ZR8 setup" tab.
//
// Threads: INDI is single-threaded. Everything here runs on the INDI event
// loop; the link's threads only wake it through the event pipe.

#include <libindi/inditelescope.h>

#include <memory>

#include "mount/running_mount.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/indi/event_pipe.h"
#include "ui/indi/port_settings.h"
#include "ui/indi/setup_tab.h"

namespace zr8::indi {

class Zr8Telescope final : public INDI::Telescope {
public:
    Zr8Telescope();
    ~Zr8Telescope() override;

    const char* getDefaultName() override { return "ZR8"; }
    bool initProperties() override;
    bool updateProperties() override;
    void ISGetProperties(const char* dev) override;
    bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                     int n) override;
    bool ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                     int n) override;
    bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;
    void TimerHit() override;

protected:
    bool ReadScopeStatus() override { return true; }  // the link reports by itself
    bool Goto(double ra, double dec) override;
    bool Sync(double ra, double dec) override;
    bool Abort() override;
    bool MoveNS(INDI_DIR_NS dir, TelescopeMotionCommand command) override;
    bool MoveWE(INDI_DIR_WE dir, TelescopeMotionCommand command) override;
    bool SetSlewRate(int index) override;
    bool SetTrackEnabled(bool enabled) override;
    bool updateTime(ln_date* utc, double utcOffset) override;
    bool updateLocation(double latitude, double longitude, double elevation) override;
    bool saveConfigItems(FILE* fp) override;

private:
    void startConnect();
    void serviceMount();
    void onStatus(int32_t code);
    void onLine(const mount::MountState& state);
    void onConfigured(const mount::MountState& state);
    void lostOrClosed(int32_t code);
    void publishPosition(IPState state);
    void publishPierSide(int32_t pierState);
    void slewEnded(int32_t code);
    void afterSlew();
    bool move(uint8_t direction, TelescopeMotionCommand command);
    bool refuse(INumberVectorProperty& property, const char* why);

    PortCatalogue ports_{PortCatalogue::DeviceScanner{}};
    sim::BuiltInSimulator simulator_;
    uint8_t simulatorNumber_ = 0;
    std::unique_ptr<EventPipe> events_;
    std::unique_ptr<mount::RunningMount> mount_;
    SetupTab setup_;
    mount::MountState state_;

    PortSettings portSettings_;
    INDI::PropertySwitch flipSP_{2};

    bool connecting_ = false;
    bool defined_ = false;       // the connected properties are defined
    bool slewFollowed_ = false;  // a goto of ours runs until the session says it ended
    int pollTimer_ = -1;
    bool trackAfterSlew_ = true;  // ON_COORD_SET: TRACK, else SLEW stops tracking
    int slewRate_ = 0;
};

}  // namespace zr8::indi
