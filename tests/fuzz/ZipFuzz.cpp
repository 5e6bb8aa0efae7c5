// libFuzzer target: open an archive and read its entries, as start-up and the packer do.
// Input that does not open as an archive goes straight to each method's decoder too, so
// every decoder meets mutated streams whatever the archive structure around them.
// PPMd's model takes a size of the target's choosing there (see PpmdModel.h).
#include "package/PpmdModel.h"
#include "package/ZipArchive.h"
#include "package/ZipMethods.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace Folio::Shared;
    TZipArchive zip;
    zip.SetPasswordBytes("pw");
    if (zip.Open({data, size}) != ZipError::None) {
        // The first byte picks the size the stream must decode to (under 16 KiB: fast runs).
        if (size > 1) {
            const uint64_t expected = uint64_t(data[0]) * 64;
            for (const uint16_t method : {kMethodDeflate64, kMethodBzip2, kMethodLzma}) {
                std::vector<uint8_t> out;
                TMethodOutput output(out, std::min(expected, MethodMaxSize(method, size - 1)));
                const auto status = DecodeMethod(method, 2, {data + 1, size - 1}, output);
                output.Finish(status == ZipEntryStatus::Ok);
            }
            // PPMd with a model of 16 to 64 KiB instead of the megabytes the stream asks for:
            // these outputs fill it, so restarts and cut-offs meet mutated input too (and no
            // run pays for sanitizer bookkeeping over 256 MiB).
            std::vector<uint8_t> out;
            TMethodOutput output(out, std::min(expected, MethodMaxSize(kMethodPpmd, size - 1)));
            const uint32_t memory = (16u << 10) * (1 + (data[0] & 3));
            output.Finish(Ppmd::Decode({data + 1, size - 1}, output, memory) == ZipEntryStatus::Ok);
        }
        return 0;
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < zip.Count() && i < 64; ++i) {
        out.clear();
        zip.Read(i, out);
        zip.Find(zip.Name(i));
    }
    TMemoryStream stream;
    zip.Extract(u"kiv.ini", stream);
    return 0;
}
