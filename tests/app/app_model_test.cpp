// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_model.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "app/main_dlg_callback.h"
#include "app/sky_time.h"
#include "app/wm_user_sender.h"
#include "link/zr6_control.h"
#include "tests/support/recording_link.h"

namespace zr8 {
namespace {

class RecordingSink : public iWMUserSender {
public:
    bool postUserMessage(int32_t code, int32_t argument) override {
        posts.emplace_back(code, argument);
        return true;
    }
    std::vector<std::pair<int32_t, int32_t>> posts;
};

struct Call {
    const char* what;
    int32_t a = 0;
    int32_t b = 0;
    EncoderPositions positions{};
};

class RecordingCallback : public iMainDlgCallback {
public:
    explicit RecordingCallback(const AppModel* model = nullptr) : model(model) {}
    void showStatus(int32_t code) override { calls.push_back({"status", code}); }
    void showConfiguration(int32_t code, int32_t extra) override {
        calls.push_back({"configuration", code, extra});
        if (model != nullptr) seenMount = model->mountConfig();
    }
    void askMeridianFlip(int32_t flipCase) override { calls.push_back({"flip", flipCase}); }
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {
        calls.push_back({"reserved"});
    }
    void showPositions(const EncoderPositions& p) override {
        calls.push_back({"positions", 0, 0, p});
    }
    void showConnection(const ConnectionInfo& c) override {
        calls.push_back({"connection", static_cast<int32_t>(c.state), c.simulated ? 1 : 0});
    }
    const AppModel* model;
    MountConfig seenMount{};
    std::vector<Call> calls;
};

MountConfig sampleMount(uint32_t gear) {
    MountConfig m;
    m.identityWord = 0xDEADBEEF;  // fields no dialog shows travel too
    m.raGearRatio = gear;
    m.decMotor23 = 77;
    m.motorOption = 5;
    return m;
}

EncoderConfig sampleEncoder() {
    EncoderConfig e;
    e.raFlags = 4;  // the flag no dialog shows
    e.raBitsPerRev = 22;
    e.decBitsPerRev = 20;
    e.raCountsPerRev = uint64_t{1} << 22;
    e.raOffset = -5;
    return e;
}

EncoderPositions reading(int32_t ra) {
    EncoderPositions p;
    p.valid = 1;
    p.raRaw = 1000;
    p.raArcsec = ra;
    p.decArcsec = -ra;
    return p;
}

TEST(AppModel, StartsWithTheDefaultEncoderFormat) {
    const AppModel model;
    const EncoderConfig& e = model.encoderConfig();
    const int got[8] = {e.raFlags,       e.decFlags,       e.raLeadingBits, e.raBitsPerRev,
                        e.raBitsForRevs, e.decLeadingBits, e.decBitsPerRev, e.decBitsForRevs};
    const int want[8] = {0, 0, 12, 25, 0, 12, 25, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << "byte " << i;
    EXPECT_EQ(e.reverseEncoder, 0);
    EXPECT_EQ(e.raOffset, 0);
    EXPECT_EQ(e.decOffset, 0);
    EXPECT_EQ(model.mountConfig(), MountConfig{});
    EXPECT_EQ(model.positions(), EncoderPositions{});
    EXPECT_EQ(model.longitude(), 19.5);
}

TEST(AppModel, EachNotificationPostsItsCodeAndArgument) {
    AppModel model;
    RecordingSink sink;
    model.setSink(&sink);
    model.onStatus(6);
    model.onConfiguration(3, 1, sampleMount(100), sampleEncoder());
    model.onMeridianFlipQuery(4);
    model.onPositions(reading(45296));
    model.reservedNotification(1, 2, 3, 4, 5, 6, 7, 8);
    model.onStatus(18);  // passed on unchanged, even without a text of its own
    const std::vector<std::pair<int32_t, int32_t>> want = {{NotifyStatus, 6},
                                                           {NotifyConfiguration, 3},
                                                           {NotifyMeridianFlip, 4},
                                                           {NotifyPositions, 0},
                                                           {NotifyStatus, 18}};
    EXPECT_EQ(sink.posts, want);
}

TEST(AppModel, DispatchCallsTheMatchingCallbackAndIgnoresOtherCodes) {
    AppModel model;
    RecordingCallback callback;
    model.setCallback(&callback);
    for (int32_t code : {9, 14, 0, -1, 1000}) model.dispatch(code, 3);
    EXPECT_TRUE(callback.calls.empty());

    model.dispatch(NotifyStatus, 17);
    model.dispatch(NotifyMeridianFlip, 5);
    model.onConfiguration(3, 1, sampleMount(1), sampleEncoder());
    model.dispatch(NotifyConfiguration, 3);
    ASSERT_EQ(callback.calls.size(), 3u);
    EXPECT_STREQ(callback.calls[0].what, "status");
    EXPECT_EQ(callback.calls[0].a, 17);
    EXPECT_STREQ(callback.calls[1].what, "flip");
    EXPECT_EQ(callback.calls[1].a, 5);
    EXPECT_STREQ(callback.calls[2].what, "configuration");
    EXPECT_EQ(callback.calls[2].a, 3);
    EXPECT_EQ(callback.calls[2].b, 1);  // the published extra
}

TEST(AppModel, PublishesWhenDispatchedNotWhenNotified) {
    AppModel model;
    RecordingCallback callback(&model);
    model.setCallback(&callback);
    model.onConfiguration(3, 1, sampleMount(100), sampleEncoder());
    EXPECT_EQ(model.mountConfig(), MountConfig{});  // still live only
    model.dispatch(NotifyConfiguration, 3);
    EXPECT_EQ(model.mountConfig(), sampleMount(100));
    EXPECT_EQ(model.encoderConfig(), sampleEncoder());
    EXPECT_EQ(model.extra(), 1);
    EXPECT_EQ(callback.seenMount, sampleMount(100));  // published before the call
}

TEST(AppModel, ConfigurationIsPublishedEvenWithoutACallback) {
    AppModel model;
    model.onConfiguration(3, 7, sampleMount(42), sampleEncoder());
    model.dispatch(NotifyConfiguration, 3);
    EXPECT_EQ(model.mountConfig(), sampleMount(42));
    EXPECT_EQ(model.extra(), 7);
}

TEST(AppModel, TwoReadingsBeforeDispatchShowTheLatestTwice) {
    AppModel model;
    RecordingSink sink;
    RecordingCallback callback;
    model.setSink(&sink);
    model.setCallback(&callback);
    model.onPositions(reading(100));
    model.onPositions(reading(200));
    for (const auto& [code, argument] : sink.posts) model.dispatch(code, argument);
    ASSERT_EQ(callback.calls.size(), 2u);
    for (const Call& c : callback.calls) EXPECT_EQ(c.positions, reading(200));
    EXPECT_EQ(model.positions(), reading(200));
}

TEST(AppModel, NotificationsWithoutASinkAreKeptForLater) {
    AppModel model;
    model.onPositions(reading(300));
    RecordingSink sink;
    model.setSink(&sink);
    EXPECT_TRUE(sink.posts.empty());
    model.dispatch(NotifyPositions, 0);
    EXPECT_EQ(model.positions(), reading(300));
}

TEST(AppModel, ConfigurationOverwritesEditedFormatBytes) {
    AppModel model;
    EncoderConfig edited = model.encoderConfig();
    edited.raBitsPerRev = 30;
    edited.raOffset = 999;  // not a format byte: must not be taken over
    edited.raCountsPerRev = 1;
    model.storeFormatBytes(edited);
    EXPECT_EQ(model.encoderConfig().raBitsPerRev, 30);
    EXPECT_EQ(model.encoderConfig().raOffset, 0);
    EXPECT_EQ(model.encoderConfig().raCountsPerRev, 0u);

    model.onConfiguration(3, 1, sampleMount(1), sampleEncoder());
    model.dispatch(NotifyConfiguration, 3);
    EXPECT_EQ(model.encoderConfig().raBitsPerRev, 22);
}

TEST(AppModel, ConnectForwardsPortAndBaudWhenLinked) {
    AppModel model;
    model.connect(3, 115200);  // no link yet: nothing happens
    test::RecordingLink link;
    model.setLink(&link);
    model.connect(3, 115200);
    model.connect(256, 9600);  // the link keeps the low 8 bits
    EXPECT_EQ(link.calls, (std::vector<std::string>{"connect 3 115200", "connect 0 9600"}));
}

TEST(AppModel, LocalSiderealTimeIsGreenwichTimeNowPlusTheLongitude) {
    const AppModel model;
    const long double lst = model.localSiderealTime();
    EXPECT_GE(lst, 1.3L);
    EXPECT_LT(lst, 25.3L);
    // Within a few seconds of the clock read here, unless 24 h were crossed between the two.
    const long double greenwich = localSiderealTimeAt(currentUtcTime(), 0.0);
    const long double difference = lst - greenwich;
    if (difference < 20.0L) {
        EXPECT_NEAR(static_cast<double>(difference), 19.5 / 15.0, 5.0 / 3600.0);
    }
}

// Notifications come from another thread while dispatch runs on this one: every
// published reading must be one that was sent, never a mix of two.
TEST(AppModel, PublishedReadingsAreWholeWhileTheLinkWrites) {
    AppModel model;
    RecordingCallback callback;
    model.setCallback(&callback);
    std::thread link([&] {
        for (int32_t i = 1; i <= 20000; ++i) model.onPositions(reading(i));
    });
    for (int i = 0; i < 20000; ++i) {
        model.dispatch(NotifyPositions, 0);
        const EncoderPositions& p = model.positions();
        ASSERT_EQ(p.decArcsec, -p.raArcsec);
    }
    link.join();
    model.dispatch(NotifyPositions, 0);
    EXPECT_EQ(model.positions(), reading(20000));
}

}  // namespace
}  // namespace zr8
