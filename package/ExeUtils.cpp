// The appended package (see ExeUtils.h).
#include "package/ExeUtils.h"

#include "package/MappedFile.h"
#include "package/PeImage.h"
#include "platform/ResourceEditor.h"
#include "platform/RunningModule.h"
#include "util/Case.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace Folio::Shared {

namespace {

std::filesystem::path PathOf(const std::u16string& path) { return std::filesystem::path(path); }

std::string Describe(const std::u16string& path) { return Utf16ToUtf8(path); }

uint32_t Le32(const std::string& b, size_t at)
{
    return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

} // namespace

std::optional<TCertificateTable> LocateCertificateTable(std::span<const uint8_t> headers, uint64_t fileSize,
                                                        uint64_t imageEnd,
                                                        const std::function<std::string(uint64_t, size_t)>& readAt,
                                                        const std::string& name)
{
    const auto directory = PeSecurityDirectory(headers);
    if (!directory || (directory->Offset == 0 && directory->Size == 0)) {
        return std::nullopt;
    }
    const uint64_t offset = directory->Offset, size = directory->Size, end = offset + size;
    auto refuse = [&](const std::string& why) {
        throw EFileError(name + ": its certificate table (" + std::to_string(size) + " bytes at offset " +
                         std::to_string(offset) + ") " + why + "; the file is damaged or was changed after it was signed");
    };
    if (offset < imageEnd) {
        refuse("points inside the PE image, which ends at " + std::to_string(imageEnd));
    }
    if (size < 8 || size > kMaxCertificateTable) {
        refuse("has an absurd size");
    }
    if (offset >= fileSize || end > fileSize) {
        refuse("runs past the end of the file (" + std::to_string(fileSize) + " bytes)");
    }
    if (end < fileSize) {
        refuse("lies inside the appended data: " + std::to_string(fileSize - end) + " bytes follow it");
    }
    // One WIN_CERTIFICATE: its length (header included), revision 2.0, type PKCS#7
    // signed data, padded to 8 bytes. Further entries would follow it in the table.
    const std::string head = readAt(offset, 8);
    if (head.size() != 8) {
        refuse("cannot be read");
    }
    const uint32_t length = Le32(head, 0);
    const uint32_t revisionAndType = Le32(head, 4);
    if (revisionAndType != 0x00020200u) {
        refuse("does not hold an Authenticode signature");
    }
    if (length < 8 || length > size) {
        refuse("holds an entry of " + std::to_string(length) + " bytes, which does not fit in it");
    }
    if ((uint64_t(length) + 7) / 8 * 8 < size) {
        refuse("holds several entries (or bytes after its one signature)");
    }
    return TCertificateTable{offset, size};
}

std::optional<TCertificateTable> LocateCertificateTable(std::span<const uint8_t> file, uint64_t imageEnd,
                                                        const std::string& name)
{
    return LocateCertificateTable(
        file, file.size(), imageEnd,
        [&](uint64_t at, size_t n) {
            if (at > file.size() || file.size() - at < n) {
                return std::string();
            }
            return std::string(reinterpret_cast<const char*>(file.data() + at), n);
        },
        name);
}

uint64_t PackageEnd(std::span<const uint8_t> file, uint64_t imageEnd, const std::string& name)
{
    const auto table = LocateCertificateTable(file, imageEnd, name);
    return table ? table->Offset : file.size();
}

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

int64_t TExeUtils::AttachedSize(bool refuseBadTable) const
{
    const int64_t size = GetFileSize64(FExePath);
    if (size < 0) {
        return 0;
    }
    if (size <= static_cast<int64_t>(FImageEnd)) {
        return size - static_cast<int64_t>(FImageEnd);
    }
    // The headers and, when signed, the first bytes of the certificate table: read, not
    // mapped, as the package may be too large to map here.
    std::ifstream in(PathOf(FExePath), std::ios::binary);
    auto readAt = [&](uint64_t at, size_t n) {
        std::string bytes(n, '\0');
        in.clear();
        in.seekg(static_cast<std::streamoff>(at));
        in.read(bytes.data(), static_cast<std::streamsize>(n));
        bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        return bytes;
    };
    const std::string headers = readAt(0, static_cast<size_t>(std::min<int64_t>(size, 64 << 10)));
    try {
        const auto table = LocateCertificateTable({reinterpret_cast<const uint8_t*>(headers.data()), headers.size()},
                                                  static_cast<uint64_t>(size), FImageEnd, readAt, Describe(FExePath));
        return static_cast<int64_t>(table ? table->Offset : static_cast<uint64_t>(size)) -
               static_cast<int64_t>(FImageEnd);
    } catch (const EFileError&) {
        if (refuseBadTable) {
            throw;
        }
        return size - static_cast<int64_t>(FImageEnd);
    }
}

int64_t TExeUtils::PackageSize(std::span<const uint8_t> file) const
{
    return static_cast<int64_t>(PackageEnd(file, FImageEnd, Describe(FExePath))) - static_cast<int64_t>(FImageEnd);
}

bool TExeUtils::ExeHasAttachedStub() const { return AttachedSize(false) > 0; }

void TExeUtils::NothingAttached()
{
    if (OnNothingAttached) {
        OnNothingAttached();
        throw EFileError("no package is attached to " + Describe(FExePath));
    }
    Platform::ReportNothingAttachedAndExit();
}

template <typename Sink>
void TExeUtils::CopyChunks(std::istream& in, const std::u16string& source, int64_t size, Sink&& sink)
{
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
            throw EFileError("unexpected end of " + Describe(source));
        }
        sink(reinterpret_cast<const uint8_t*>(buffer.data()), static_cast<size_t>(got));
        total += got;
        if (OnProgressPos) {
            OnProgressPos(this, total);
        }
    }
}

