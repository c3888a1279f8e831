// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/configuration_fields.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "link/wire.h"
#include "ui/rules/encoder_format_form.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/typed_values.h"

namespace zr8::cli {

namespace {

// A number of one of the records; its range is that of the record's field.
template <typename Value, typename Record>
Field number(std::string pointer, std::string name, Record Configuration::*record,
             Value Record::*member, WritePart part = WritePart::None) {
    return {std::move(pointer),
            FieldKind::Number,
            std::move(name),
            std::numeric_limits<Value>::min(),
            std::numeric_limits<Value>::max(),
            part,
            [record, member](const Configuration& c) { return Json((c.*record).*member); },
            [record, member](Configuration& c, int64_t v) {
                (c.*record).*member = static_cast<Value>(v);
            }};
}

// A number a dialog takes: named and bounded by the dialog's own field.
template <typename Value>
Field typedNumber(std::string pointer, const rules::TypedField& typed, Value EncoderConfig::*member,
                  WritePart part) {
    Field f = number(std::move(pointer), typed.name, &Configuration::encoder, member, part);
    f.minimum = typed.minimum;
    f.maximum = typed.maximum;
    return f;
}

// One bit of a reverse byte, as a flag.
template <typename Record>
Field reverseFlag(std::string pointer, Record Configuration::*record, uint8_t Record::*member,
                  uint8_t bit, WritePart part) {
    return {std::move(pointer),
            FieldKind::Flag,
            {},
            0,
            1,
            part,
            [record, member, bit](const Configuration& c) {
                return Json(((c.*record).*member & bit) != 0);
            },
            [record, member, bit](Configuration& c, int64_t on) {
                uint8_t& bits = (c.*record).*member;
                bits = static_cast<uint8_t>(on ? bits | bit : bits & ~bit);
            }};
}

// `part`: the write it follows from, which makes it right.
Field derived(std::string pointer, WritePart part, std::function<Json(const Configuration&)> get) {
    return {std::move(pointer), FieldKind::Derived, {}, 0, 0, part, std::move(get), nullptr};
}

// Where one axis lives in the records.
struct AxisMembers {
    const char* key;    // "ra"
    const char* label;  // "RA"
    uint8_t bit;        // in the reverse bytes
    uint8_t MountConfig::*axisByte;
    uint32_t MountConfig::*gearRatio;
    uint32_t MountConfig::*microstepResolution;
    uint32_t MountConfig::*baseSpeed;
    uint32_t MountConfig::*speedFactor;
    // The motor block fields, named by their offset in the block.
    std::array<std::pair<int, uint8_t MountConfig::*>, 8> motorBytes;
    std::array<std::pair<int, uint16_t MountConfig::*>, 7> motorWords;
    uint32_t MountConfig::*motor23;
    uint8_t EncoderConfig::*flags;
    uint8_t EncoderConfig::*leadingBits;
    uint8_t EncoderConfig::*bitsPerRev;
    uint8_t EncoderConfig::*bitsForRevs;
    int32_t EncoderConfig::*offset;
    const rules::TypedField& leadingBitsField;
    const rules::TypedField& bitsPerRevField;
    const rules::TypedField& bitsForRevsField;
    const rules::TypedField& offsetField;
};

const AxisMembers kAxes[] = {
    {"ra",
     "RA",
     kReverseRa,
     &MountConfig::raAxisByte,
     &MountConfig::raGearRatio,
     &MountConfig::raMicrostepResolution,
     &MountConfig::raBaseSpeed,
     &MountConfig::raSpeedFactor,
     {{{11, &MountConfig::raMotor11},
       {12, &MountConfig::raMotor12},
       {13, &MountConfig::raMotor13},
       {14, &MountConfig::raMotor14},
       {15, &MountConfig::raMotor15},
       {16, &MountConfig::raMotor16},
       {17, &MountConfig::raMotor17},
       {22, &MountConfig::raMotor22}}},
     {{{2, &MountConfig::raMotor2},
       {3, &MountConfig::raMotor3},
       {5, &MountConfig::raMotor5},
       {7, &MountConfig::raMotor7},
       {9, &MountConfig::raMotor9},
       {18, &MountConfig::raMotor18},
       {20, &MountConfig::raMotor20}}},
     &MountConfig::raMotor23,
     &EncoderConfig::raFlags,
     &EncoderConfig::raLeadingBits,
     &EncoderConfig::raBitsPerRev,
     &EncoderConfig::raBitsForRevs,
     &EncoderConfig::raOffset,
     rules::kRaLeadingBitsField,
     rules::kRaBitsPerRevField,
     rules::kRaBitsForRevsField,
     rules::kRaOffsetField},
    {"dec",
     "Dec",
     kReverseDec,
     &MountConfig::decAxisByte,
     &MountConfig::decGearRatio,
     &MountConfig::decMicrostepResolution,
     &MountConfig::decBaseSpeed,
     &MountConfig::decSpeedFactor,
     {{{11, &MountConfig::decMotor11},
       {12, &MountConfig::decMotor12},
       {13, &MountConfig::decMotor13},
       {14, &MountConfig::decMotor14},
       {15, &MountConfig::decMotor15},
       {16, &MountConfig::decMotor16},
       {17, &MountConfig::decMotor17},
       {22, &MountConfig::decMotor22}}},
     {{{2, &MountConfig::decMotor2},
       {3, &MountConfig::decMotor3},
       {5, &MountConfig::decMotor5},
       {7, &MountConfig::decMotor7},
       {9, &MountConfig::decMotor9},
       {18, &MountConfig::decMotor18},
       {20, &MountConfig::decMotor20}}},
     &MountConfig::decMotor23,
     &EncoderConfig::decFlags,
     &EncoderConfig::decLeadingBits,
     &EncoderConfig::decBitsPerRev,
     &EncoderConfig::decBitsForRevs,
     &EncoderConfig::decOffset,
     rules::kDecLeadingBitsField,
     rules::kDecBitsPerRevField,
     rules::kDecBitsForRevsField,
     rules::kDecOffsetField},
};

void addAxis(std::vector<Field>& f, const AxisMembers& a) {
    const std::string root = std::string("/") + a.key + "/";
    const std::string label = std::string(a.label) + " ";
    const auto mount = &Configuration::mount;
    f.push_back(number(root + "axisByte", label + "axis byte", mount, a.axisByte));
    f.push_back(number(root + "gearRatio", label + "gear ratio", mount, a.gearRatio));
    f.push_back(number(root + "microstepResolution", label + "microstep resolution", mount,
                       a.microstepResolution));
    f.push_back(number(root + "baseSpeed", label + "base speed", mount, a.baseSpeed));
    // 16 bits on the wire, kept in a wider field.
    Field speedFactor = number(root + "speedFactor", label + "speed factor", mount, a.speedFactor);
    speedFactor.maximum = UINT16_MAX;
    f.push_back(std::move(speedFactor));
    f.push_back(derived(root + "maxSpeed", WritePart::None,
                        [base = a.baseSpeed, factor = a.speedFactor](const Configuration& c) {
                            // 32-bit product, wrapping as the link's
                            return Json(static_cast<uint32_t>(c.mount.*base * c.mount.*factor));
                        }));
    f.push_back(reverseFlag(root + "reverseMotor", mount, &MountConfig::reverseMotor, a.bit,
                            WritePart::MotorReverse));

    // The motor block in the order of its offsets.
    std::vector<Field> motor;
    std::vector<int> offsets;
    auto addMotor = [&](int offset, Field field) {
        const auto at = std::lower_bound(offsets.begin(), offsets.end(), offset);
        motor.insert(motor.begin() + (at - offsets.begin()), std::move(field));
        offsets.insert(at, offset);
    };
    for (const auto& [offset, member] : a.motorBytes) {
        const std::string n = std::to_string(offset);
        addMotor(offset, number(root + "motor/motor" + n, label + "motor " + n, mount, member));
    }
    for (const auto& [offset, member] : a.motorWords) {
        const std::string n = std::to_string(offset);
        Field word = number(root + "motor/motor" + n, label + "motor " + n, mount, member);
        if (offset == 2) word.maximum = UINT8_MAX;  // one byte on the wire
        addMotor(offset, std::move(word));
    }
    addMotor(23, number(root + "motor/motor23", label + "motor 23", mount, a.motor23));
    for (Field& m : motor) f.push_back(std::move(m));

    const WritePart format = WritePart::Format;
    f.push_back(number(root + "encoder/flags", label + "encoder flags", &Configuration::encoder,
                       a.flags, format));
    f.push_back(
        typedNumber(root + "encoder/leadingBits", a.leadingBitsField, a.leadingBits, format));
    f.push_back(typedNumber(root + "encoder/bitsPerRev", a.bitsPerRevField, a.bitsPerRev, format));
    f.push_back(
        typedNumber(root + "encoder/bitsForRevs", a.bitsForRevsField, a.bitsForRevs, format));
    f.push_back(derived(root + "encoder/countsPerRev", format,
                        [bits = a.bitsPerRev](const Configuration& c) {
                            return Json(countsPerRevolution(c.encoder.*bits));
                        }));
    f.push_back(reverseFlag(root + "encoder/reverse", &Configuration::encoder,
                            &EncoderConfig::reverseEncoder, a.bit, WritePart::Calibration));
    // Shown as the controller's unsigned word, taken in either spelling as
    // the dialog takes it.
    Field offset =
        typedNumber(root + "encoder/offset", a.offsetField, a.offset, WritePart::Calibration);
    offset.get = [member = a.offset](const Configuration& c) {
        return Json(static_cast<uint32_t>(c.encoder.*member));
    };
    offset.set = [member = a.offset](Configuration& c, int64_t v) {
        c.encoder.*member = rules::wordOf(v);
    };
    f.push_back(std::move(offset));
}

std::vector<Field> buildFields() {
    const auto mount = &Configuration::mount;
    std::vector<Field> f;
    f.push_back(
        number("/identity/identityWord", "Identity word", mount, &MountConfig::identityWord));
    f.push_back(number("/identity/reply2Word", "Reply-2 word", mount, &MountConfig::reply2Word));
    f.push_back(number("/identity/reply3Byte", "Reply-3 byte", mount, &MountConfig::reply3Byte));
    f.push_back(number("/motorOption", "Motor option", mount, &MountConfig::motorOption,
                       WritePart::MotorReverse));
    for (const AxisMembers& axis : kAxes) addAxis(f, axis);
    return f;
}

}  // namespace

std::string dotted(const std::string& pointer) {
    std::string name = pointer.substr(1);
    for (char& c : name) {
        if (c == '/') c = '.';
    }
    return name;
}

const std::vector<Field>& fields() {
    static const std::vector<Field> table = buildFields();
    return table;
}

}  // namespace zr8::cli
