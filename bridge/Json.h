// JSON for the bridge: RapidJSON over UTF-8, with numbers kept as the text they were
// written as (a function reads "640.7" as the page wrote it).
#pragma once

#include <rapidjson/document.h>

#include <optional>
#include <string>
#include <string_view>

namespace Folio::Bridge {

using TJsonDocument = rapidjson::Document;
using TJsonValue = rapidjson::Value;

// Parses a whole JSON text. Invalid JSON, or JSON followed by further text, gives
// nothing (an empty optional); numbers are kept as strings of their text.
std::optional<TJsonDocument> ParseJson(std::u16string_view text);

// "null", "boolean", "object", "array", "string" (numbers are read as their text): the
// kind's name in messages.
const char* JsonKindName(const TJsonValue& value);

} // namespace Folio::Bridge
