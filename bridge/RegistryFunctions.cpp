// Registry functions (ids 13001-13006): string values below HKEY_CURRENT_USER. A key
// that is empty once its leading backslash is dropped would name the whole hive, so it
// is refused like a missing one.
#include "bridge/BrowserExternalModule.h"
#include "bridge/Protocol.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

namespace Folio::Bridge {

using Platform::TRegistryRead;
using Platform::TRegistryWrite;
using Shared::TStrUtils;

namespace {

std::u16string Json(std::u16string_view text) { return TStrUtils::StringToJsonString(text); }

[[noreturn]] void Escape(const char* format, const std::u16string& name)
{
    std::string text = format;
    text.replace(text.find("%s"), 2, Shared::Utf16ToUtf8(name));
    throw EBridgeError(text);
}

} // namespace

std::optional<std::u16string> TBrowserExternalModule::RequiredKey(const std::u16string& uuid, const TJsonValue& data)
{
    std::u16string key = ReadDataText(data, u"key");
    if (!key.empty() && key.front() == u'\\') {
        key.erase(0, 1);
    }
    if (key.empty()) {
        ReplyFailure(uuid, Json(u"Missing registry key."));
        return std::nullopt;
    }
    return key;
}

std::optional<std::pair<std::u16string, std::u16string>>
TBrowserExternalModule::RequiredValue(const std::u16string& uuid, const TJsonValue& data)
{
    auto key = RequiredKey(uuid, data);
    if (!key) {
        return std::nullopt;
    }
    auto name = ReadDataText(data, u"name");
    if (name.empty()) {
        ReplyFailure(uuid, Json(u"Missing value name."));
        return std::nullopt;
    }
    return std::pair{std::move(*key), std::move(name)};
}

void TBrowserExternalModule::RegistryWriteValue(const std::u16string& uuid, const TJsonValue& data)
{
    const auto value = RequiredValue(uuid, data);
    if (!value) {
        return;
    }
    const auto text = ReadDataText(data, u"value");
    const auto written = FPorts.Registry ? FPorts.Registry->WriteString(value->first, value->second, text)
                                         : TRegistryWrite::NoKey;
    if (written == TRegistryWrite::Failed) {
        Escape("Failed to set data for '%s'", value->second);
    }
    ReplySuccess(uuid, written == TRegistryWrite::Written ? u"true" : u"false");
}

void TBrowserExternalModule::RegistryReadValue(const std::u16string& uuid, const TJsonValue& data)
{
    const auto value = RequiredValue(uuid, data);
    if (!value) {
        return;
    }
    const auto read = FPorts.Registry ? FPorts.Registry->ReadString(value->first, value->second)
                                      : Platform::TRegistryValue{};
    if (read.Kind == TRegistryRead::NotText) {
        Escape("Invalid data type for '%s'", value->second);
    }
    if (read.Kind == TRegistryRead::Failed) {
        Escape("Failed to get data for '%s'", value->second);
    }
    ReplySuccess(uuid, Json(read.Kind == TRegistryRead::Text ? read.Text : u""));
}

void TBrowserExternalModule::RegistryValueExist(const std::u16string& uuid, const TJsonValue& data)
{
    if (const auto value = RequiredValue(uuid, data)) {
        const bool exists = FPorts.Registry && FPorts.Registry->ValueExists(value->first, value->second);
        ReplySuccess(uuid, exists ? u"true" : u"false");
    }
}

void TBrowserExternalModule::RegistryDeleteValue(const std::u16string& uuid, const TJsonValue& data)
{
    if (const auto value = RequiredValue(uuid, data)) {
        const bool deleted = FPorts.Registry && FPorts.Registry->DeleteValue(value->first, value->second);
        ReplySuccess(uuid, deleted ? u"true" : u"false");
    }
}

void TBrowserExternalModule::RegistryKeyExist(const std::u16string& uuid, const TJsonValue& data)
{
    if (const auto key = RequiredKey(uuid, data)) {
        ReplySuccess(uuid, FPorts.Registry && FPorts.Registry->KeyExists(*key) ? u"true" : u"false");
    }
}

void TBrowserExternalModule::RegistryDeleteKey(const std::u16string& uuid, const TJsonValue& data)
{
    if (const auto key = RequiredKey(uuid, data)) {
        const bool deleted = FPorts.Registry && FPorts.Registry->KeyExists(*key) && FPorts.Registry->DeleteKey(*key);
        ReplySuccess(uuid, deleted ? u"true" : u"false");
    }
}

} // namespace Folio::Bridge
