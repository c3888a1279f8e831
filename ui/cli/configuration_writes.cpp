// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/configuration_writes.h"

#include <algorithm>

#include "ui/cli/text_report.h"

namespace zr8::cli {

Writes writesOf(const Configuration& c) {
    return {formatInWireOrder(c.encoder),
            {static_cast<uint8_t>(c.encoder.reverseEncoder & (kReverseRa | kReverseDec)),
             c.encoder.raOffset, c.encoder.decOffset},
            {static_cast<uint8_t>(c.mount.reverseMotor & (kReverseRa | kReverseDec)),
             c.mount.motorOption}};
}

const char* partName(WritePart part) {
    switch (part) {
    case WritePart::Format:
        return "the encoder format";
    case WritePart::Calibration:
        return "the calibration";
    case WritePart::MotorReverse:
        return "the motor reverse bits";
    case WritePart::None:
        break;
    }
    return "nothing";
}

std::string partNames(const std::vector<WritePart>& parts) {
    if (parts.empty()) return "nothing";
    std::string names;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) names += i + 1 == parts.size() ? " and " : ", ";
        names += partName(parts[i]);
    }
    return names;
}

void apply(Configuration& c, const Writes& w, WritePart part) {
    const uint8_t both = kReverseRa | kReverseDec;
    switch (part) {
    case WritePart::Format:
        storeWireFormat(c.encoder, w.format.data());
        break;
    case WritePart::Calibration:
        c.encoder.reverseEncoder =
            static_cast<uint8_t>((c.encoder.reverseEncoder & ~both) | w.calibration.reverseBits);
        c.encoder.raOffset = w.calibration.raOffset;
        c.encoder.decOffset = w.calibration.decOffset;
        break;
    case WritePart::MotorReverse:
        c.mount.reverseMotor =
            static_cast<uint8_t>((c.mount.reverseMotor & ~both) | w.motorReverse.reverseBits);
        c.mount.motorOption = w.motorReverse.motorOption;
        break;
    case WritePart::None:
        break;
    }
}

Result write(ControllerSession& session, const Writes& w, WritePart part) {
    switch (part) {
    case WritePart::Format:
        return session.writeFormat(w.format);
    case WritePart::Calibration:
        return session.writeCalibration(w.calibration.reverseBits, w.calibration.raOffset,
                                        w.calibration.decOffset);
    case WritePart::MotorReverse:
        return session.writeMotorReverse(w.motorReverse.reverseBits, w.motorReverse.motorOption);
    case WritePart::None:
        break;
    }
    return {};
}

Json writtenJson(const Writes& w, const std::vector<WritePart>& parts) {
    Json written = Json::object();
    for (const WritePart part : parts) {
        if (part == WritePart::Format) written["format"] = formatJson(w.format);
        if (part == WritePart::Calibration) written["calibration"] = calibrationJson(w.calibration);
        if (part == WritePart::MotorReverse) {
            written["motorReverse"] = motorReverseJson(w.motorReverse);
        }
    }
    return written;
}

std::string writtenText(const Writes& w, const std::vector<WritePart>& parts) {
    std::string text;
    for (const WritePart part : parts) {
        if (part == WritePart::Format) text += "  " + formatText(w.format) + "\n";
        if (part == WritePart::Calibration) text += "  " + calibrationText(w.calibration) + "\n";
        if (part == WritePart::MotorReverse) {
            text += "  " + motorReverseText(w.motorReverse) + "\n";
        }
    }
    return text;
}

std::vector<Difference> notHeld(const Configuration& expected, const Configuration& controller,
                                const std::vector<WritePart>& parts) {
    std::vector<Difference> list;
    for (Difference& d : differences(expected, controller)) {
        if (std::find(parts.begin(), parts.end(), d.part) != parts.end()) {
            list.push_back(std::move(d));
        }
    }
    return list;
}

}  // namespace zr8::cli
