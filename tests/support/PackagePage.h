// A package that has the page the tests' messages come from ("file:///index.html"):
// the bridge answers only pages of the package, so a test that talks to it as the page
// gives the module this archive and these settings. More entries may be added.
#pragma once

#include "package/AppSettings.h"
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace FolioTest {

struct TPackagePage {
    Folio::Shared::TZipArchive Archive;
    Folio::Shared::TAppSettings Settings;
    std::string Bytes;

    explicit TPackagePage(const std::vector<std::pair<std::string, std::string>>& more = {})
    {
        const std::string ini = "[App]\nID=test\nName=Test\nDirName=web\n";
        std::ostringstream zip;
        Folio::Shared::TZipWriter writer(zip, {"pw", false});
        writer.AddBytes("kiv.ini", ini, 0x5A210000);
        writer.AddBytes("web/index.html", "<p>page</p>", 0x5A210000);
        for (const auto& [name, bytes] : more) {
            writer.AddBytes(name, bytes, 0x5A210000);
        }
        writer.Finish();
        Bytes = zip.str();
        Archive.SetPasswordBytes("pw");
        Archive.Open({reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size()});
        Settings.LoadFromBytes(ini);
    }
    TPackagePage(const TPackagePage&) = delete;
    TPackagePage& operator=(const TPackagePage&) = delete;
};

} // namespace FolioTest
