// folio-pack as its users run it: the real binary on an application folder and a
// runtime image, read back by the package reader and by Info-ZIP and 7-Zip.
#include "package/Calculations.h"
#include "package/PeImage.h"
#include "package/ZipArchive.h"
#include "tests/support/IcoBuilder.h"
#include "tests/support/PeBuilder.h"
#include "tests/support/TempDir.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

const std::string kPack = FOLIO_PACK_PATH;

struct Result {
    int Code;
    std::string Out, Err;
};

Result Pack(const TempDir& dir, const std::string& args, const std::string& env = "")
{
    const std::string command = "cd '" + dir.Path().string() + "' && " + env + " '" + kPack + "' " + args +
                                " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return {WEXITSTATUS(status), ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
}

// An application folder and a fake runtime image (a PE whose image is the whole file).
void MakeApp(const TempDir& dir, const std::string& ini = "[App]\nID=t.app\nName=Test\nDirName=web\n")
{
    WriteFile(dir / "app/kiv.ini", ini);
    WriteFile(dir / "app/index.html", "<p>hi</p>");
    WriteFile(dir / "app/js/main.js", "1;");
    WriteFile(dir / "app/img/\xC3\xA9t\xC3\xA9.png", NoiseBytes(30000, 3));
    WriteFile(dir / "runtime.exe", BuildPe({{0x200, 0x200}}, 0x400));
    WriteFile(dir / "loader.dll", BuildPe({{0x200, 0x100}}, 0x300));
    WriteFile(dir / "inject.js", "window.injected = true;");
    WriteFile(dir / "app.ico", BuildIco({16}));
}

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

} // namespace

TEST(FolioPack, BuildsAPackageTheRuntimeReads)
{
    TempDir dir;
    MakeApp(dir);
    const auto r = Pack(dir, "build app --runtime runtime.exe --loader loader.dll --inject inject.js -o App.exe");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");

    const std::string exe = ReadFile(dir / "App.exe");
    const std::string runtime = ReadFile(dir / "runtime.exe");
    ASSERT_EQ(exe.substr(0, runtime.size()), runtime);
    TZipArchive zip;
    zip.SetPassword(PackagePassword());
    ASSERT_EQ(zip.Open(Span(exe).subspan(*PeImageEnd(Span(exe)))), ZipError::None);
    const std::pair<std::u16string, std::string> entries[] = {
        {u"kiv.ini", ReadFile(dir / "app/kiv.ini")},
        {u"web/index.html", "<p>hi</p>"},
        {u"web/js/main.js", "1;"},
        {u"web/img/\u00E9t\u00E9.png", ReadFile(dir / "app/img/\xC3\xA9t\xC3\xA9.png")},
        {u"kiv-webviewjs", "window.injected = true;"},
        {u"WebView2LoaderWin32.dll", ReadFile(dir / "loader.dll")},
    };
    EXPECT_EQ(zip.Count(), std::size(entries));
    for (const auto& [name, bytes] : entries) {
        const int i = zip.Find(name);
        ASSERT_GE(i, 0) << testing::PrintToString(name);
        const auto& e = zip.Entry(static_cast<size_t>(i));
        EXPECT_TRUE(e.Encrypted() && e.HasDataDescriptor() && e.Method == 0 && (e.Flags & 0x800));
        std::vector<uint8_t> out;
        ASSERT_EQ(zip.Read(static_cast<size_t>(i), out), ZipEntryStatus::Ok);
        EXPECT_EQ(std::string(out.begin(), out.end()), bytes);
    }
    EXPECT_EQ(zip.Find(u"web/kiv.ini"), -1);

    // The peers accept the package with the package password.
    WriteFile(dir / "package.zip", exe.substr(runtime.size()));
    const std::string password = Utf16ToAnsi(PackagePassword());
    EXPECT_TRUE(RunIn(dir.Path(), "unzip -tq -P '" + password + "' package.zip"));
    EXPECT_TRUE(RunIn(dir.Path(), "7z t '-p" + password + "' package.zip"));

    const auto list = Pack(dir, "list App.exe");
    EXPECT_EQ(list.Code, 0);
    EXPECT_NE(list.Out.find("web/img/\xC3\xA9t\xC3\xA9.png"), std::string::npos) << list.Out;
    EXPECT_NE(list.Out.find("6 entries"), std::string::npos) << list.Out;
    const auto verify = Pack(dir, "verify App.exe");
    EXPECT_EQ(verify.Code, 0) << verify.Err;
    EXPECT_NE(verify.Out.find("OK"), std::string::npos);
    EXPECT_EQ(Pack(dir, "extract App.exe WEB/JS/MAIN.JS -o main.js").Code, 0);
    EXPECT_EQ(ReadFile(dir / "main.js"), "1;");
    EXPECT_EQ(Pack(dir, "extract App.exe kiv-webviewjs").Out, "window.injected = true;");
}

TEST(FolioPack, ReproducibleWithSourceDateEpoch)
{
    TempDir dir;
    MakeApp(dir);
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o a.exe", "SOURCE_DATE_EPOCH=1700000000").Code, 0);
    RunIn(dir.Path(), "touch app/index.html -d 2001-01-01");
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o b.exe", "SOURCE_DATE_EPOCH=1700000000").Code, 0);
    EXPECT_EQ(ReadFile(dir / "a.exe"), ReadFile(dir / "b.exe"));
    const auto r = Pack(dir, "build app --runtime runtime.exe -o c.exe", "SOURCE_DATE_EPOCH=soon");
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("SOURCE_DATE_EPOCH"), std::string::npos);
}

