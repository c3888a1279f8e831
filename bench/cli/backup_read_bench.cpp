// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a backup as diff and restore do, from a real one (about 2 KB) to
// the largest text they take (256 KiB): a member with ever more members of
// its own, or nested ever deeper. The time per byte stays flat, so nothing
// in the reading is quadratic, and nothing in it recurses into the text.
#include <benchmark/benchmark.h>

#include <string>

#include "ui/cli/backup_file.h"

namespace {

std::string realBackup() {
    zr8::cli::Configuration configuration;
    configuration.encoder.raBitsPerRev = configuration.encoder.decBitsPerRev = 0;
    return zr8::cli::backupJson(configuration, "1.1.0", "2026-12-08T21:30:00Z").dump(2);
}

// `real` with an unknown member "x" of about `bytes` bytes in "controller".
std::string withMember(const std::string& real, const std::string& value) {
    std::string text = real;
    text.insert(text.find("\"controller\": {") + 15, "\"x\": " + value + ",");
    return text;
}

std::string manyMembers(size_t bytes) {
    std::string object = "{";
    for (size_t i = 0; object.size() < bytes; ++i) object += "\"k" + std::to_string(i) + "\":0,";
    object.back() = '}';
    return object;
}

std::string deep(size_t bytes) { return std::string(bytes / 2, '[') + std::string(bytes / 2, ']'); }

void read(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        std::string error;
        benchmark::DoNotOptimize(zr8::cli::readBackup(text, error));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_RealBackup(benchmark::State& state) { read(state, realBackup()); }
BENCHMARK(BM_RealBackup);

void BM_ManyMembers(benchmark::State& state) {
    read(state, withMember(realBackup(), manyMembers(static_cast<size_t>(state.range(0)))));
}
BENCHMARK(BM_ManyMembers)->RangeMultiplier(4)->Range(4 << 10, 256 << 10);

void BM_DeepNesting(benchmark::State& state) {
    read(state, withMember(realBackup(), deep(static_cast<size_t>(state.range(0)))));
}
BENCHMARK(BM_DeepNesting)->RangeMultiplier(4)->Range(4 << 10, 256 << 10);

}  // namespace

BENCHMARK_MAIN();
