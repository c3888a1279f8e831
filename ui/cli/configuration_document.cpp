// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/configuration_document.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "ui/cli/configuration_fields.h"
#include "ui/rules/typed_values.h"

namespace zr8::cli {

namespace {

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
        case FieldKind::Flag:
            if (!value.is_boolean()) {
                error = name + ": must be true or false, not " + typeName(value);
                return std::nullopt;
            }
            f.set(c, value.get<bool>() ? 1 : 0);
            break;
        case FieldKind::Number: {
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
        case FieldKind::Derived:
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
