// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controller's whole configuration as zr8ctl shows and keeps it in JSON:
// every field the link reads on connect, each under a fixed path, in one
// table that `info`, `backup`, `diff` and `restore` share. The shape is
// documented in docs/zr8ctl-backup.schema.json ("controller").
//
// Field paths are JSON pointers ("/ra/encoder/offset"); messages name them
// with dots ("ra.encoder.offset").

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "link/records.h"

namespace zr8::cli {

// Objects keep their members in the order they were made, so documents
// read as the table runs.
using Json = nlohmann::ordered_json;
// What is read: members sorted by name, so that a document of many members
// is read in n log n, not n squared.
using JsonInput = nlohmann::json;

// A JSON number that is a whole number (1 and 1.0 alike, as JSON Schema
// takes them), as the decimal text of that number; for any other number its
// own text, which a typed-value check then refuses.
std::string wholeNumberText(const JsonInput& number);

// A member's name as a message shows it: shortened, and with no control
// character that could steer a terminal.
std::string shownName(const std::string& key);

struct Configuration {
    MountConfig mount;
    EncoderConfig encoder;
};

// The "controller" object.
Json configurationJson(const Configuration& configuration);

// Reads a "controller" object. Every field must be there and nothing else;
// each number is checked against what its field holds on the wire (the
// dialogs' own checks where a dialog takes the value), and the derived
// fields must follow from the others. Nothing, with `error` naming the
// field, otherwise. Only the known paths are walked: a member that is not
// one is refused without being looked into, however deep it goes.
std::optional<Configuration> readConfigurationJson(const JsonInput& object, std::string& error);

// The write that sets a field, or what it follows from; restore makes all
// three.
enum class WritePart { None, Format, Calibration, MotorReverse };

struct Difference {
    std::string field;  // "ra.encoder.offset"
    Json file;
    Json controller;
    bool writable = false;  // part is not None
    WritePart part = WritePart::None;
};

// Field by field, in the table's order.
std::vector<Difference> differences(const Configuration& file, const Configuration& controller);

}  // namespace zr8::cli
