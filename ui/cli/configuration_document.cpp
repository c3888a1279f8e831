// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/configuration_document.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <utility>

#include "link/wire.h"
#include "ui/rules/encoder_format_form.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/typed_values.h"

namespace zr8::cli {

namespace {

using json = Json;

enum class Kind {
    Number,   // checked with the rules' typed-value reading
    Flag,     // true or false
    Derived,  // follows from other fields; checked against them
};

struct Field {
    std::string pointer;
    Kind kind;
    std::string name;  // as a refusal names a Number
    int64_t minimum = 0;
    int64_t maximum = 0;
    WritePart part = WritePart::None;
    std::function<Json(const Configuration&)> get;
    std::function<void(Configuration&, int64_t)> set;  // Number and Flag (0 or 1)
};

std::string dotted(const std::string& pointer) {
    std::string name = pointer.substr(1);
    for (char& c : name) {
        if (c == '/') c = '.';
    }
    return name;
}

// A number of one of the records; its range is that of the record's field.
template <typename Value, typename Record>
Field number(std::string pointer, std::string name, Record Configuration::*record,
             Value Record::*member, WritePart part = WritePart::None) {
    return {std::move(pointer),
            Kind::Number,
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
            Kind::Flag,
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
    return {std::move(pointer), Kind::Derived, {}, 0, 0, part, std::move(get), nullptr};
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

const std::vector<Field>& fields() {
    static const std::vector<Field> table = buildFields();
    return table;
}

const char* typeName(const JsonInput& value) {
    if (value.is_number()) return "a number";
    if (value.is_object()) return "an object";
    if (value.is_array()) return "an array";
    return value.type_name();
}

// The members each object of the document may hold, by the object's path.
using Members = std::map<std::string, std::set<std::string>>;

const Members& knownMembers() {
    static const Members members = [] {
        Members m;
        for (const Field& f : fields()) {
            size_t slash = 0;
            while ((slash = f.pointer.find('/', slash + 1)) != std::string::npos) {
                const size_t parent = f.pointer.rfind('/', slash - 1);
                m[f.pointer.substr(0, parent)].insert(
                    f.pointer.substr(parent + 1, slash - parent - 1));
            }
            const size_t parent = f.pointer.rfind('/');
            m[f.pointer.substr(0, parent)].insert(f.pointer.substr(parent + 1));
        }
        return m;
    }();
    return members;
}

}  // namespace

std::string shownName(const std::string& key) {
    constexpr size_t kLongest = 40;
    std::string name = key.size() > kLongest ? key.substr(0, kLongest) + "..." : key;
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    return shown;
}

namespace {

// Every object on a known path is an object, and holds known members only.
bool onlyKnownMembers(const JsonInput& object, const std::string& path, std::string& error) {
    const Members& known = knownMembers();
    for (const auto& [key, value] : object.items()) {
        const auto names = known.find(path);
        const std::string child = path + "/" + key;
        if (names == known.end() || names->second.count(key) == 0) {
            error = (path.empty() ? "" : dotted(path) + ".") + shownName(key) +
                    ": not a field of a controller's configuration";
            return false;
        }
        if (known.count(child) == 0) continue;  // a field: checked by the table
        if (!value.is_object()) {
            error = dotted(child) + ": must be an object, not " + typeName(value);
            return false;
        }
        if (!onlyKnownMembers(value, child, error)) return false;
    }
    return true;
}

// Whether `value` is the number `expected`.
bool isNumber(const JsonInput& value, uint64_t expected) {
    if (value.is_number_unsigned()) return value.get<uint64_t>() == expected;
    if (value.is_number_integer()) {
        return value.get<int64_t>() >= 0 && static_cast<uint64_t>(value.get<int64_t>()) == expected;
    }
    return value.is_number_float() && value.get<double>() == static_cast<double>(expected);
}

}  // namespace

std::string wholeNumberText(const JsonInput& number) {
    if (number.is_number_float()) {
        const double v = number.get<double>();
        // Within what int64_t holds exactly as a double.
        if (std::trunc(v) == v && std::fabs(v) < 9.0e15) {
            return std::to_string(static_cast<int64_t>(v));
        }
    }
    return number.dump();
}

Json configurationJson(const Configuration& c) {
    Json object = Json::object();
    for (const Field& f : fields()) object[Json::json_pointer(f.pointer)] = f.get(c);
    return object;
}

std::optional<Configuration> readConfigurationJson(const JsonInput& object, std::string& error) {
    if (!object.is_object()) {
        error = std::string("must be an object, not ") + typeName(object);
        return std::nullopt;
    }
    if (!onlyKnownMembers(object, "", error)) return std::nullopt;
    Configuration c;
    std::vector<const Field*> derivedFields;
    for (const Field& f : fields()) {
        const std::string name = dotted(f.pointer);
        const JsonInput::json_pointer pointer(f.pointer);
        if (!object.contains(pointer)) {
            error = name + ": missing";
            return std::nullopt;
        }
        const JsonInput& value = object.at(pointer);
        switch (f.kind) {
        case Kind::Flag:
            if (!value.is_boolean()) {
                error = name + ": must be true or false, not " + typeName(value);
                return std::nullopt;
            }
            f.set(c, value.get<bool>() ? 1 : 0);
            break;
        case Kind::Number: {
            if (!value.is_number()) {
                error = name + ": must be a number, not " + typeName(value);
                return std::nullopt;
            }
            const rules::TypedField typed{0, f.name.c_str(), f.minimum, f.maximum};
            rules::Refusal refusal;
            const std::optional<int64_t> n =
                rules::readTyped(typed, wholeNumberText(value), rules::kNothingSent, refusal);
            if (!n) {
                error = name + ": " + refusal.message;
                return std::nullopt;
            }
            f.set(c, *n);
            break;
        }
        case Kind::Derived:
            if (!value.is_number()) {
                error = name + ": must be a number, not " + typeName(value);
                return std::nullopt;
            }
            derivedFields.push_back(&f);
            break;
        }
    }
    // Checked once everything they follow from has been read.
    for (const Field* f : derivedFields) {
        const JsonInput& value = object.at(JsonInput::json_pointer(f->pointer));
        const Json expected = f->get(c);
        if (!isNumber(value, expected.get<uint64_t>())) {
            error = dotted(f->pointer) + ": " + wholeNumberText(value) +
                    " does not follow from the other fields, which give " + expected.dump();
            return std::nullopt;
        }
    }
    return c;
}

std::vector<Difference> differences(const Configuration& file, const Configuration& controller) {
    std::vector<Difference> list;
    for (const Field& f : fields()) {
        Json a = f.get(file);
        Json b = f.get(controller);
        if (a != b) {
            list.push_back(
                {dotted(f.pointer), std::move(a), std::move(b), f.part != WritePart::None, f.part});
        }
    }
    return list;
}

}  // namespace zr8::cli
