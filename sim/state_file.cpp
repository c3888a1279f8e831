// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/file_sync.h"

namespace zr8::sim {

namespace {

// One table drives both directions, so a key cannot be written and then
// forgotten by the reader.
struct Field {
    const char* key;
    enum Kind { U8, U16, U32, I32, Block } kind;
    void* (*member)(ControllerSettings&);
};

#define ZR8_FIELD(key, kind, name)                                               \
    Field {                                                                      \
        key, Field::kind, [](ControllerSettings& s) -> void* { return &s.name; } \
    }

const Field kFields[] = {
    ZR8_FIELD("identityWord", U32, identityWord),
    ZR8_FIELD("reply3Byte", U8, reply3Byte),
    ZR8_FIELD("reply2Word", U32, reply2Word),
    ZR8_FIELD("ra.axisByte", U8, ra.axisByte),
    ZR8_FIELD("ra.gearRatio", U32, ra.gearRatio),
    ZR8_FIELD("ra.microstepResolution", U32, ra.microstepResolution),
    ZR8_FIELD("ra.baseSpeed", U32, ra.baseSpeed),
    ZR8_FIELD("ra.speedFactor", U16, ra.speedFactor),
    ZR8_FIELD("ra.motorBlock", Block, ra.motorBlock),
    ZR8_FIELD("dec.axisByte", U8, dec.axisByte),
    ZR8_FIELD("dec.gearRatio", U32, dec.gearRatio),
    ZR8_FIELD("dec.microstepResolution", U32, dec.microstepResolution),
    ZR8_FIELD("dec.baseSpeed", U32, dec.baseSpeed),
    ZR8_FIELD("dec.speedFactor", U16, dec.speedFactor),
    ZR8_FIELD("dec.motorBlock", Block, dec.motorBlock),
    ZR8_FIELD("reverseMotor", U8, reverseMotor),
    ZR8_FIELD("motorOption", U8, motorOption),
    ZR8_FIELD("ra.formatFlags", U8, raFormat.flags),
    ZR8_FIELD("ra.leadingBits", U8, raFormat.leadingBits),
    ZR8_FIELD("ra.bitsPerRev", U8, raFormat.bitsPerRev),
    ZR8_FIELD("ra.bitsForRevs", U8, raFormat.bitsForRevs),
    ZR8_FIELD("dec.formatFlags", U8, decFormat.flags),
    ZR8_FIELD("dec.leadingBits", U8, decFormat.leadingBits),
    ZR8_FIELD("dec.bitsPerRev", U8, decFormat.bitsPerRev),
    ZR8_FIELD("dec.bitsForRevs", U8, decFormat.bitsForRevs),
    ZR8_FIELD("reverseEncoder", U8, reverseEncoder),
    ZR8_FIELD("ra.offset", I32, raOffset),
    ZR8_FIELD("dec.offset", I32, decOffset),
};

#undef ZR8_FIELD

template <typename T>
T& at(ControllerSettings& s, const Field& f) {
    return *static_cast<T*>(f.member(s));
}

bool parseInteger(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long long v = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseBlock(const std::string& text, std::array<uint8_t, kMotorBlockSize>& out) {
    if (text.size() != 2 * kMotorBlockSize) return false;
    std::array<uint8_t, kMotorBlockSize> block{};
    for (size_t i = 0; i < kMotorBlockSize; ++i) {
        unsigned v = 0;
        for (size_t k = 0; k < 2; ++k) {
            const char c = text[2 * i + k];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= unsigned(c - 'A' + 10);
            else
                return false;
        }
        block[i] = static_cast<uint8_t>(v);
    }
    out = block;
    return true;
}

}  // namespace

std::string formatState(const ControllerSettings& settings) {
    ControllerSettings s = settings;  // the table hands out mutable pointers
    std::ostringstream out;
    out << "# Simulated ZR8 settings, written by store settings.\n";
    for (const Field& f : kFields) {
        out << f.key << ' ';
        switch (f.kind) {
        case Field::U8:
            out << unsigned{at<uint8_t>(s, f)};
            break;
        case Field::U16:
            out << at<uint16_t>(s, f);
            break;
        case Field::U32:
            out << at<uint32_t>(s, f);
            break;
        case Field::I32:
            out << at<int32_t>(s, f);
            break;
        case Field::Block: {
            static const char digits[] = "0123456789abcdef";
            for (uint8_t b : at<std::array<uint8_t, kMotorBlockSize>>(s, f))
                out << digits[b >> 4] << digits[b & 15];
            break;
        }
        }
        out << '\n';
    }
    return out.str();
}

bool parseState(const std::string& text, ControllerSettings& settings, std::string* error) {
    ControllerSettings s = settings;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& what) {
        if (error) *error = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line.substr(first));
        std::string key, value, extra;
        words >> key >> value;
        if (value.empty()) return fail("\"" + key + "\" has no value");
        if (words >> extra) return fail("more than one value after \"" + key + "\"");
        const Field* field = nullptr;
        for (const Field& f : kFields)
            if (key == f.key) field = &f;
        if (!field) return fail("unknown key \"" + key + "\"");
        long long v = 0;
        switch (field->kind) {
        case Field::U8:
            if (!parseInteger(value, 0, 0xFF, v)) return fail(key + " must be 0..255");
            at<uint8_t>(s, *field) = static_cast<uint8_t>(v);
            break;
        case Field::U16:
            if (!parseInteger(value, 0, 0xFFFF, v)) return fail(key + " must be 0..65535");
            at<uint16_t>(s, *field) = static_cast<uint16_t>(v);
            break;
        case Field::U32:
            if (!parseInteger(value, 0, 0xFFFFFFFFLL, v))
                return fail(key + " must be 0..4294967295");
            at<uint32_t>(s, *field) = static_cast<uint32_t>(v);
            break;
        case Field::I32:
            if (!parseInteger(value, INT32_MIN, INT32_MAX, v))
                return fail(key + " must be a signed 32-bit number");
            at<int32_t>(s, *field) = static_cast<int32_t>(v);
            break;
        case Field::Block:
            if (!parseBlock(value, at<std::array<uint8_t, kMotorBlockSize>>(s, *field)))
                return fail(key + " must be 54 hexadecimal digits");
            break;
        }
    }
    settings = s;
    return true;
}

StateLoad loadState(const std::string& path, ControllerSettings& settings, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return StateLoad::Missing;
        if (error) *error = path + ": " + std::strerror(errno);
        return StateLoad::Invalid;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    if (!parseState(text.str(), settings, &why)) {
        if (error) *error = path + ", " + why;
        return StateLoad::Invalid;
    }
    return StateLoad::Loaded;
}

bool saveState(const std::string& path, const ControllerSettings& settings, std::string* error) {
    const std::string temp = path + ".tmp";
    const std::string text = formatState(settings);
    FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f != nullptr;
    if (ok) {
        ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        ok = std::fflush(f) == 0 && ok;
        ok = syncToDisk(f) && ok;
        ok = std::fclose(f) == 0 && ok;
    }
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (error) *error = path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
    }
    return ok;
}

}  // namespace zr8::sim
