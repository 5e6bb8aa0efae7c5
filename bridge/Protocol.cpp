// Field reading and reply text (see Protocol.h).
#include "bridge/Protocol.h"

#include "util/Case.h"
#include "util/Numbers.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <cmath>
#include <cstdlib>

namespace Folio::Bridge {

namespace {

const TJsonValue* Field(const TJsonValue& object, std::u16string_view key)
{
    if (!object.IsObject()) {
        return nullptr;
    }
    const std::string name = Shared::Utf16ToUtf8(key);
    const auto it = object.FindMember(rapidjson::StringRef(name.data(), name.size()));
    return it == object.MemberEnd() ? nullptr : &it->value;
}

// Whether text reads as a number (integer or floating point), and its value.
std::optional<double> AsNumber(const std::u16string& text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    const std::string ascii = Shared::Utf16ToUtf8(text);
    char* end = nullptr;
    const double value = std::strtod(ascii.c_str(), &end);
    if (end != ascii.c_str() + ascii.size() || std::isspace(static_cast<unsigned char>(ascii[0]))) {
        if (const auto i = Shared::ParseStrictInteger(text)) { // "$1F" and "0x1F" read as numbers too
            return static_cast<double>(*i);
        }
        return std::nullopt;
    }
    if (!std::isfinite(value)) {
        return std::nullopt; // "inf" and "nan" are words here, not numbers
    }
    return value;
}

} // namespace

std::u16string FieldText(const TJsonValue& value, const char* target)
{
    switch (value.GetType()) {
    case rapidjson::kNullType: return {};
    case rapidjson::kFalseType: return u"false";
    case rapidjson::kTrueType: return u"true";
    case rapidjson::kStringType:
        return Shared::Utf8ToUtf16(std::string_view(value.GetString(), value.GetStringLength()));
    case rapidjson::kNumberType: // not produced while numbers are read as text; kept for other documents
        if (value.IsInt64()) {
            const auto n = std::to_string(value.GetInt64());
            return std::u16string(n.begin(), n.end());
        } else {
            const auto n = std::to_string(value.GetDouble());
            return std::u16string(n.begin(), n.end());
        }
    case rapidjson::kObjectType:
    case rapidjson::kArrayType: break;
    }
    throw EBridgeError(std::string("Conversion from ") + JsonKindName(value) + " to " + target + " is not supported");
}

std::u16string ReadDataText(const TJsonValue& data, std::u16string_view key, std::u16string_view Default)
{
    const TJsonValue* field = Field(data, key);
    if (!field || field->IsNull()) {
        return std::u16string(Default);
    }
    return FieldText(*field);
}

bool ReadDataBool(const TJsonValue& data, std::u16string_view key, bool Default)
{
    const TJsonValue* field = Field(data, key);
    if (!field || field->IsNull()) {
        return Default;
    }
    const std::u16string text = FieldText(*field, "boolean");
    if (const auto number = AsNumber(text)) {
        return *number != 0;
    }
    if (Shared::SameTextAscii(text, u"true")) {
        return true;
    }
    if (Shared::SameTextAscii(text, u"false")) {
        return false;
    }
    throw EBridgeError("'" + Shared::Utf16ToUtf8(text) + "' is not a valid boolean value");
}

std::optional<std::u16string> TryReadDataText(const TJsonValue& object, std::u16string_view key)
{
    const TJsonValue* field = Field(object, key);
    if (!field || field->IsObject() || field->IsArray()) {
        return std::nullopt;
    }
    return FieldText(*field);
}

std::u16string FormatReply(std::u16string_view uuid, bool success, std::u16string_view result)
{
    std::u16string reply = u"{\"uuid\": ";
    reply += Shared::TStrUtils::StringToJsonString(uuid);
    reply += success ? u", \"success\": true, \"result\": " : u", \"success\": false, \"result\": ";
    reply += result;
    reply += u"}";
    return reply;
}

} // namespace Folio::Bridge
