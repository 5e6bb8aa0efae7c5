// The one argument method with more to it than a field: reading a web message as a string.
#include "tests/standin/EventArgs.h"

#include "util/TextCodecs.h"

#include <rapidjson/document.h>

namespace Folio::Standin {

HRESULT TWebMessageReceivedArgs::TryGetWebMessageAsString(LPWSTR* text) noexcept
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    try {
        rapidjson::Document message;
        const std::string json = Shared::Utf16ToUtf8(FJson);
        message.Parse(json.data(), json.size());
        if (message.HasParseError() || !message.IsString()) {
            return E_INVALIDARG;
        }
        return OutString(Shared::Utf8ToUtf16(std::string_view(message.GetString(), message.GetStringLength())), text);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace Folio::Standin
