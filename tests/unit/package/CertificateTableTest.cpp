// The package of a signed executable: from the image end to the certificate table the
// security directory points at; tables that do not fit are refused with a message.
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "package/ZipArchive.h"
#include "tests/support/SignedPe.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// An end record of an empty archive inside the signature's blob: a reader that takes
// everything after the image finds it last and opens an archive without entries.
std::string DecoyBlob() { return std::string(40, 'S') + BuildZip({}).Bytes + std::string(3, 'S'); }

struct Signed {
    std::string File;
    size_t PackageEnd;
};

// Image, package, zeros to 8 bytes, then the table, as osslsigncode lays it out.
Signed SignedLayout(const std::string& package, const std::string& table)
{
    std::string file = BuildPe32() + package;
    file.resize((file.size() + 7) / 8 * 8, '\0');
    const size_t at = file.size();
    SetSecurityDirectory(file, static_cast<uint32_t>(at), static_cast<uint32_t>(table.size()));
    return {file + table, at};
}

std::string Package() { return BuildZip({Stored("a.txt", "package entry")}).Bytes; }

} // namespace

TEST(CertificateTable, ThePackageEndsWhereTheTableStarts)
{
    const auto s = SignedLayout(Package(), CertificateEntry(DecoyBlob()));
    const auto table = LocateCertificateTable(Span(s.File), 0x400, "App.exe");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Offset, s.PackageEnd);
    EXPECT_EQ(table->Offset + table->Size, s.File.size());
    EXPECT_EQ(PackageEnd(Span(s.File), 0x400, "App.exe"), s.PackageEnd);

    TZipArchive zip;
    ASSERT_EQ(zip.Open(Span(s.File).subspan(0x400, s.PackageEnd - 0x400)), ZipError::None);
    EXPECT_EQ(zip.Count(), 1u);

    // Unsigned: the package runs to the end of the file, as before.
    const std::string unsigned_ = BuildPe32() + Package();
    EXPECT_EQ(LocateCertificateTable(Span(unsigned_), 0x400, "App.exe"), std::nullopt);
    EXPECT_EQ(PackageEnd(Span(unsigned_), 0x400, "App.exe"), unsigned_.size());
    // Not a PE image with data directories (the older test images): unsigned.
    const std::string bare = BuildPe({{0x200, 0x200}}, 0x400) + Package();
    EXPECT_EQ(PackageEnd(Span(bare), 0x400, "App.exe"), bare.size());
}

TEST(CertificateTable, TablesThatDoNotFitAreRefusedWithAMessage)
{
    const std::string entry = CertificateEntry(DecoyBlob());
    const auto good = SignedLayout(Package(), entry);
    const uint32_t at = static_cast<uint32_t>(good.PackageEnd), size = static_cast<uint32_t>(entry.size());
    std::string badType = entry;
    badType[6] = 0x01; // WIN_CERT_TYPE_X509
    std::string tooLong = entry;
    Patch32(tooLong, 0, size + 8);
    const struct {
        const char* Name;
        std::string File;
        uint32_t Offset, Size;
        const char* Message;
    } cases[] = {
        {"inside the image", good.File, 0x200, size, "points inside the PE image, which ends at 1024"},
        {"inside the package", good.File + Package(), at, size, "lies inside the appended data: "},
        {"in the package, ending with the table", good.File, at - 64, size + 64,
         "does not hold an Authenticode signature"},
        {"past the end of the file", good.File, at, size + 8, "runs past the end of the file"},
        {"starting past the end", good.File, at + size + 16, 8, "runs past the end of the file"},
        {"absurd size", good.File, at, 0xFFFFFFF0u, "has an absurd size"},
        {"smaller than its header", good.File, at, 4, "has an absurd size"},
        {"several entries", good.File + CertificateEntry("second"), at, size + 16, "holds several entries"},
        {"not a signature", SignedLayout(Package(), badType).File, at, size, "does not hold an Authenticode signature"},
        {"entry longer than the table", SignedLayout(Package(), tooLong).File, at, size, "which does not fit in it"},
    };
    for (const auto& c : cases) {
        std::string file = c.File;
        SetSecurityDirectory(file, c.Offset, c.Size);
        try {
            PackageEnd(Span(file), 0x400, "App.exe");
            ADD_FAILURE() << c.Name << ": taken";
        } catch (const EFileError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("App.exe: its certificate table", 0), 0u) << c.Name << ": " << message;
            EXPECT_NE(message.find(c.Message), std::string::npos) << c.Name << ": " << message;
        }
    }
}

// The runtime's reader: the package mapped up to the table; a refused table ends the
// load with its message, and a signed runtime without a package has nothing attached.
TEST(CertificateTable, TheRuntimeReaderTakesThePackageUpToTheTable)
{
    TempDir dir;
    const auto s = SignedLayout(Package(), CertificateEntry(DecoyBlob()));
    WriteFile(dir / "signed.exe", s.File);
    TExeUtils exe((dir / "signed.exe").u16string(), 0x400);
    ASSERT_TRUE(exe.ExeHasAttachedStub());
    TMappedFile mapping;
    const auto package = exe.MapZipFromExe(mapping);
    EXPECT_EQ(package.size(), s.PackageEnd - 0x400);
    TMemoryStream copy;
    exe.GetZipFromExe(copy);
    EXPECT_EQ(copy.Size(), s.PackageEnd - 0x400);

    std::string hostile = s.File + "appended after signing";
    WriteFile(dir / "hostile.exe", hostile);
    TExeUtils bad((dir / "hostile.exe").u16string(), 0x400);
    EXPECT_TRUE(bad.ExeHasAttachedStub()); // so that loading it says why it fails
    TMappedFile none;
    try {
        bad.MapZipFromExe(none);
        ADD_FAILURE() << "taken";
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("lies inside the appended data: 22 bytes follow it"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(none.IsOpen());
    TMemoryStream nothing;
    EXPECT_THROW(bad.GetZipFromExe(nothing), EFileError);

    std::string bareSigned = BuildPe32();
    SetSecurityDirectory(bareSigned, 0x400, 16);
    WriteFile(dir / "bare.exe", bareSigned + CertificateEntry("sig!"));
    EXPECT_FALSE(TExeUtils((dir / "bare.exe").u16string(), 0x400).ExeHasAttachedStub());
}
