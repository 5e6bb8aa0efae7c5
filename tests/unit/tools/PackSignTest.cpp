// folio-pack signs with osslsigncode after the package is appended: the signature
// verifies against a test CA made here by openssl, the package still reads, a changed
// byte is caught, and verify reports the signature.
#include "package/PeImage.h"
#include "tests/support/SignedPe.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

const std::string kPack = FOLIO_PACK_PATH;

struct Result {
    int Code;
    std::string Out, Err;
};

Result Shell(const TempDir& dir, const std::string& command)
{
    const int status = std::system(("cd '" + dir.Path().string() + "' && " + command + " >out.txt 2>err.txt").c_str());
    return {WEXITSTATUS(status), ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
}

Result Pack(const TempDir& dir, const std::string& args) { return Shell(dir, "'" + kPack + "' " + args); }

// A CA and a code-signing certificate it issued, with an encrypted key.
void MakeCertificates(const TempDir& dir)
{
    const char* script =
        "{ openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj '/CN=Folio Test CA'"
        " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign &&"
        " openssl req -newkey rsa:2048 -passout pass:s3cret -keyout signer.key -out signer.csr"
        " -subj '/CN=Folio Test Signer/O=Folio Tests' &&"
        " printf 'basicConstraints=CA:FALSE\\nkeyUsage=critical,digitalSignature\\nextendedKeyUsage=codeSigning\\n'"
        " >signer.ext &&"
        " openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext"
        " -out signer.crt; }";
    ASSERT_EQ(Shell(dir, script).Code, 0) << ReadFile(dir / "err.txt");
}

void MakeApp(const TempDir& dir)
{
    WriteFile(dir / "app/kiv.ini", "[App]\nID=t.app\nName=Test\nDirName=web\n");
    WriteFile(dir / "app/index.html", "<p>signed</p>");
    WriteFile(dir / "app/data.bin", NoiseBytes(50000, 4));
    WriteFile(dir / "runtime.exe", BuildPe32());
}

const std::string kSign = "--cert signer.crt --key signer.key --pass s3cret";

} // namespace

TEST(FolioPackSign, ASignedBuildVerifiesAndItsPackageStillReads)
{
    if (!HaveTool("osslsigncode") || !HaveTool("openssl")) {
        GTEST_SKIP() << "osslsigncode or openssl missing (scripts/setup installs them)";
    }
    TempDir dir;
    MakeCertificates(dir);
    MakeApp(dir);
    const auto built = Pack(dir, "build app --runtime runtime.exe " + kSign + " -o App.exe");
    ASSERT_EQ(built.Code, 0) << built.Err;
    EXPECT_NE(built.Out.find("Signed with 'signer.crt'"), std::string::npos) << built.Out;

    const auto peer = Shell(dir, "osslsigncode verify -CAfile ca.crt -in App.exe");
    EXPECT_EQ(peer.Code, 0) << peer.Out << peer.Err;
    const auto verify = Pack(dir, "verify App.exe");
    EXPECT_EQ(verify.Code, 0) << verify.Err;
    EXPECT_NE(verify.Out.find("signature: present"), std::string::npos) << verify.Out;
    EXPECT_NE(verify.Out.find("signer: /CN=Folio Test Signer/O=Folio Tests"), std::string::npos) << verify.Out;
    EXPECT_NE(verify.Out.find("digest: matches the file"), std::string::npos) << verify.Out;
    EXPECT_NE(Pack(dir, "list App.exe").Out.find("3 entries"), std::string::npos);
    EXPECT_EQ(Pack(dir, "extract App.exe web/index.html").Out, "<p>signed</p>");
    ASSERT_EQ(Pack(dir, "extract App.exe web/data.bin -o data.bin").Code, 0);
    EXPECT_TRUE(ReadFile(dir / "data.bin") == NoiseBytes(50000, 4));

    // One changed byte in the package, where the reader does not look (the first
    // entry's time in its local header): the entries still read, the signature fails.
    std::string exe = ReadFile(dir / "App.exe");
    ASSERT_EQ(exe.substr(0x400, 4), std::string("PK\3\4"));
    exe[0x400 + 10] ^= 0x01;
    WriteFile(dir / "Changed.exe", exe);
    EXPECT_NE(Shell(dir, "osslsigncode verify -CAfile ca.crt -in Changed.exe").Code, 0);
    const auto changed = Pack(dir, "verify Changed.exe");
    EXPECT_EQ(changed.Code, 1);
    EXPECT_NE(changed.Err.find("the signature's digest does not match the file"), std::string::npos) << changed.Err;

    // Bytes appended after signing: the table no longer ends the file, and is refused.
    WriteFile(dir / "Appended.exe", ReadFile(dir / "App.exe") + "more");
    const auto appended = Pack(dir, "list Appended.exe");
    EXPECT_EQ(appended.Code, 1);
    EXPECT_NE(appended.Err.find("lies inside the appended data: 4 bytes follow it"), std::string::npos) << appended.Err;
}

TEST(FolioPackSign, SignCommandSignsAnUnsignedBuildOnly)
{
    if (!HaveTool("osslsigncode") || !HaveTool("openssl")) {
        GTEST_SKIP() << "osslsigncode or openssl missing (scripts/setup installs them)";
    }
    TempDir dir;
    MakeCertificates(dir);
    MakeApp(dir);
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o App.exe").Code, 0);
    const auto unsignedVerify = Pack(dir, "verify App.exe");
    EXPECT_EQ(unsignedVerify.Code, 0);
    EXPECT_NE(unsignedVerify.Out.find("signature: none"), std::string::npos) << unsignedVerify.Out;

    const std::string before = ReadFile(dir / "App.exe");
    ASSERT_EQ(Pack(dir, "sign App.exe " + kSign + " -o Signed.exe").Code, 0);
    EXPECT_EQ(ReadFile(dir / "App.exe"), before); // the input stays as it was
    EXPECT_EQ(Shell(dir, "osslsigncode verify -CAfile ca.crt -in Signed.exe").Code, 0);
    // The package is as it was; only the headers' checksum and security directory changed.
    const std::string signedExe = ReadFile(dir / "Signed.exe");
    EXPECT_TRUE(signedExe.substr(0x400, before.size() - 0x400) == before.substr(0x400));

    const auto again = Pack(dir, "sign Signed.exe " + kSign);
    EXPECT_EQ(again.Code, 1);
    EXPECT_NE(again.Err.find("is already signed"), std::string::npos) << again.Err;
    EXPECT_EQ(ReadFile(dir / "Signed.exe"), signedExe);
    const auto wrongPass = Pack(dir, "sign App.exe --cert signer.crt --key signer.key --pass nope -o Other.exe");
    EXPECT_EQ(wrongPass.Code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Other.exe"));
    EXPECT_EQ(Pack(dir, "sign App.exe --cert signer.crt").Code, 2); // no key
    EXPECT_EQ(Pack(dir, "list App.exe --cert signer.crt --key signer.key").Code, 2);
}
