// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// AppModel: the hand-over point between the controller link and the dialogs.
//
// Threads. The link calls the iNotificationListener operations and
// localSiderealTime on its worker thread. Everything else (dispatch, connect,
// the published records, the wiring setters) belongs to the user-interface
// thread.
//
// Data. A notification stores its record in the live copy under `lock_` and
// posts only (code, argument) through the sink. dispatch, on the
// user-interface thread, copies live into published under the lock and then
// calls the dialog. The dialogs read the published copies without a lock
// because nothing else writes them. Nothing is called while the lock is held.
//
// Wiring. Start-up owns the link, the sink and the callback; the model never
// deletes them. A null sink drops the post (the data stays live), a null
// callback drops the dialog call (the data is still published).

#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/notification_listener.h"
#include "link/records.h"
#include "link/sky_clock.h"

namespace zr8 {

class iZR6Control;
class iWMUserSender;
class iMainDlgCallback;

enum NotificationCode : int32_t {
    NotifyStatus = 10,
    NotifyConfiguration = 11,
    NotifyMeridianFlip = 12,
    NotifyPositions = 13,
    // Not one of the four the dialog protocol started with, and kept apart
    // from their neighbours, which stay unused: the serial line changed.
    NotifyConnection = 20,
};

class AppModel final : public iNotificationListener, public iSkyClock {
public:
    static constexpr double kDefaultLongitude = 19.5;  // degrees, east positive

    AppModel();
    ~AppModel() override = default;
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // Wiring, on the main thread before the dialog runs (callback also after).
    void setLink(iZR6Control* link) { link_ = link; }
    void setSink(iWMUserSender* sink) { sink_.store(sink, std::memory_order_release); }
    void setCallback(iMainDlgCallback* callback) { callback_ = callback; }

    // iNotificationListener, on a link thread.
    void onStatus(int32_t statusCode) override;
    void onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                         const EncoderConfig& encoder) override;
    void onMeridianFlipQuery(int32_t flipCase) override;
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const EncoderPositions& positions) override;
    void onConnection(const ConnectionInfo& connection) override;

    // iSkyClock: local mean sidereal time in hours, not reduced into 0..24.
    // Reads only the longitude, which never changes, so it takes no lock.
    long double localSiderealTime() const override;

    // User-interface thread.
    void connect(int32_t portNumber, int32_t baudRate);
    void dispatch(int32_t code, int32_t argument);

    const MountConfig& mountConfig() const { return publishedMount_; }
    const EncoderConfig& encoderConfig() const { return publishedEncoder_; }
    const EncoderPositions& positions() const { return publishedPositions_; }
    const ConnectionInfo& connection() const { return publishedConnection_; }
    int32_t extra() const { return publishedExtra_; }
    double longitude() const { return longitude_; }

    // The encoder data format dialog's write access: takes the eight format
    // bytes of `edited` into the published record, nothing else.
    void storeFormatBytes(const EncoderConfig& edited);

private:
    void post(int32_t code, int32_t argument);
    // Runs `copy` (live records into published ones) under `lock_`, which
    // the link's thread holds while it writes the live ones.
    template <typename Copy>
    void publish(Copy copy) {
        std::lock_guard<std::mutex> guard(lock_);
        copy();
    }

    std::mutex lock_;
    iZR6Control* link_ = nullptr;
    MountConfig liveMount_{};
    EncoderConfig liveEncoder_{};
    EncoderPositions livePositions_{};
    int32_t liveExtra_ = 0;
    ConnectionInfo liveConnection_{};
    std::atomic<iWMUserSender*> sink_{nullptr};
    iMainDlgCallback* callback_ = nullptr;
    const double longitude_ = kDefaultLongitude;
    MountConfig publishedMount_{};
    EncoderConfig publishedEncoder_{};
    EncoderPositions publishedPositions_{};
    int32_t publishedExtra_ = 0;
    ConnectionInfo publishedConnection_{};
};

}  // namespace zr8
