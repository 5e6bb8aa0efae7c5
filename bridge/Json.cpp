// Bridge JSON (see Json.h).
#include "bridge/Json.h"

#include "util/TextCodecs.h"

namespace Folio::Bridge {

std::optional<TJsonDocument> ParseJson(std::u16string_view text)
{
    // The UTF-8 form: RapidJSON's number-as-string mode mis-reads its UTF-16 encodings.
    const std::string utf8 = Shared::Utf16ToUtf8(text);
    TJsonDocument document;
    // Iterative: the page decides how deep its message nests, the stack must not.
    document.Parse<rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseValidateEncodingFlag |
                   rapidjson::kParseIterativeFlag>(utf8.data(), utf8.size());
    if (document.HasParseError()) {
        return std::nullopt;
    }
    return document;
}

const char* JsonKindName(const TJsonValue& value)
{
    switch (value.GetType()) {
    case rapidjson::kNullType: return "null";
    case rapidjson::kFalseType:
    case rapidjson::kTrueType: return "boolean";
    case rapidjson::kObjectType: return "object";
    case rapidjson::kArrayType: return "array";
    case rapidjson::kStringType: return "string";
    case rapidjson::kNumberType: return "number";
    }
    return "unknown";
}

} // namespace Folio::Bridge