template <typename Sink>
void TExeUtils::CopyAttached(Sink&& sink, int64_t size)
{
    std::ifstream in(PathOf(FExePath), std::ios::binary);
    if (!in) {
        throw EFileError("cannot open " + Describe(FExePath));
    }
    in.seekg(static_cast<std::streamoff>(FImageEnd));
    CopyChunks(in, FExePath, size, sink);
}

int64_t TExeUtils::RequireAttached()
{
    const int64_t size = AttachedSize(true);
    if (size == 0) {
        NothingAttached();
    }
    if (size < 0) {
        throw EFileError(Describe(FExePath) + " is shorter than its own image");
    }
    return size;
}

void TExeUtils::CheckMemoryLimit(int64_t size) const
{
    if (static_cast<uint64_t>(size) > FMemoryLimit) {
        throw EFileError("the package of " + Describe(FExePath) + " (" + std::to_string(size) +
                         " bytes) is too large to load: this process can hold at most " +
                         std::to_string(FMemoryLimit) + " bytes");
    }
}

std::span<const uint8_t> TExeUtils::MapZipFromExe(TMappedFile& mapping)
{
    CheckMemoryLimit(RequireAttached());
    mapping.Open(FExePath);
    const auto bytes = mapping.Bytes();
    // The file may have changed between the size check and the mapping: the package is
    // located again in the bytes mapped, which are the ones read.
    if (bytes.size() <= FImageEnd) {
        mapping.Close();
        throw EFileError(Describe(FExePath) + " has no package after its image");
    }
    int64_t size = 0;
    try {
        size = PackageSize(bytes);
    } catch (const EFileError&) {
        mapping.Close();
        throw;
    }
    if (size <= 0) {
        mapping.Close();
        throw EFileError(Describe(FExePath) + " has no package after its image");
    }
    if (static_cast<uint64_t>(size) > FMemoryLimit) {
        mapping.Close();
        CheckMemoryLimit(size);
    }
    return bytes.subspan(static_cast<size_t>(FImageEnd), static_cast<size_t>(size));
}

