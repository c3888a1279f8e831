// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_model.h"

#include "app/main_dlg_callback.h"
#include "app/sky_time.h"
#include "app/wm_user_sender.h"
#include "link/zr6_control.h"

namespace zr8 {

AppModel::AppModel() : publishedEncoder_(initialEncoderFormat()) {}

void AppModel::post(int32_t code, int32_t argument) {
    if (iWMUserSender* sink = sink_.load(std::memory_order_acquire)) {
        sink->postUserMessage(code, argument);
    }
}

void AppModel::onStatus(int32_t statusCode) { post(NotifyStatus, statusCode); }

void AppModel::onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                               const EncoderConfig& encoder) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        liveMount_ = mount;
        liveEncoder_ = encoder;
        liveExtra_ = extra;
    }
    post(NotifyConfiguration, statusCode);
}

void AppModel::onMeridianFlipQuery(int32_t flipCase) { post(NotifyMeridianFlip, flipCase); }

void AppModel::onPositions(const EncoderPositions& positions) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        livePositions_ = positions;
    }
    post(NotifyPositions, 0);
}

void AppModel::onConnection(const ConnectionInfo& connection) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        liveConnection_ = connection;
    }
    post(NotifyConnection, static_cast<int32_t>(connection.state));
}

long double AppModel::localSiderealTime() const {
    return localSiderealTimeAt(currentUtcTime(), longitude_);
}

void AppModel::connect(int32_t portNumber, int32_t baudRate) {
    if (link_ == nullptr) return;
    // The link keeps the low 8 bits of the port number.
    link_->connect(static_cast<uint8_t>(portNumber), static_cast<uint32_t>(baudRate));
}

void AppModel::dispatch(int32_t code, int32_t argument) {
    switch (code) {
    case NotifyStatus:
        if (callback_ != nullptr) callback_->showStatus(argument);
        break;
    case NotifyConfiguration:
        publish([this] {
            publishedMount_ = liveMount_;
            publishedEncoder_ = liveEncoder_;
            publishedExtra_ = liveExtra_;
        });
        if (callback_ != nullptr) callback_->showConfiguration(argument, publishedExtra_);
        break;
    case NotifyMeridianFlip:
        if (callback_ != nullptr) callback_->askMeridianFlip(argument);
        break;
    case NotifyPositions:
        publish([this] { publishedPositions_ = livePositions_; });
        if (callback_ != nullptr) callback_->showPositions(publishedPositions_);
        break;
    case NotifyConnection:
        publish([this] { publishedConnection_ = liveConnection_; });
        if (callback_ != nullptr) callback_->showConnection(publishedConnection_);
        break;
    default:
        break;
    }
}

void AppModel::storeFormatBytes(const EncoderConfig& edited) {
    copyFormatBytes(publishedEncoder_, edited);
}

}  // namespace zr8
