// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/main_dialog_fields.h"

#include "link/status_codes.h"
#include "link/wire.h"
#include "text/text_format.h"
#include "ui/rules/control_ids.h"

namespace zr8::rules {

using namespace main_ids;

const char* statusLineText(int32_t statusCode) {
    return statusText(static_cast<uint16_t>(statusCode));
}

std::string openFailureText(const ConnectionInfo& c) {
    if (c.state != LineState::OpenFailed) return {};
    std::string text = c.device[0] != '\0' ? std::string(c.device) + ": " + c.reason : c.reason;
    // Many system errors come with nothing the operator can do: no dash then.
    if (c.remedy[0] != '\0') text += std::string(" - ") + c.remedy;
    return text;
}

std::string connectionText(const ConnectionInfo& c) {
    if (c.state != LineState::Open) return {};
    if (c.simulated) return kSimulatedControllerText;
    return std::string(c.device) + ", " + std::to_string(c.baudRate) + " baud";
}

std::string countsPerRevolutionText(uint8_t bitsPerRev) {
    if (bitsPerRev >= 64) return "2^" + std::to_string(bitsPerRev);
    return std::to_string(countsPerRevolution(bitsPerRev));
}

std::string offsetText(int32_t offset) { return std::to_string(static_cast<uint32_t>(offset)); }

std::string angleText(int32_t arcseconds) {
    char buffer[128];
    formatAngleDms(buffer, sizeof buffer, 0, arcseconds, ':', ':');
    return buffer;
}

void showResolution(uint8_t raBitsPerRev, uint8_t decBitsPerRev, iDialogControls& c) {
    c.setText(IdRaBitsPerRev, std::to_string(raBitsPerRev));
    c.setText(IdRaCountsPerRev, countsPerRevolutionText(raBitsPerRev));
    c.setText(IdDecBitsPerRev, std::to_string(decBitsPerRev));
    c.setText(IdDecCountsPerRev, countsPerRevolutionText(decBitsPerRev));
}

void showConfigurationFields(const MountConfig& m, const EncoderConfig& e, iDialogControls& c) {
    c.setText(IdRaGearRatio, std::to_string(m.raGearRatio));
    c.setText(IdDecGearRatio, std::to_string(m.decGearRatio));
    c.setText(IdRaMicrosteps, std::to_string(m.raMicrostepResolution));
    c.setText(IdDecMicrosteps, std::to_string(m.decMicrostepResolution));
    // Counts follow from the bits, so the count shown always matches them.
    showResolution(e.raBitsPerRev, e.decBitsPerRev, c);
    c.setChecked(IdRaReverseMotor, (m.reverseMotor & kReverseRa) != 0);
    c.setChecked(IdDecReverseMotor, (m.reverseMotor & kReverseDec) != 0);
    c.setText(IdRaOffset, offsetText(e.raOffset));
    c.setText(IdDecOffset, offsetText(e.decOffset));
    c.setChecked(IdRaReverseEncoder, (e.reverseEncoder & kReverseRa) != 0);
    c.setChecked(IdDecReverseEncoder, (e.reverseEncoder & kReverseDec) != 0);
}

void showPositionFields(const EncoderPositions& p, iDialogControls& c) {
    if (p.valid != 1) return;
    c.setText(IdRaRaw, std::to_string(static_cast<uint32_t>(p.raRaw)));
    c.setText(IdRaArcsec, std::to_string(static_cast<uint32_t>(p.raArcsec)));
    c.setText(IdRaDms, angleText(p.raArcsec));
    c.setText(IdDecRaw, std::to_string(static_cast<uint32_t>(p.decRaw)));
    c.setText(IdDecArcsec, std::to_string(static_cast<uint32_t>(p.decArcsec)));
    c.setText(IdDecDms, angleText(p.decArcsec));
}

}  // namespace zr8::rules