TEST(FolioPack, WorksOnPlainZipFiles)
{
    TempDir dir;
    WriteFile(dir / "src/a.txt", "plain");
    ASSERT_TRUE(RunIn(dir / "src", "zip -q -P zz ../p.zip a.txt"));
    EXPECT_EQ(Pack(dir, "extract p.zip a.txt --password zz").Out, "plain");
    EXPECT_EQ(Pack(dir, "verify p.zip --password zz").Code, 1); // no kiv.ini: not a package
    const auto wrong = Pack(dir, "extract p.zip a.txt --password no");
    EXPECT_EQ(wrong.Code, 1);
    EXPECT_NE(wrong.Err.find("cannot read 'a.txt'"), std::string::npos) << wrong.Err;
}

TEST(FolioPack, ExtractsEveryMethodSevenZipWrites)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += std::to_string(i * 7919 % 4096) + (i % 3 ? " word" : " other\n");
    }
    WriteFile(dir / "src/t.txt", text + NoiseBytes(5000, 9));
    for (const std::string method : {"Deflate64", "BZip2", "LZMA"}) {
        ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=" + method + " -mem=ZipCrypto -pzz ../" + method + ".zip t.txt"));
        EXPECT_EQ(Pack(dir, "extract " + method + ".zip t.txt --password zz -o " + method + ".txt").Code, 0) << method;
        EXPECT_EQ(ReadFile(dir / (method + ".txt")), text + NoiseBytes(5000, 9)) << method;
    }
    // PPMd has no decoder here: an unsupported method, said so.
    ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=PPMd ../PPMd.zip t.txt"));
    const auto ppmd = Pack(dir, "extract PPMd.zip t.txt -o ppmd.txt");
    EXPECT_EQ(ppmd.Code, 1);
    EXPECT_NE(ppmd.Err.find("unsupported compression method"), std::string::npos) << ppmd.Err;
}

TEST(FolioPack, RefusesBadInputAndLeavesNothingBehind)
{
    struct Case {
        const char* what;
        std::string ini;     // empty: keep the default
        std::string runtime; // empty: keep the default
        std::string args;    // empty: the usual build
        int code;
        std::string message;
    };
    const std::string usual = "build app --runtime runtime.exe -o App.exe";
    const std::string bare = BuildPe({{0x200, 0x200}}, 0x400);
    const Case cases[] = {
        {"missing ID", "[App]\nName=x\nDirName=w\n", "", "", 1, "[App] ID is missing"},
        {"empty Name", "[App]\nID=a\nName=\nDirName=w\n", "", "", 1, "[App] Name is empty"},
        {"ID climbing out", "[App]\nID=..\\..\\Windows\nName=x\nDirName=w\n", "", "", 1,
         "must be usable as a folder name"},
        {"ID naming a device", "[App]\nID=NUL\nName=x\nDirName=w\n", "", "", 1, "must be usable as a folder name"},
        {"boolean word", "[App]\nID=a\nName=x\nDirName=w\nAllowZoom=true\n", "", "", 1,
         "AllowZoom = \"true\" is not a boolean"},
        {"integer text", "[App]\nID=a\nName=x\nDirName=w\nWidth=wide\n", "", "", 1,
         "Width = \"wide\" is not an integer"},
        {"no section", "ID=a\n", "", "", 1, "no [App] section"},
        {"signed runtime", "", bare + "SIGNATURE", "", 1, "carries 9 bytes after its image end"},
        {"not a runtime", "", "just text", "", 1, "is not a Windows executable"},
        {"missing runtime", "", "", "build app --runtime nowhere.exe -o App.exe", 1,
         "runtime 'nowhere.exe' is not a file"},
        {"no output", "", "", "build app --runtime runtime.exe -o", 2, "-o needs a value"},
        {"unknown option", "", "", usual + " --fast", 2, "unknown option --fast"},
        {"output folder missing", "", "", "build app --runtime runtime.exe -o nodir/App.exe", 1, "cannot create"},
        {"unknown info key", "", "", usual + " --info Colour=red", 2, "--info takes KEY=VALUE"},
        {"icon on this system", "", "", usual + " --icon app.ico", 1, "needs Windows (use folio-pack.exe)"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        MakeApp(dir);
        if (!c.ini.empty()) WriteFile(dir / "app/kiv.ini", c.ini);
        if (!c.runtime.empty()) WriteFile(dir / "runtime.exe", c.runtime);
        const auto r = Pack(dir, c.args.empty() ? usual : c.args);
        EXPECT_EQ(r.Code, c.code) << c.what;
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << c.what << ": " << r.Err;
        for (const char* leftover : {"App.exe", "App.exe.tmp", "App.exe.zip.tmp"}) {
            EXPECT_FALSE(std::filesystem::exists(dir / leftover)) << c.what << ": " << leftover;
        }
    }
}

TEST(FolioPack, WarnsWithoutEndingTheBuild)
{
    TempDir dir;
    MakeApp(dir, "[App]\nID=a\nName=x\nDirName=w\nIndexHtml=start.html\nColour=1\n");
    const auto r = Pack(dir, "build app --runtime runtime.exe -o App.exe");
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("warning: no --loader given"), std::string::npos);
    EXPECT_NE(r.Err.find("warning: kiv.ini: [App] Colour is not a key the runtime reads"), std::string::npos);
    EXPECT_NE(r.Err.find("warning: the start page start.html is not in"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "App.exe"));
}
