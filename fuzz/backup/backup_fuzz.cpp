// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds zr8ctl's backup reader arbitrary text, as diff and restore read it
// (at most the size they read). Besides the sanitizers: any text is refused
// with a message or read, nothing escapes as an exception, and what is read
// is written and read again to the same configuration.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/cli/backup_file.h"

namespace {

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)

// As ui/cli/file_access.h's kReadLimit: nothing longer reaches the reader.
constexpr size_t kReadLimit = 256 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zr8::cli;
    if (size > kReadLimit) return -1;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<Backup> backup;
    try {
        backup = readBackup(text, error);
    } catch (...) {
        __builtin_trap();
    }
    FUZZ_CHECK(backup.has_value() != !error.empty());
    if (!backup) return 0;
    const Json again = backupJson(backup->configuration, backup->toolVersion, backup->time);
    std::string againError;
    const std::optional<Backup> reread =
        readBackup(again.dump(2, ' ', false, Json::error_handler_t::replace), againError);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(reread->configuration.mount == backup->configuration.mount);
    FUZZ_CHECK(reread->configuration.encoder == backup->configuration.encoder);
    return 0;
}
