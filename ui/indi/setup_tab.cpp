// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/indi/setup_tab.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "link/status_codes.h"
#include "link/wire.h"
#include "ui/rules/encoder_format_form.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::indi {

namespace {

// Flags are check boxes in the dialog: 0 or 1 here.
constexpr rules::TypedField kRaInvert{0, "RA invert data", 0, 1};
constexpr rules::TypedField kRaGray{0, "RA Gray format", 0, 1};
constexpr rules::TypedField kDecInvert{0, "Dec invert data", 0, 1};
constexpr rules::TypedField kDecGray{0, "Dec Gray format", 0, 1};
constexpr rules::TypedField kRaReverseEncoder{0, "RA reverse encoder", 0, 1};
constexpr rules::TypedField kDecReverseEncoder{0, "Dec reverse encoder", 0, 1};

// Element order of the format property, and the field each is checked as.
const rules::TypedField* const kFormatFields[10] = {&kRaInvert,
                                                    &kRaGray,
                                                    &rules::kRaLeadingBitsField,
                                                    &rules::kRaBitsPerRevField,
                                                    &rules::kRaBitsForRevsField,
                                                    &kDecInvert,
                                                    &kDecGray,
                                                    &rules::kDecLeadingBitsField,
                                                    &rules::kDecBitsPerRevField,
                                                    &rules::kDecBitsForRevsField};
const char* const kFormatNames[10] = {
    "RA_INVERT",  "RA_GRAY",  "RA_LEADING_BITS",  "RA_BITS_PER_REV",  "RA_BITS_FOR_REVS",
    "DEC_INVERT", "DEC_GRAY", "DEC_LEADING_BITS", "DEC_BITS_PER_REV", "DEC_BITS_FOR_REVS"};
const rules::TypedField* const kCalibrationFields[4] = {
    &kRaReverseEncoder, &kDecReverseEncoder, &rules::kRaOffsetField, &rules::kDecOffsetField};
const char* const kCalibrationNames[4] = {"RA_REVERSE_ENCODER", "DEC_REVERSE_ENCODER", "RA_OFFSET",
                                          "DEC_OFFSET"};

// The values a write leaves: the property's own, with the client's on top.
// False, with the property Alert and a message naming the field, when one is
// not a whole number within its field's range; nothing changes then.
template <size_t N>
bool takeChecked(INDI::PropertyNumber& property, const rules::TypedField* const (&fields)[N],
                 const double values[], char* names[], int n, double (&out)[N]) {
    for (size_t i = 0; i < N; ++i) out[i] = property[i].getValue();
    for (int k = 0; k < n; ++k) {
        auto* widget = property.findWidgetByName(names[k]);
        if (!widget) continue;
        const size_t i = static_cast<size_t>(widget - &property[0]);
        const double v = values[k];
        if (!(v == std::floor(v) && v >= fields[i]->minimum && v <= fields[i]->maximum)) {
            property.setState(IPS_ALERT);
            property.apply("%s %s", rules::rangeMessage(*fields[i]).c_str(), rules::kNothingSent);
            return false;
        }
        out[i] = v;
    }
    return true;
}

template <size_t N>
void store(INDI::PropertyNumber& property, const double (&values)[N], IPState state) {
    for (size_t i = 0; i < N; ++i) property[i].setValue(values[i]);
    property.setState(state);
    property.apply();
}

uint8_t byteOf(double v) { return static_cast<uint8_t>(v); }

}  // namespace

