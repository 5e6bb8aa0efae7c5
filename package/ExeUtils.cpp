// The appended package (see ExeUtils.h).
#include "package/ExeUtils.h"

#include "platform/RunningModule.h"
#include "util/TextCodecs.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace Folio::Shared {

namespace {

std::filesystem::path PathOf(const std::u16string& path) { return std::filesystem::path(path); }

std::string Describe(const std::u16string& path) { return Utf16ToUtf8(path); }

} // namespace

TExeUtils::TExeUtils()
{
    const auto image = Platform::CurrentModuleImage();
    FExePath = image.Path;
    FImageEnd = image.ImageEnd;
}

TExeUtils::TExeUtils(std::u16string exePath, uint64_t imageEnd) : FExePath(std::move(exePath)), FImageEnd(imageEnd)
{
}

int64_t TExeUtils::GetFileSize64(const std::u16string& Path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(PathOf(Path), ec);
    if (ec || !std::filesystem::exists(status)) {
        return -1;
    }
    if (std::filesystem::is_directory(status)) {
        return 0;
    }
    const auto size = std::filesystem::file_size(PathOf(Path), ec);
    return ec ? -1 : static_cast<int64_t>(size);
}

int64_t TExeUtils::AttachedSize() const
{
    const int64_t size = GetFileSize64(FExePath);
    if (size < 0) {
        return 0;
    }
    return size - static_cast<int64_t>(FImageEnd);
}

bool TExeUtils::ExeHasAttachedStub() const { return AttachedSize() > 0; }

void TExeUtils::NothingAttached()
{
    if (OnNothingAttached) {
        OnNothingAttached();
        throw EFileError("no package is attached to " + Describe(FExePath));
    }
    Platform::ReportNothingAttachedAndExit();
}

template <typename Sink>
void TExeUtils::CopyAttached(Sink&& sink, int64_t size)
{
    std::ifstream in(PathOf(FExePath), std::ios::binary);
    if (!in) {
        throw EFileError("cannot open " + Describe(FExePath));
    }
    in.seekg(static_cast<std::streamoff>(FImageEnd));
    if (OnProgressMax) {
        OnProgressMax(this, size);
    }
    std::vector<char> buffer(ChunkSize);
    int64_t total = 0;
    while (total < size) {
        in.read(buffer.data(), static_cast<std::streamsize>(std::min<int64_t>(ChunkSize, size - total)));
        const auto got = in.gcount();
        if (got <= 0) {
            // The file shrank while it was read.
            throw EFileError("unexpected end of " + Describe(FExePath));
        }
        sink(reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<size_t>(got));
        total += got;
        if (OnProgressPos) {
            OnProgressPos(this, total);
        }
    }
}

void TExeUtils::GetZipFromExe(TMemoryStream& MemoryStream)
{
    const int64_t size = AttachedSize();
    if (size == 0) {
        NothingAttached();
    }
    if (size < 0) {
        throw EFileError(Describe(FExePath) + " is shorter than its own image");
    }
    MemoryStream.SetPosition(0);
    MemoryStream.Buffer().reserve(static_cast<size_t>(size));
    CopyAttached([&](const uint8_t* bytes, size_t n) { MemoryStream.Write(bytes, n); }, size);
}

void TExeUtils::ExtractZipFromExe(const std::u16string& ZipPath)
{
    const int64_t size = AttachedSize();
    if (size == 0) {
        NothingAttached();
    }
    if (size < 0) {
        throw EFileError(Describe(FExePath) + " is shorter than its own image");
    }
    std::ofstream out(PathOf(ZipPath), std::ios::binary | std::ios::trunc);
    if (!out) {
        throw EFileError("cannot create " + Describe(ZipPath));
    }
    CopyAttached(
        [&](const uint8_t* bytes, size_t n) {
            out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
            if (!out) {
                throw EFileError("cannot write " + Describe(ZipPath));
            }
        },
        size);
}

void TExeUtils::AppendZipToExe(const std::u16string& ZipPath, const std::u16string& ExePath)
{
    std::ifstream in(PathOf(ZipPath), std::ios::binary);
    if (!in) {
        throw EFileError("cannot open " + Describe(ZipPath));
    }
    std::fstream out(PathOf(ExePath), std::ios::binary | std::ios::in | std::ios::out);
    if (!out) {
        throw EFileError("cannot open " + Describe(ExePath) + " for writing");
    }
    out.seekp(0, std::ios::end);
    const int64_t size = GetFileSize64(ZipPath);
    if (OnProgressMax) {
        OnProgressMax(this, size);
    }
    std::vector<char> buffer(ChunkSize);
    int64_t total = 0;
    while (total < size) {
        in.read(buffer.data(), static_cast<std::streamsize>(std::min<int64_t>(ChunkSize, size - total)));
        const auto got = in.gcount();
        if (got <= 0) {
            throw EFileError("unexpected end of " + Describe(ZipPath));
        }
        out.write(buffer.data(), got);
        if (!out) {
            throw EFileError("cannot write " + Describe(ExePath));
        }
        total += got;
        if (OnProgressPos) {
            OnProgressPos(this, total);
        }
    }
    out.flush();
    if (!out) {
        throw EFileError("cannot write " + Describe(ExePath));
    }
}

} // namespace Folio::Shared
