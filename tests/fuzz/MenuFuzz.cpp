// libFuzzer target: the page's menu descriptions parsed, settled as drawn and searched,
// with an image for every name ending in ".png" and bytes that are no image for ".bad".
#include "bridge/MenuModel.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/TextCodecs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using Folio::Bridge::TMenuImageLookup;
    const auto images = [](const std::u16string& name) -> TMenuImageLookup {
        const auto endsWith = [&](std::u16string_view end) {
            return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
        };
        if (endsWith(u".png")) {
            return {true, std::make_shared<Folio::Probe::TRecordingMenus::TImage>(name.size())};
        }
        return {endsWith(u".bad"), nullptr};
    };
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto parsed = Folio::Bridge::ParseMenuDescription(Folio::Shared::Utf8ToUtf16(text), images, u',');
    if (parsed.Ok()) {
        const auto shown = Folio::Bridge::DisplayItems(parsed.Items);
        Folio::Bridge::FindMenuItem(parsed.Items, shown.empty() ? 0 : shown.back().Id);
    }
    return 0;
}
