// The bridge's wire rules: how a function reads the fields of its data object, and the
// text of a reply. Reading failures raise EBridgeError; the dispatcher lets them end
// the handling of the message without a reply.
#pragma once

#include "bridge/Json.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Folio::Bridge {

class EBridgeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A field's text: a string's content, a number's text as written, "true"/"false", the
// empty text for null; an object or array raises "Conversion from %s to %s is not supported".
std::u16string FieldText(const TJsonValue& value, const char* target = "string");
// FieldText written over text, whose buffer is kept: the dispatcher reads every
// message's fields into the same strings.
void AssignFieldText(std::u16string& text, const TJsonValue& value, const char* target = "string");

// Absent or null: Default; otherwise the field's text.
std::u16string ReadDataText(const TJsonValue& data, std::u16string_view key, std::u16string_view Default = u"");
// ReadDataText written over text, whose buffer is kept.
void AssignDataText(std::u16string& text, const TJsonValue& data, std::u16string_view key,
                    std::u16string_view Default = u"");
// Absent or null: Default; a number is false when 0; "true"/"false" in any case;
// anything else raises "'%s' is not a valid boolean value".
bool ReadDataBool(const TJsonValue& data, std::u16string_view key, bool Default);
// Absent, an object or an array: nothing; null: the empty text; else the field's text.
std::optional<std::u16string> TryReadDataText(const TJsonValue& object, std::u16string_view key);

// {"uuid": "<uuid>", "success": true|false, "result": <result>} with the uuid written as
// a JSON string, so that no uuid can break the reply.
std::u16string FormatReply(std::u16string_view uuid, bool success, std::u16string_view result);
// FormatReply written over reply, whose buffer is kept.
void AssignReply(std::u16string& reply, std::u16string_view uuid, bool success, std::u16string_view result);

} // namespace Folio::Bridge
