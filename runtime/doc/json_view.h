// JSON view of a document in the shape of the reference implementation's toJS:
// maps as objects (keys ascending), lists as arrays, text as strings, counters and
// integers as numbers, timestamps as milliseconds, bytes as base64.
#pragma once

#include <nlohmann/json.hpp>

#include "runtime/doc/document.h"

namespace kivo::doc {

nlohmann::json to_json(const Document& doc, ObjId obj = ROOT);
nlohmann::json scalar_to_json(const ScalarValue& v);
std::string base64(const std::vector<uint8_t>& bytes);

}  // namespace kivo::doc
