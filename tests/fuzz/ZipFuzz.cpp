// libFuzzer target: open an archive and read its entries, as start-up and the packer do.
#include "package/ZipArchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Folio::Shared::TZipArchive zip;
    zip.SetPasswordBytes("pw");
    if (zip.Open({data, size}) != Folio::Shared::ZipError::None) {
        return 0;
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < zip.Count() && i < 64; ++i) {
        out.clear();
        zip.Read(i, out);
        zip.Find(zip.Name(i));
    }
    Folio::Shared::TMemoryStream stream;
    zip.Extract(u"kiv.ini", stream);
    return 0;
}