void SetupTab::init(const char* device) {
    const char* configNames[6] = {"RA_GEAR_RATIO",  "RA_MICROSTEPS",  "RA_ENCODER_COUNTS",
                                  "DEC_GEAR_RATIO", "DEC_MICROSTEPS", "DEC_ENCODER_COUNTS"};
    const char* configLabels[6] = {
        "RA gear ratio",  "RA microstep resolution",  "RA encoder counts",
        "Dec gear ratio", "Dec microstep resolution", "Dec encoder counts"};
    for (size_t i = 0; i < 6; ++i) configTP_[i].fill(configNames[i], configLabels[i], "");
    configTP_.fill(device, "ZR8_CONFIGURATION", "Configuration", kSetupTab, IP_RO, 0, IPS_IDLE);

    readSP_[0].fill("READ", "Read encoders", ISS_OFF);
    readSP_.fill(device, "ZR8_READ_ENCODERS", "Encoders", kSetupTab, IP_RW, ISR_ATMOST1, 0,
                 IPS_IDLE);
    const char* encoderNames[6] = {"RA_RAW",  "RA_ARCSEC",  "RA_ANGLE",
                                   "DEC_RAW", "DEC_ARCSEC", "DEC_ANGLE"};
    const char* encoderLabels[6] = {"RA system",  "RA arcseconds",  "RA +DDD:MM:SS",
                                    "Dec system", "Dec arcseconds", "Dec +DDD:MM:SS"};
    for (size_t i = 0; i < 6; ++i) encodersTP_[i].fill(encoderNames[i], encoderLabels[i], "");
    encodersTP_.fill(device, "ZR8_ENCODERS", "Encoder reading", kSetupTab, IP_RO, 0, IPS_IDLE);

    for (size_t i = 0; i < 10; ++i) {
        formatNP_[i].fill(kFormatNames[i], kFormatFields[i]->name, "%.0f",
                          double(kFormatFields[i]->minimum), double(kFormatFields[i]->maximum), 1,
                          0);
    }
    formatNP_.fill(device, "ZR8_ENCODER_FORMAT", "Encoder data format", kSetupTab, IP_RW, 0,
                   IPS_IDLE);
    for (size_t i = 0; i < 4; ++i) {
        calibrationNP_[i].fill(kCalibrationNames[i], kCalibrationFields[i]->name, "%.0f",
                               double(kCalibrationFields[i]->minimum),
                               double(kCalibrationFields[i]->maximum), 1, 0);
    }
    calibrationNP_.fill(device, "ZR8_CALIBRATION", "Encoder calibration", kSetupTab, IP_RW, 0,
                        IPS_IDLE);
    motorSP_[0].fill("RA_REVERSE", "RA reverse motor", ISS_OFF);
    motorSP_[1].fill("DEC_REVERSE", "Dec reverse motor", ISS_OFF);
    motorSP_.fill(device, "ZR8_MOTOR_REVERSE", "Motors", kSetupTab, IP_RW, ISR_NOFMANY, 0,
                  IPS_IDLE);
    storeSP_[0].fill("STORE", "Save settings into ZR", ISS_OFF);
    storeSP_.fill(device, "ZR8_STORE", "Store", kSetupTab, IP_RW, ISR_ATMOST1, 0, IPS_IDLE);
}

void SetupTab::define(INDI::DefaultDevice& device) {
    device.defineProperty(configTP_);
    device.defineProperty(readSP_);
    device.defineProperty(encodersTP_);
    device.defineProperty(formatNP_);
    device.defineProperty(calibrationNP_);
    device.defineProperty(motorSP_);
    device.defineProperty(storeSP_);
}

void SetupTab::remove(INDI::DefaultDevice& device) {
    for (const char* name :
         {configTP_.getName(), readSP_.getName(), encodersTP_.getName(), formatNP_.getName(),
          calibrationNP_.getName(), motorSP_.getName(), storeSP_.getName()})
        device.deleteProperty(name);
}

bool SetupTab::newSwitch(const char* name, ISState* states, char* names[], int n, iZR6Control& link,
                         const mount::MountState& state) {
    if (readSP_.isNameMatch(name)) {
        readSP_.reset();
        readSP_.setState(IPS_BUSY);
        readSP_.apply();
        link.readEncoders(0);
        return true;
    }
    if (storeSP_.isNameMatch(name)) {
        storeSP_.reset();
        storeSP_.setState(IPS_BUSY);
        storeSP_.apply();
        link.storeSettings();
        return true;
    }
    if (motorSP_.isNameMatch(name)) {
        // So does the motor reverse write.
        if (state.slewing) {
            motorSP_.setState(IPS_ALERT);
            motorSP_.apply("The mount is slewing: reverse a motor when it is Ready. %s",
                           rules::kNothingSent);
            return true;
        }
        motorSP_.update(states, names, n);
        const uint8_t bits = (motorSP_[0].getState() == ISS_ON ? kReverseRa : 0) |
                             (motorSP_[1].getState() == ISS_ON ? kReverseDec : 0);
        link.setMotorReverse(bits, state.mount.motorOption);
        motorSP_.setState(IPS_OK);
        motorSP_.apply();
        return true;
    }
    return false;
}

