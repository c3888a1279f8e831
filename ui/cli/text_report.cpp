// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/text_report.h"

#include <cstdio>

#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

Json encoderJson(uint64_t raw, int32_t arcsec) {
    Json axis = Json::object();
    axis["raw"] = static_cast<uint32_t>(raw);
    axis["arcsec"] = static_cast<uint32_t>(arcsec);
    axis["dms"] = rules::angleText(arcsec);
    return axis;
}

Json axisFormatJson(const uint8_t* bytes) {
    Json axis = Json::object();
    axis["flags"] = bytes[0];
    axis["leadingBits"] = bytes[1];
    axis["bitsPerRev"] = bytes[2];
    axis["bitsForRevs"] = bytes[3];
    return axis;
}

const char* yesNo(bool on) { return on ? "yes" : "no"; }

std::string row(const std::string& label, const std::string& ra, const std::string& dec) {
    char line[160];
    std::snprintf(line, sizeof line, "%-26s %-20s %s\n", label.c_str(), ra.c_str(), dec.c_str());
    return line;
}

std::string flagsText(uint8_t flags) {
    std::string text = std::to_string(flags) + " (";
    text += (flags & kFlagInvertData) ? "invert" : "plain";
    text += (flags & kFlagGrayFormat) ? ", Gray" : ", binary";
    return text + ")";
}

}  // namespace

Json readingJson(const EncoderPositions& p, const std::string& time) {
    Json reading = Json::object();
    reading["time"] = time;
    reading["ra"] = encoderJson(p.raRaw, p.raArcsec);
    reading["dec"] = encoderJson(p.decRaw, p.decArcsec);
    return reading;
}

Json formatJson(const WireFormat& format) {
    Json written = Json::object();
    written["ra"] = axisFormatJson(&format[0]);
    written["dec"] = axisFormatJson(&format[4]);
    return written;
}

Json calibrationJson(const CalibrationValues& c) {
    Json written = Json::object();
    written["ra"] = {{"reverse", (c.reverseBits & kReverseRa) != 0},
                     {"offset", static_cast<uint32_t>(c.raOffset)}};
    written["dec"] = {{"reverse", (c.reverseBits & kReverseDec) != 0},
                      {"offset", static_cast<uint32_t>(c.decOffset)}};
    return written;
}

Json motorReverseJson(const MotorReverseValues& m) {
    Json written = Json::object();
    written["ra"] = (m.reverseBits & kReverseRa) != 0;
    written["dec"] = (m.reverseBits & kReverseDec) != 0;
    written["motorOption"] = m.motorOption;
    return written;
}

Json differencesJson(const std::vector<Difference>& differences) {
    Json list = Json::array();
    for (const Difference& d : differences) {
        list.push_back({{"field", d.field},
                        {"file", d.file},
                        {"controller", d.controller},
                        {"writable", d.writable}});
    }
    Json result = Json::object();
    result["identical"] = differences.empty();
    result["differences"] = std::move(list);
    return result;
}

