// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: a damaged one is reported and kept aside, never
// trusted; the UniqueID is made once; refused values leave the file alone.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ui/alpaca/server_settings.h"

namespace zr8::alpaca {
namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("zr8-alpaca-test-" + newUniqueId());
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
};

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(SettingsFile, ADamagedFileIsReportedKeptAsideAndNotTrusted) {
    const char* damaged[] = {
        "{\"serialPort\": \"/dev/ttyUSB0\", ",  // cut short
        "{\"serialPort\": \"/dev/ttyUSB0\", \"baudRate\": \"fast\"}",
        "{\"serialPort\": \"/dev/ttyUSB0\", \"siteLatitude\": -33.9}",  // southern
        "{\"serialPort\": \"/dev/ttyUSB0\", \"flipPolicy\": \"sometimes\"}",
    };
    for (const char* text : damaged) {
        Folder folder;
        const fs::path file = folder.path / "settings.json";
        write(file, text);
        SettingsFile settings(file);
        ASSERT_TRUE(settings.load()) << text;
        EXPECT_NE(settings.report().find("damaged"), std::string::npos) << text;
        EXPECT_EQ(settings.current().serialPort, "") << "the defaults, not the damaged values";
        EXPECT_EQ(contentOf(folder.path / "settings.json.damaged"), text);
        ServerSettings reread;
        std::string why;
        EXPECT_TRUE(settingsFromJson(contentOf(file), reread, why)) << why;
    }
}

TEST(SettingsFile, TheUniqueIdIsMadeOnceAndKept) {
    Folder folder;
    const fs::path file = folder.path / "nested" / "settings.json";
    SettingsFile first(file);
    ASSERT_TRUE(first.load());
    const std::string id = first.current().uniqueId;
    EXPECT_EQ(id.size(), 36u);
    ServerSettings changed = first.current();
    changed.serialPort = "COM3";
    changed.uniqueId = "something else";
    EXPECT_EQ(first.save(changed), "");
    SettingsFile again(file);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.current().uniqueId, id);
    EXPECT_EQ(again.current().serialPort, "COM3");
    EXPECT_EQ(again.report(), "");
}

TEST(SettingsFile, RefusedValuesLeaveTheFileAsItWas) {
    Folder folder;
    const fs::path file = folder.path / "settings.json";
    SettingsFile settings(file);
    ASSERT_TRUE(settings.load());
    const std::string before = contentOf(file);
    ServerSettings bad = settings.current();
    bad.baudRate = 4800;
    EXPECT_NE(settings.save(bad).find("4800"), std::string::npos);
    EXPECT_EQ(contentOf(file), before);
    EXPECT_EQ(settings.current().baudRate, 115200u);
}

}  // namespace
}  // namespace zr8::alpaca