bool SetupTab::newNumber(const char* name, double values[], char* names[], int n, iZR6Control& link,
                         const mount::MountState&) {
    if (formatNP_.isNameMatch(name)) {
        double v[10];
        if (!takeChecked(formatNP_, kFormatFields, values, names, n, v)) return true;
        // Flags as the dialog makes them: 2 for Gray plus 1 for invert.
        const uint8_t format[8] = {
            static_cast<uint8_t>(byteOf(v[1]) * kFlagGrayFormat | byteOf(v[0]) * kFlagInvertData),
            byteOf(v[2]),
            byteOf(v[3]),
            byteOf(v[4]),
            static_cast<uint8_t>(byteOf(v[6]) * kFlagGrayFormat | byteOf(v[5]) * kFlagInvertData),
            byteOf(v[7]),
            byteOf(v[8]),
            byteOf(v[9])};
        link.setEncoderFormat(format);
        store(formatNP_, v, IPS_OK);  // the controller does not answer this write
        return true;
    }
    if (calibrationNP_.isNameMatch(name)) {
        double v[4];
        if (!takeChecked(calibrationNP_, kCalibrationFields, values, names, n, v)) return true;
        const uint8_t bits = (v[0] != 0 ? kReverseRa : 0) | (v[1] != 0 ? kReverseDec : 0);
        link.setEncoderCalibration(bits, rules::wordOf(static_cast<int64_t>(v[2])),
                                   rules::wordOf(static_cast<int64_t>(v[3])));
        store(calibrationNP_, v, IPS_BUSY);  // until "Encoder calibration parameters updated."
        return true;
    }
    return false;
}

void SetupTab::onStatus(int32_t code) {
    if (code == StatusCalibrationUpdated && calibrationNP_.getState() == IPS_BUSY) {
        calibrationNP_.setState(IPS_OK);
        calibrationNP_.apply();
    }
    if (storeSP_.getState() == IPS_BUSY &&
        (code == StatusParametersStored || code == StatusCommunicationError)) {
        storeSP_.setState(code == StatusParametersStored ? IPS_OK : IPS_ALERT);
        storeSP_.apply();
    }
}

void SetupTab::show(const mount::MountState& state) {
    const MountConfig& m = state.mount;
    const EncoderConfig& e = state.encoder;
    const std::string texts[6] = {std::to_string(m.raGearRatio),
                                  std::to_string(m.raMicrostepResolution),
                                  rules::countsPerRevolutionText(e.raBitsPerRev),
                                  std::to_string(m.decGearRatio),
                                  std::to_string(m.decMicrostepResolution),
                                  rules::countsPerRevolutionText(e.decBitsPerRev)};
    for (size_t i = 0; i < 6; ++i) configTP_[i].setText(texts[i]);
    configTP_.setState(IPS_OK);
    const double format[10] = {double(e.raFlags & kFlagInvertData),
                               double((e.raFlags & kFlagGrayFormat) != 0),
                               double(e.raLeadingBits),
                               double(e.raBitsPerRev),
                               double(e.raBitsForRevs),
                               double(e.decFlags & kFlagInvertData),
                               double((e.decFlags & kFlagGrayFormat) != 0),
                               double(e.decLeadingBits),
                               double(e.decBitsPerRev),
                               double(e.decBitsForRevs)};
    for (size_t i = 0; i < 10; ++i) formatNP_[i].setValue(format[i]);
    const double calibration[4] = {
        double((e.reverseEncoder & kReverseRa) != 0), double((e.reverseEncoder & kReverseDec) != 0),
        double(static_cast<uint32_t>(e.raOffset)), double(static_cast<uint32_t>(e.decOffset))};
    for (size_t i = 0; i < 4; ++i) calibrationNP_[i].setValue(calibration[i]);
    motorSP_[0].setState((m.reverseMotor & kReverseRa) ? ISS_ON : ISS_OFF);
    motorSP_[1].setState((m.reverseMotor & kReverseDec) ? ISS_ON : ISS_OFF);
}

void SetupTab::showEncoders(const mount::MountState& state) {
    const EncoderPositions& p = state.encoders;
    const std::string texts[6] = {std::to_string(p.raRaw),      std::to_string(p.raArcsec),
                                  rules::angleText(p.raArcsec), std::to_string(p.decRaw),
                                  std::to_string(p.decArcsec),  rules::angleText(p.decArcsec)};
    for (size_t i = 0; i < 6; ++i) encodersTP_[i].setText(texts[i]);
    encodersTP_.setState(IPS_OK);
    encodersTP_.apply();
    readSP_.setState(IPS_OK);
    readSP_.apply();
}

}  // namespace zr8::indi