std::string infoText(const ConnectionInfo& connection, const Configuration& c) {
    const MountConfig& m = c.mount;
    const EncoderConfig& e = c.encoder;
    char identity[96];
    std::snprintf(identity, sizeof identity, "0x%08X (reply 2: 0x%08X, reply 3: %u)",
                  m.identityWord, m.reply2Word, m.reply3Byte);
    std::string text = "Port:                      " + rules::connectionText(connection) + "\n";
    text += std::string("Identity:                  ") + identity + "\n";
    text += "Motor option:              " + std::to_string(m.motorOption) + "\n\n";
    text += row("", "RA", "Dec");
    text += row("Gear ratio:", std::to_string(m.raGearRatio), std::to_string(m.decGearRatio));
    text += row("Microstep resolution:", std::to_string(m.raMicrostepResolution),
                std::to_string(m.decMicrostepResolution));
    text += row("Base speed:", std::to_string(m.raBaseSpeed), std::to_string(m.decBaseSpeed));
    text += row("Speed factor:", std::to_string(m.raSpeedFactor), std::to_string(m.decSpeedFactor));
    text += row("Maximum speed:", std::to_string(m.raBaseSpeed * m.raSpeedFactor),
                std::to_string(m.decBaseSpeed * m.decSpeedFactor));
    text += row("Reverse motor:", yesNo(m.reverseMotor & kReverseRa),
                yesNo(m.reverseMotor & kReverseDec));
    text += row("Encoder flags:", flagsText(e.raFlags), flagsText(e.decFlags));
    text += row("Leading bits:", std::to_string(e.raLeadingBits), std::to_string(e.decLeadingBits));
    text += row("Bits per one revolution:", std::to_string(e.raBitsPerRev),
                std::to_string(e.decBitsPerRev));
    text += row("Bits for revolutions:", std::to_string(e.raBitsForRevs),
                std::to_string(e.decBitsForRevs));
    text += row("Counts per revolution:", rules::countsPerRevolutionText(e.raBitsPerRev),
                rules::countsPerRevolutionText(e.decBitsPerRev));
    text += row("Reverse encoder:", yesNo(e.reverseEncoder & kReverseRa),
                yesNo(e.reverseEncoder & kReverseDec));
    text += row("Encoder offset:", rules::offsetText(e.raOffset), rules::offsetText(e.decOffset));
    return text;
}

std::string readingTable(const EncoderPositions& p) {
    char text[256];
    std::snprintf(
        text, sizeof text, "%-13s %12s %12s %17s\n%-13s %12u %12u %17s\n%-13s %12u %12u %17s\n", "",
        "System", "Arcseconds", "Degs / min / sec", "RA encoder:", static_cast<uint32_t>(p.raRaw),
        static_cast<uint32_t>(p.raArcsec), rules::angleText(p.raArcsec).c_str(),
        "Dec encoder:", static_cast<uint32_t>(p.decRaw), static_cast<uint32_t>(p.decArcsec),
        rules::angleText(p.decArcsec).c_str());
    return text;
}

std::string readingLine(const EncoderPositions& p) {
    char text[160];
    std::snprintf(text, sizeof text, "RA %10u %7u %10s   Dec %10u %7u %10s",
                  static_cast<uint32_t>(p.raRaw), static_cast<uint32_t>(p.raArcsec),
                  rules::angleText(p.raArcsec).c_str(), static_cast<uint32_t>(p.decRaw),
                  static_cast<uint32_t>(p.decArcsec), rules::angleText(p.decArcsec).c_str());
    return text;
}

std::string formatText(const WireFormat& f) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "encoder format: RA flags %u, leading bits %u, bits per one revolution %u, "
                  "bits for revolutions %u; Dec flags %u, leading bits %u, bits per one "
                  "revolution %u, bits for revolutions %u",
                  f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]);
    return text;
}

std::string calibrationText(const CalibrationValues& c) {
    return std::string("encoder calibration: reverse encoder RA ") +
           yesNo(c.reverseBits & kReverseRa) + ", Dec " + yesNo(c.reverseBits & kReverseDec) +
           "; offset RA " + rules::offsetText(c.raOffset) + ", Dec " +
           rules::offsetText(c.decOffset);
}

std::string motorReverseText(const MotorReverseValues& m) {
    return std::string("motor reverse: RA ") + yesNo(m.reverseBits & kReverseRa) + ", Dec " +
           yesNo(m.reverseBits & kReverseDec) + "; motor option " + std::to_string(m.motorOption);
}

std::string differencesText(const std::vector<Difference>& differences, const char* expected) {
    std::string text;
    for (const Difference& d : differences) {
        text += d.field + ": " + expected + " " + d.file.dump() + ", controller " +
                d.controller.dump() + (d.writable ? "" : " (restore cannot write it)") + "\n";
    }
    return text;
}

}  // namespace zr8::cli
