// The resource formats the packer writes into a runtime before it appends the package:
// icon files and icon groups, and version information. Pure byte work; the platform's
// resource editor puts the results into the executable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Shared {

struct TIconImage {
    uint8_t Width = 0, Height = 0, ColorCount = 0;
    uint16_t Planes = 0, BitCount = 0;
    std::string Data; // the image as it stands in the .ico file (DIB or PNG)
};

// The images of an .ico file; throws EFileError when the file is not a valid icon.
std::vector<TIconImage> ParseIcoFile(std::string_view bytes);
// An RT_GROUP_ICON resource naming the images as RT_ICON ids firstId, firstId + 1, ...
std::string BuildIconGroup(const std::vector<TIconImage>& images, uint16_t firstId);
// The RT_ICON ids an RT_GROUP_ICON resource names (none when it is damaged).
std::vector<uint16_t> IconIdsOfGroup(std::string_view group);

// The standard version-information strings.
struct TExeInfo {
    std::u16string CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, LegalTrademarks,
        OriginalFilename, ProductName, ProductVersion, Comments, PrivateBuild;
};

// A VS_VERSIONINFO resource for US English, Unicode (translation 0409 04B0), with the
// fixed file and product versions read from FileVersion and ProductVersion ("1.2.3.4";
// missing or unreadable parts are 0). Empty strings are left out.
std::string BuildVersionInfo(const TExeInfo& info);

} // namespace Folio::Shared
