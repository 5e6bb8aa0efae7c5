// libFuzzer target: open an archive and read its entries, as start-up and the packer do,
// whole, streamed and piece by piece, which must agree.
// Input that does not open as an archive goes straight to each method's decoder too, so
// every decoder meets mutated streams whatever the archive structure around them; bzip2
// also with its blocks on threads, whose result must be the sequential one, and block by
// block through our own decoder, whose bytes must be libbz2's. PPMd's model takes a size
// of the target's choosing there (see PpmdModel.h), and its payload comes both whole and
// in tiny pieces.
#include "package/Bzip2Blocks.h"
#include "package/Bzip2Fast.h"
#include "package/PpmdModel.h"
#include "package/ZipArchive.h"
#include "package/ZipEntryReader.h"
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
                const uint64_t claim = std::min(expected, MethodMaxSize(method, size - 1));
                TMethodOutput output(out, claim);
                const auto status = DecodeMethod(method, 2, {data + 1, size - 1}, output);
                output.Finish(status == ZipEntryStatus::Ok);
                // Again from pieces of 1 to 8 bytes into reads of 37: the same status and,
                // when it reads, the same bytes.
                TMethodSource source({data + 1, size - 1}, nullptr, 1 + data[0] % 8);
                const auto decoder = OpenMethod(method, 2, source, claim);
                std::vector<uint8_t> pieces;
                uint8_t buffer[37];
                while (const size_t n = decoder->Read(buffer, sizeof buffer)) {
                    pieces.insert(pieces.end(), buffer, buffer + n);
                }
                if (decoder->Status() != status || (status == ZipEntryStatus::Ok && pieces != out)) {
                    __builtin_trap();
                }
            }
            const std::span<const uint8_t> in(data + 1, size - 1);
            const uint64_t claim = std::min(expected, MethodMaxSize(kMethodBzip2, size - 1));
            std::vector<uint8_t> sequential, threaded;
            TMethodOutput one(sequential, claim), two(threaded, claim);
            const auto first = DecodeBzip2Sequential(in, one);
            const auto second = DecodeBzip2(in, two, TBzip2Settings{2, 0});
            one.Finish(first == ZipEntryStatus::Ok);
            two.Finish(second == ZipEntryStatus::Ok);
            if (first != second || sequential != threaded) {
                __builtin_trap();
            }
            // Our own block decoder, 1 to 4 blocks at a time: a block it decodes is libbz2's
            // bytes. Its scratch memory stays, as on a decoding thread.
            if (const auto blocks = FindBzip2Blocks(in)) {
                static TBzip2Scratch scratch;
                const size_t group = 1 + data[0] % 4, limit = size_t(1) << 16;
                std::vector<std::vector<uint8_t>> outs(group);
                std::vector<uint8_t> reference;
                for (size_t at = 0; at < blocks->size(); at += group) {
                    const auto some = std::span(*blocks).subspan(at, std::min(group, blocks->size() - at));
                    if (!DecodeBzip2BlocksFast(in, some, limit, outs, scratch)) {
                        continue;
                    }
                    for (size_t k = 0; k < some.size(); ++k) {
                        if (!DecodeBzip2Block(in, some[k], limit, reference) || reference != outs[k]) {
                            __builtin_trap();
                        }
                    }
                }
            }
            // PPMd with a model of 16 to 64 KiB instead of the megabytes the stream asks for:
            // these outputs fill it, so restarts and cut-offs meet mutated input too (and no
            // run pays for sanitizer bookkeeping over 256 MiB). Read from the payload whole
            // and from pieces of 1 to 8 bytes, which must agree.
            const uint32_t memory = (16u << 10) * (1 + (data[0] & 3));
            const uint64_t ppmdClaim = std::min(expected, MethodMaxSize(kMethodPpmd, size - 1));
            std::vector<uint8_t> ppmdWhole, ppmdPieces;
            TMethodSource whole(in), pieces(in, nullptr, 1 + (data[0] >> 2 & 7));
            TMethodOutput wholeOutput(ppmdWhole, ppmdClaim), piecesOutput(ppmdPieces, ppmdClaim);
            const auto wholeStatus = DecodeAll(Ppmd::Open(whole, ppmdClaim, memory).get(), wholeOutput);
            const auto piecesStatus = DecodeAll(Ppmd::Open(pieces, ppmdClaim, memory).get(), piecesOutput);
            wholeOutput.Finish(wholeStatus == ZipEntryStatus::Ok);
            piecesOutput.Finish(piecesStatus == ZipEntryStatus::Ok);
            if (wholeStatus != piecesStatus || ppmdWhole != ppmdPieces) {
                __builtin_trap();
            }
        }
        return 0;
    }
    std::vector<uint8_t> out, streamed;
    for (size_t i = 0; i < zip.Count() && i < 64; ++i) {
        out.clear();
        const auto status = zip.Read(i, out);
        zip.Find(zip.Name(i));
        // Streamed, the same status, and the same bytes when the entry reads.
        streamed.clear();
        const auto streamedStatus = zip.ReadTo(i, [&](std::span<const uint8_t> bytes) {
            streamed.insert(streamed.end(), bytes.begin(), bytes.end());
            return true;
        });
        if (streamedStatus != status || (status == ZipEntryStatus::Ok && streamed != out)) {
            __builtin_trap();
        }
        // Piece by piece from the middle, then from the start again.
        TZipEntryReader reader(zip, i);
        uint8_t piece[300];
        for (const uint64_t at : {reader.Size() / 2, uint64_t(0)}) {
            if (!reader.Seek(at)) {
                break;
            }
            const size_t n = reader.Read(piece, sizeof piece);
            if (status == ZipEntryStatus::Ok && n > 0 && !std::equal(piece, piece + n, out.begin() + long(at))) {
                __builtin_trap();
            }
        }
    }
    TMemoryStream stream;
    zip.Extract(u"kiv.ini", stream);
    return 0;
}
