// Field reading and reply text (see Protocol.h).
#include "bridge/Protocol.h"

#include "util/Case.h"
#include "util/Numbers.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Folio::Bridge {

namespace {

const TJsonValue* Field(const TJsonValue& object, std::u16string_view key)
{
    if (!object.IsObject()) {
        return nullptr;
    }
    // The functions' keys are short ASCII names: narrowed on the stack, not converted.
    char ascii[32];
    const bool plain =
        key.size() <= sizeof ascii && std::all_of(key.begin(), key.end(), [](char16_t c) { return c < 0x80; });
    std::string converted;
    if (plain) {
        std::copy(key.begin(), key.end(), ascii);
    } else {
        converted = Shared::Utf16ToUtf8(key);
    }
    // A value, not a string reference: that would convert to a pointer and be read up to a NUL.
    const TJsonValue name(plain ? rapidjson::StringRef(ascii, key.size())
                                : rapidjson::StringRef(converted.data(), converted.size()));
    const auto it = object.FindMember(name);
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

// UTF-8 text (valid: the parser checked it) written over text. ASCII, the usual case,
// is widened in place; anything else goes through the general conversion.
void AssignUtf16(std::u16string& text, std::string_view utf8)
{
    if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        text = Shared::Utf8ToUtf16(utf8);
        return;
    }
    // Not assign(first, last): from another character type that builds a temporary string.
    text.resize(utf8.size());
    std::copy(utf8.begin(), utf8.end(), text.begin());
}

} // namespace

std::u16string FieldText(const TJsonValue& value, const char* target)
{
    std::u16string text;
    AssignFieldText(text, value, target);
    return text;
}

void AssignFieldText(std::u16string& text, const TJsonValue& value, const char* target)
{
    switch (value.GetType()) {
    case rapidjson::kNullType: text.clear(); return;
    case rapidjson::kFalseType: text.assign(u"false"); return;
    case rapidjson::kTrueType: text.assign(u"true"); return;
    case rapidjson::kStringType:
        AssignUtf16(text, std::string_view(value.GetString(), value.GetStringLength()));
        return;
    case rapidjson::kNumberType: // not produced while numbers are read as text; kept for other documents
        if (value.IsInt64()) {
            const auto n = std::to_string(value.GetInt64());
            text.assign(n.begin(), n.end());
        } else {
            const auto n = std::to_string(value.GetDouble());
            text.assign(n.begin(), n.end());
        }
        return;
    case rapidjson::kObjectType:
    case rapidjson::kArrayType: break;
    }
    throw EBridgeError(std::string("Conversion from ") + JsonKindName(value) + " to " + target + " is not supported");
}

std::u16string ReadDataText(const TJsonValue& data, std::u16string_view key, std::u16string_view Default)
{
    std::u16string text;
    AssignDataText(text, data, key, Default);
    return text;
}

void AssignDataText(std::u16string& text, const TJsonValue& data, std::u16string_view key,
                    std::u16string_view Default)
{
    const TJsonValue* field = Field(data, key);
    if (!field || field->IsNull()) {
        text.assign(Default);
        return;
    }
    AssignFieldText(text, *field);
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
    std::u16string reply;
    AssignReply(reply, uuid, success, result);
    return reply;
}

void AssignReply(std::u16string& reply, std::u16string_view uuid, bool success, std::u16string_view result)
{
    constexpr std::u16string_view head = u"{\"uuid\": ";
    const std::u16string_view middle =
        success ? u", \"success\": true, \"result\": " : u", \"success\": false, \"result\": ";
    // A uuid of plain characters (the page's are hex digits and dashes) is its own JSON
    // text between quotes; any other takes the general quoting.
    const bool plain = std::all_of(uuid.begin(), uuid.end(), [](char16_t c) {
        return c >= 0x20 && c < 0x20AC && c != u'"' && c != u'\\' && c != u'/';
    });
    if (!plain) {
        reply.assign(head);
        reply += Shared::TStrUtils::StringToJsonString(uuid);
        reply += middle;
        reply += result;
        reply += u'}';
        return;
    }
    reply.resize(head.size() + uuid.size() + 2 + middle.size() + result.size() + 1);
    char16_t* w = std::copy(head.begin(), head.end(), reply.data());
    *w++ = u'"';
    w = std::copy(uuid.begin(), uuid.end(), w);
    *w++ = u'"';
    w = std::copy(middle.begin(), middle.end(), w);
    w = std::copy(result.begin(), result.end(), w);
    *w = u'}';
}

} // namespace Folio::Bridge
