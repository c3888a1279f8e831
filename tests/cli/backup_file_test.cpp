// SPDX-License-Identifier: GPL-3.0-or-later
// Backup files in the process: any text is read without harm, reading takes
// only a bounded regular file, and writing never leaves, replaces or writes
// through anything it should not.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "ui/cli/backup_file.h"
#include "ui/cli/file_access.h"
#include "zr8ctl_harness.h"

namespace zr8::cli_test {
namespace {

namespace fs = std::filesystem;
using cli::FileOutcome;

std::string contents(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A real backup with the first value of `member` (a number) replaced, or
// with `member` added to "controller" when it has none.
std::string withValue(const std::string& member, const std::string& value) {
    std::string text = editedBackup([](Json&) {});
    const std::string key = "\"" + member + "\": ";
    size_t at = text.find(key);
    if (at == std::string::npos) {
        at = text.find("\"controller\": {") + 15;
        return text.insert(at, key + value + ",");
    }
    at += key.size();
    return text.replace(at, text.find_first_of(",\n}", at) - at, value);
}

struct ReadCase {
    const char* name;
    std::function<std::string()> text;
    const char* error;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

const std::string kDeep = std::string(50000, '[') + "0" + std::string(50000, ']');

const ReadCase kReads[] = {
    {"DeepUnknownMember", [] { return withValue("x", kDeep); }, "controller.x: not a field"},
    {"DeepDerived", [] { return withValue("countsPerRev", kDeep); },
     "countsPerRev: must be a number, not an array"},
    // The parser throws out_of_range, not parse_error, for this one.
    {"NumberOverflow", [] { return std::string("1E44444"); }, "not valid JSON: number overflow"},
};

class Reading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Reading, RefusesWithoutHarm) {
    std::string error;
    EXPECT_FALSE(cli::readBackup(GetParam().text(), error));
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(BackupFile, Reading, ::testing::ValuesIn(kReads),
                         [](const auto& info) { return std::string(info.param.name); });

struct SourceCase {
    const char* name;
    std::function<std::string(const Scratch&)> make;  // the path to read
    FileOutcome outcome;
    const char* error;
};

void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }

const SourceCase kSources[] = {
    {"Directory", [](const Scratch& s) { return s.path(""); }, FileOutcome::Refused, "a directory"},
    {"EndlessDevice", [](const Scratch&) { return std::string("/dev/zero"); }, FileOutcome::Refused,
     "a character device"},
    {"PipeNobodyWrites",
     [](const Scratch& s) {
         ::mkfifo(s.path("fifo").c_str(), 0600);
         return s.path("fifo");
     },
     FileOutcome::Refused, "a pipe"},
    {"TooLarge", [](const Scratch& s) { return s.write("big", std::string(300000, ' ')); },
     FileOutcome::Refused, "more than 256 KiB"},
    {"TooLargeOnStandardInput",
     [](const Scratch& s) {
         const int fd = ::open(s.write("big", std::string(300000, ' ')).c_str(), O_RDONLY);
         ::dup2(fd, STDIN_FILENO);
         ::close(fd);
         return std::string("-");
     },
     FileOutcome::Refused, "standard input: more than 256 KiB"},
    {"Missing", [](const Scratch& s) { return s.path("missing"); }, FileOutcome::Failed,
     "No such file or directory"},
};

class Source : public ::testing::TestWithParam<SourceCase> {};

TEST_P(Source, IsReadOnlyWhenARegularFileOfBoundedSize) {
    Scratch scratch;
    const int input = ::dup(STDIN_FILENO);
    std::string text, error;
    EXPECT_EQ(cli::readWholeFile(GetParam().make(scratch), cli::kReadLimit, text, error),
              GetParam().outcome);
    ::dup2(input, STDIN_FILENO);
    ::close(input);
    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(BackupFile, Source, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return std::string(info.param.name); });

struct TargetCase {
    const char* name;
    bool replace;
    // Makes what lies under "backup.json" (and around it) before the write.
    std::function<void(const Scratch&)> before;
    FileOutcome outcome;
    std::function<void(const Scratch&)> check;
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

const TargetCase kTargets[] = {
    {"ASymbolicLinkIsWrittenThroughAndPermissionsKept", true,
     [](const Scratch& s) {
         ::chmod(s.write("real.json", "old").c_str(), 0640);
         fs::create_symlink("real.json", s.path("backup.json"));
     },
     FileOutcome::Done,
     [](const Scratch& s) {
         EXPECT_TRUE(fs::is_symlink(s.path("backup.json")));
         EXPECT_EQ(contents(s.path("real.json")), "new");
         EXPECT_EQ(fs::status(s.path("real.json")).permissions(),
                   fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
     }},
    {"WhatIsNotARegularFileIsLeftAlone", true,
     [](const Scratch& s) { fs::create_directory(s.path("backup.json")); }, FileOutcome::Refused,
     [](const Scratch& s) { EXPECT_TRUE(fs::is_directory(s.path("backup.json"))); }},
    {"AFileThatAppearedMeanwhileIsNotReplaced", false,
     [](const Scratch& s) {
         bool exists = true;
         std::string error;
         ASSERT_EQ(cli::checkWritable(s.path("backup.json"), false, exists, error),
                   FileOutcome::Done);
         s.write("backup.json", "theirs");
     },
     FileOutcome::Refused,
     [](const Scratch& s) { EXPECT_EQ(contents(s.path("backup.json")), "theirs"); }},
    {"NoFixedTemporaryNameIsFollowed", false,
     [](const Scratch& s) {
         s.write("victim", "kept");
         fs::create_symlink("victim", s.path("backup.json.zr8ctl-partial"));
     },
     FileOutcome::Done,
     [](const Scratch& s) {
         EXPECT_EQ(contents(s.path("victim")), "kept");
         EXPECT_EQ(contents(s.path("backup.json")), "new");
     }},
};

class Target : public ::testing::TestWithParam<TargetCase> {};

TEST_P(Target, GetsTheWholeFileOrNothing) {
    Scratch scratch;
    GetParam().before(scratch);
    bool exists = false;
    std::string error;
    EXPECT_EQ(
        cli::writeWholeFile(scratch.path("backup.json"), "new", GetParam().replace, exists, error),
        GetParam().outcome)
        << error;
    GetParam().check(scratch);
    for (const auto& entry : fs::directory_iterator(scratch.path(""))) {
        EXPECT_NE(entry.path().filename().string().rfind(".zr8ctl-", 0), 0u) << "left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(BackupFile, Target, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8::cli_test
