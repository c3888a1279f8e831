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

struct Configuration {
    MountConfig mount;
    EncoderConfig encoder;
};

// The "controller" object.
Json configurationJson(const Configuration& configuration);

// Reads a "controller" object. Every field must be there and nothing else;
// each number is checked against what its field holds (the dialogs' own
// checks where a dialog takes the value), and the derived fields must follow
// from the others. Nothing, with `error` naming the field, otherwise.
std::optional<Configuration> readConfigurationJson(const Json& object, std::string& error);

struct Difference {
    std::string field;  // "ra.encoder.offset"
    Json file;
    Json controller;
    bool writable = false;  // restore writes it, or what it follows from
};

// Field by field, in the table's order.
std::vector<Difference> differences(const Configuration& file, const Configuration& controller);

// The field names `restore` writes, in the table's order.
std::vector<std::string> writableFields();

}  // namespace zr8::cli