void TExeUtils::GetZipFromExe(TMemoryStream& MemoryStream)
{
    const int64_t size = RequireAttached();
    CheckMemoryLimit(size);
    MemoryStream.SetPosition(0);
    MemoryStream.Buffer().reserve(static_cast<size_t>(size));
    CopyAttached([&](const uint8_t* bytes, size_t n) { MemoryStream.Write(bytes, n); }, size);
}

void TExeUtils::ExtractZipFromExe(const std::u16string& ZipPath)
{
    const int64_t size = RequireAttached();
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
    CopyChunks(in, ZipPath, GetFileSize64(ZipPath), [&](const uint8_t* bytes, size_t n) {
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
        if (!out) {
            throw EFileError("cannot write " + Describe(ExePath));
        }
    });
    out.flush();
    if (!out) {
        throw EFileError("cannot write " + Describe(ExePath));
    }
}

namespace {

constexpr uint16_t kIcon = 3, kGroupIcon = 14, kVersion = 16;

Platform::Resource Change(uint16_t type, uint16_t id, std::u16string name, uint16_t language, std::string bytes,
                          bool remove)
{
    Platform::Resource r;
    r.Type.Id = type;
    r.Name.Id = id;
    r.Name.Name = std::move(name);
    r.Language = language;
    r.Bytes = std::move(bytes);
    r.Delete = remove;
    return r;
}

std::string ReadFileBytes(const std::u16string& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) {
        throw EFileError("cannot open " + Utf16ToUtf8(path));
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

void TExeUtils::ChangeExeIcon(const std::u16string& ExePath, const std::u16string& IcoPath)
{
    const auto images = ParseIcoFile(ReadFileBytes(IcoPath));
    try {
        std::vector<Platform::Resource> changes;
        uint16_t language = 0;
        for (const auto& group : Platform::ListResources(ExePath, kGroupIcon)) {
            if (!SameTextAscii(group.Name.Name, u"MAINICON")) {
                continue;
            }
            language = group.Language;
            for (const uint16_t id : IconIdsOfGroup(group.Bytes)) {
                changes.push_back(Change(kIcon, id, {}, group.Language, {}, true));
            }
        }
        uint32_t lastId = 0;
        for (const auto& icon : Platform::ListResources(ExePath, kIcon)) {
            lastId = std::max<uint32_t>(lastId, icon.Name.Id);
        }
        if (lastId + images.size() > 0xFFFF) {
            throw EFileError("no free icon resource ids are left in " + Utf16ToUtf8(ExePath));
        }
        const auto firstId = static_cast<uint16_t>(lastId + 1);
        for (size_t i = 0; i < images.size(); ++i) {
            changes.push_back(Change(kIcon, static_cast<uint16_t>(firstId + i), {}, language, images[i].Data, false));
        }
        changes.push_back(Change(kGroupIcon, 0, u"MAINICON", language, BuildIconGroup(images, firstId), false));
        Platform::UpdateResources(ExePath, changes);
    } catch (const EFileError&) {
        throw;
    } catch (const std::exception& e) {
        throw EFileError(e.what());
    }
}

void TExeUtils::UpdateExeInfo(const std::u16string& ExePath, const TExeInfo& Info)
{
    try {
        std::vector<Platform::Resource> changes;
        for (const auto& old : Platform::ListResources(ExePath, kVersion)) {
            changes.push_back(Change(kVersion, old.Name.Id, old.Name.Name, old.Language, {}, true));
        }
        changes.push_back(Change(kVersion, 1, {}, 0x0409, BuildVersionInfo(Info), false));
        Platform::UpdateResources(ExePath, changes);
    } catch (const EFileError&) {
        throw;
    } catch (const std::exception& e) {
        throw EFileError(e.what());
    }
}

} // namespace Folio::Shared
