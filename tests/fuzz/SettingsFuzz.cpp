// libFuzzer target: settings files and their checks, and the PE image end.
#include "package/AppSettings.h"
#include "package/PeImage.h"
#include "package/SettingsCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Folio::Shared::TAppSettings settings;
    settings.LoadFromBytes({reinterpret_cast<const char*>(data), size});
    settings.ReadInteger(u"App", u"Width", 800);
    settings.ReadBool(u"App", u"AllowZoom", false);
    Folio::Shared::CheckSettings(settings);
    Folio::Shared::PeImageEnd({data, size});
    return 0;
}
