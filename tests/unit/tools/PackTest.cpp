// folio-pack as its users run it: the real binary on an application folder and a
// runtime image, read back by the package reader and by Info-ZIP and 7-Zip.
#include "package/Calculations.h"
#include "package/PeImage.h"
#include "package/ZipArchive.h"
#include "package/ExeResources.h"
#include "tests/support/IcoBuilder.h"
#include "tests/support/MingwPe.h"
#include "tests/support/PeBuilder.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

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

// The DOS date and time (date in the high half) of each entry, from the central
// directory of a packaged executable.
std::map<std::string, uint32_t> EntryDates(const std::string& exe)
{
    const auto data = Span(exe).subspan(*PeImageEnd(Span(exe)));
    TZipArchive zip;
    zip.SetPassword(PackagePassword());
    EXPECT_EQ(zip.Open(data), ZipError::None);
    std::map<std::string, uint32_t> dates;
    auto u16 = [&](size_t at) { return uint32_t(data[at] | (data[at + 1] << 8)); };
    size_t at = zip.DirectoryOffset();
    for (size_t i = 0; i < zip.Count(); ++i) {
        const std::string name(reinterpret_cast<const char*>(&data[at + 46]), u16(at + 28));
        dates[name] = u16(at + 12) | (u16(at + 14) << 16);
        at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
    }
    return dates;
}

// Files folio-pack made and left behind: temporary files start with a dot.
std::vector<std::string> Leftovers(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        const std::string name = e.path().filename().string();
        if (name[0] == '.') {
            names.push_back(name);
        }
    }
    return names;
}

// Whether text is UTF-8 that a terminal prints as it reads: no control character but the
// line ends, no line or paragraph separator, no bidirectional control.
bool PrintsSafely(const std::string& text)
{
    const std::u16string units = Utf8ToUtf16(text);
    if (Utf16ToUtf8(units) != text) {
        return false;
    }
    for (const char16_t c : units) {
        if ((c < 0x20 && c != u'\n') || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x061C ||
            c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
            return false;
        }
    }
    return true;
}


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
        EXPECT_TRUE(e.Encrypted() && e.HasDataDescriptor() && (e.Flags & 0x800));
        // Deflated where that shrinks the entry: the short texts and the image stay stored.
        const bool deflated = name == u"kiv.ini" || name == u"WebView2LoaderWin32.dll";
        EXPECT_EQ(e.Method, deflated ? 8 : 0) << testing::PrintToString(name);
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
    for (const std::string method : {"Deflate64", "BZip2", "LZMA", "PPMd"}) {
        ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=" + method + " -mem=ZipCrypto -pzz ../" + method + ".zip t.txt"));
        EXPECT_EQ(Pack(dir, "extract " + method + ".zip t.txt --password zz -o " + method + ".txt").Code, 0) << method;
        EXPECT_EQ(ReadFile(dir / (method + ".txt")), text + NoiseBytes(5000, 9)) << method;
    }
    // XZ (95) has no decoder here: an unsupported method, said so.
    ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=XZ ../XZ.zip t.txt"));
    const auto xz = Pack(dir, "extract XZ.zip t.txt -o xz.txt");
    EXPECT_EQ(xz.Code, 1);
    EXPECT_NE(xz.Err.find("unsupported compression method"), std::string::npos) << xz.Err;
}

// --icon and --info on this system: a runtime that MinGW-w64 made, whose resources a
// .reloc section follows. wrestool reads the icon's images back byte for byte and the
// version block, and the package still reads after the rewritten image.
TEST(FolioPack, SetsIconAndVersionInformationOnThisSystem)
{
    ASSERT_TRUE(HaveTool("wrestool")) << "icoutils is not installed (scripts/setup)";
    TempDir dir;
    MakeApp(dir);
    TempDir tools;
    const std::string runtime = MingwExecutable(tools, true, BuildIco({32}));
    ASSERT_FALSE(runtime.empty()) << "the MinGW-w64 tool chain did not make the runtime";
    WriteFile(dir / "runtime.exe", runtime);
    const std::string ico = BuildIco({16, 32, 48, 256});
    WriteFile(dir / "app.ico", ico);

    const auto r = Pack(dir, "build app --runtime runtime.exe --icon app.ico --info 'ProductName=Hello App' "
                             "--info 'CompanyName=Folio \xC3\x89" "ditions' --info FileVersion=3.1.4.1 "
                             "--info ProductVersion=2.7 -o App.exe");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Pack(dir, "verify App.exe").Code, 0);
    ASSERT_EQ(Pack(dir, "extract App.exe web/js/main.js -o main.js").Code, 0);
    EXPECT_EQ(ReadFile(dir / "main.js"), "1;");

    ASSERT_TRUE(RunIn(dir.Path(), "wrestool -x -t 14 -n MAINICON App.exe -o out.ico"));
    const auto images = ParseIcoFile(ReadFile(dir / "out.ico"));
    const auto wanted = ParseIcoFile(ico);
    ASSERT_EQ(images.size(), wanted.size());
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_TRUE(images[i].Data == wanted[i].Data) << "image " << i << " differs";
        EXPECT_EQ(images[i].Width, wanted[i].Width);
        EXPECT_EQ(images[i].BitCount, wanted[i].BitCount);
    }
    ASSERT_TRUE(RunIn(dir.Path(), "wrestool -x --raw -t 16 App.exe -o version.bin"));
    const VersionBlock v = ReadVersionBlock(ReadFile(dir / "version.bin"));
    EXPECT_EQ(v.Strings, (std::map<std::u16string, std::u16string>{{u"ProductName", u"Hello App"},
                                                                   {u"CompanyName", u"Folio \u00C9ditions"},
                                                                   {u"FileVersion", u"3.1.4.1"},
                                                                   {u"ProductVersion", u"2.7"}}));
    EXPECT_EQ(v.FileVersionMs, 0x00030001u);
    EXPECT_EQ(v.FileVersionLs, 0x00040001u);
    EXPECT_EQ(v.ProductVersionMs, 0x00020007u);
    EXPECT_EQ(v.ProductVersionLs, 0u);
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
        {"info value too long", "", "", usual + " --info Comments=" + std::string(40000, 'c'), 1,
         "the version information value of Comments is too long (40000 characters"},
        {"icon for a damaged runtime", "", "", usual + " --icon app.ico", 1,
         "optional header is neither PE32 nor PE32+"},
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
        EXPECT_EQ(Leftovers(dir), std::vector<std::string>{}) << c.what;
    }
}

TEST(FolioPack, WarnsWithoutEndingTheBuild)
{
    TempDir dir;
    MakeApp(dir, "[App]\nID=a\nName=x\nDirName=w\nIndexHtml=start.html\nColour=1\n");
    const auto r = Pack(dir, "build app --runtime runtime.exe -o App.exe");
    EXPECT_EQ(r.Code, 0) << r.Err;
    // Without --loader the runtime's built-in loader is used: said, not warned about.
    EXPECT_EQ(r.Err.find("loader"), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find("The executable uses the installed WebView2 runtime through its built-in loader."),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Err.find("warning: kiv.ini: [App] Colour is not a key the runtime reads"), std::string::npos);
    EXPECT_NE(r.Err.find("warning: the start page start.html is not in"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "App.exe"));
}

TEST(FolioPack, FilesUnderALinkedFolderAreNamedByTheirPathInTheAppFolder)
{
    TempDir dir;
    MakeApp(dir);
    WriteFile(dir / "elsewhere/lib/x.js", "linked");
    std::filesystem::create_directory_symlink("../elsewhere/lib", dir / "app/lib");
    std::filesystem::create_directory_symlink("..", dir / "app/js/up"); // would walk in a circle
    const auto r = Pack(dir, "build app/ --runtime runtime.exe -o App.exe");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("links to a folder that contains it"), std::string::npos) << r.Err;
    const auto dates = EntryDates(ReadFile(dir / "App.exe"));
    std::vector<std::string> names;
    for (const auto& [name, date] : dates) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"kiv.ini", "web/img/\xC3\xA9t\xC3\xA9.png", "web/index.html",
                                               "web/js/main.js", "web/lib/x.js"}));
    EXPECT_EQ(Pack(dir, "extract App.exe web/lib/x.js").Out, "linked");
}

// Two links that lead into each other's folders make a circle neither closes alone.
TEST(FolioPack, LinksThatLeadBackThroughEachOtherAreNotFollowed)
{
    TempDir dir;
    MakeApp(dir);
    WriteFile(dir / "app/a/x.js", "x");
    WriteFile(dir / "app/b/y.js", "y");
    std::filesystem::create_directory_symlink("../b", dir / "app/a/l1");
    std::filesystem::create_directory_symlink("../a", dir / "app/b/l2");
    const auto r = Pack(dir, "build app --runtime runtime.exe -o App.exe");
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Err.find("links to a folder that contains it"), std::string::npos) << r.Err;
    std::vector<std::string> names;
    for (const auto& [name, date] : EntryDates(ReadFile(dir / "App.exe"))) {
        if (name.find("/a/") != std::string::npos || name.find("/b/") != std::string::npos) {
            names.push_back(name);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"web/a/l1/y.js", "web/a/x.js", "web/b/l2/x.js", "web/b/y.js"}));
}

// An output inside the app folder: the temporary files of another build to the same
// output (running at the same time, or killed before it cleaned up) are not web files.
TEST(FolioPack, TemporaryFilesOfTheOutputAreNotPacked)
{
    TempDir dir;
    MakeApp(dir);
    WriteFile(dir / "app/.App.exe.0123456789abcdef.tmp", "another build's");
    WriteFile(dir / "app/.App.exe.notes.tmp", "mine");
    const auto r = Pack(dir, "build app --runtime runtime.exe -o app/App.exe");
    ASSERT_EQ(r.Code, 0) << r.Err;
    const auto dates = EntryDates(ReadFile(dir / "app/App.exe"));
    EXPECT_EQ(dates.count("web/.App.exe.0123456789abcdef.tmp"), 0u);
    EXPECT_EQ(dates.count("web/.App.exe.notes.tmp"), 1u);
}

// An output that names a folder, directly or through a link, is refused: the link is
// not replaced by the file.
TEST(FolioPack, OutputThatIsAFolderIsRefused)
{
    TempDir dir;
    MakeApp(dir);
    std::filesystem::create_directory(dir / "out");
    std::filesystem::create_directory_symlink("out", dir / "link");
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o App.exe").Code, 0);
    for (const char* output : {"out", "out/", "link", "link/"}) {
        for (const char* command : {"build app --runtime runtime.exe -o ", "extract App.exe web/index.html -o "}) {
            const auto r = Pack(dir, command + std::string(output));
            EXPECT_EQ(r.Code, 1) << command << output;
            EXPECT_NE(r.Err.find("is a folder"), std::string::npos) << command << output << ": " << r.Err;
        }
        EXPECT_TRUE(std::filesystem::is_symlink(dir / "link")) << output;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "out")) << output;
        EXPECT_EQ(Leftovers(dir), std::vector<std::string>{}) << output;
    }
}

TEST(FolioPack, OutputThatCannotBeWrittenFailsTheCommand)
{
    TempDir dir;
    MakeApp(dir);
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o App.exe").Code, 0);
    for (const char* args : {"list App.exe", "extract App.exe web/index.html", "verify App.exe"}) {
        for (const char* redirect : {">/dev/full", ">&-"}) {
            const std::string command =
                "cd '" + dir.Path().string() + "' && '" + kPack + "' " + args + " " + redirect + " 2>err.txt";
            const int status = std::system(command.c_str());
            EXPECT_EQ(WEXITSTATUS(status), 1) << args << " " << redirect;
            EXPECT_NE(ReadFile(dir / "err.txt").find("cannot write to standard output"), std::string::npos)
                << args << " " << redirect << ": " << ReadFile(dir / "err.txt");
        }
    }
}

// Dates outside what a ZIP entry can carry are clamped to 1980-01-01 00:00:00 and
// 2107-12-31 23:59:58; what is not a number of seconds is refused.
TEST(FolioPack, DatesAreValidatedAndClampedToTheDosRange)
{
    constexpr uint32_t kFirst = 0x00210000, kLast = 0xFF9FBF7D;
    struct Case {
        const char* epoch;
        int code;
        uint32_t date;
        const char* message;
    };
    const Case cases[] = {
        {"1700000000", 0, 0x576EB1AA, ""},
        {"0", 0, kFirst, "outside the dates a ZIP entry can carry"},
        {"4354819200", 0, kLast, "outside the dates a ZIP entry can carry"},
        {"99999999999999999999999", 0, kLast, "outside the dates a ZIP entry can carry"},
        {"soon", 1, 0, "SOURCE_DATE_EPOCH is not a number of seconds"},
        {"-5", 1, 0, "SOURCE_DATE_EPOCH is not a number of seconds"},
        {"17e8", 1, 0, "SOURCE_DATE_EPOCH is not a number of seconds"},
        {"+1700000000", 1, 0, "SOURCE_DATE_EPOCH is not a number of seconds"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        MakeApp(dir);
        const auto r = Pack(dir, "build app --runtime runtime.exe -o App.exe",
                            std::string("SOURCE_DATE_EPOCH='") + c.epoch + "'");
        EXPECT_EQ(r.Code, c.code) << c.epoch << ": " << r.Err;
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << c.epoch << ": " << r.Err;
        if (c.code == 0) {
            for (const auto& [name, date] : EntryDates(ReadFile(dir / "App.exe"))) {
                EXPECT_EQ(date, c.date) << c.epoch << " " << name;
            }
        }
    }

    // File times: before 1980 and after 2107.
    TempDir dir;
    MakeApp(dir);
    ASSERT_TRUE(RunIn(dir.Path(), "touch -d '1970-01-02 00:00:00Z' app/index.html && "
                                  "touch -d '2200-06-01 00:00:00Z' app/js/main.js"));
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o App.exe").Code, 0);
    const auto dates = EntryDates(ReadFile(dir / "App.exe"));
    EXPECT_EQ(dates.at("web/index.html"), kFirst);
    EXPECT_EQ(dates.at("web/js/main.js"), kLast);
}

// Temporary files have fresh names and are created exclusively: a user's file named
// like one is never touched. The old output stays whole until the new one replaces it.
TEST(FolioPack, OutputsReplaceTheirTargetsAndSpareFilesOfTheTemporaryNames)
{
    TempDir dir;
    MakeApp(dir);
    for (const char* mine : {"App.exe.tmp", "App.exe.zip.tmp", "main.js.tmp"}) {
        WriteFile(dir / mine, std::string("mine: ") + mine);
    }
    WriteFile(dir / "App.exe", "an older build");
    WriteFile(dir / "main.js", "an older copy");

    // A build that fails after its temporary files exist leaves the old output.
    const auto failed = Pack(dir, "build app --runtime runtime.exe --icon app.ico -o App.exe");
    EXPECT_EQ(failed.Code, 1);
    EXPECT_EQ(ReadFile(dir / "App.exe"), "an older build");
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});

    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o App.exe").Code, 0);
    ASSERT_EQ(Pack(dir, "extract App.exe web/js/main.js -o main.js").Code, 0);
    EXPECT_EQ(ReadFile(dir / "main.js"), "1;");
    EXPECT_EQ(Pack(dir, "verify App.exe").Code, 0);
    for (const char* mine : {"App.exe.tmp", "App.exe.zip.tmp", "main.js.tmp"}) {
        EXPECT_EQ(ReadFile(dir / mine), std::string("mine: ") + mine);
    }
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
}

// A large entry streams out whole; once damaged (a byte near its end, found only by the
// CRC after most bytes went out), extract leaves an older output as it was and no
// temporary file, fails on standard output after writing, and verify reports it.
TEST(FolioPack, ADamagedEntryFailsExtractAndVerifyAndLeavesTheOutputAsItWas)
{
    TempDir dir;
    MakeApp(dir);
    const std::string big = NoiseBytes(9u << 20, 11);
    WriteFile(dir / "app/big.bin", big);
    ASSERT_EQ(Pack(dir, "build app --runtime runtime.exe -o App.exe").Code, 0);
    ASSERT_EQ(Pack(dir, "extract App.exe web/big.bin -o big.bin").Code, 0);
    EXPECT_TRUE(ReadFile(dir / "big.bin") == big);
    const auto whole = Pack(dir, "extract App.exe web/big.bin");
    EXPECT_EQ(whole.Code, 0);
    EXPECT_TRUE(whole.Out == big);

    std::string exe = ReadFile(dir / "App.exe");
    const size_t package = *PeImageEnd(Span(exe));
    TZipArchive zip;
    zip.SetPassword(PackagePassword());
    ASSERT_EQ(zip.Open(Span(exe).subspan(package)), ZipError::None);
    const auto& e = zip.Entry(static_cast<size_t>(zip.Find(u"web/big.bin")));
    const size_t local = package + e.LocalOffset;
    auto u16 = [&](size_t at) { return size_t(uint8_t(exe[at])) | size_t(uint8_t(exe[at + 1])) << 8; };
    const size_t data = local + 30 + u16(local + 26) + u16(local + 28);
    exe[data + e.CompressedSize - 1000] ^= 0x20;
    WriteFile(dir / "App.exe", exe);

    WriteFile(dir / "big.bin", "an older copy");
    const auto file = Pack(dir, "extract App.exe web/big.bin -o big.bin");
    EXPECT_EQ(file.Code, 1);
    EXPECT_NE(file.Err.find("cannot read 'web/big.bin': CRC-32 mismatch"), std::string::npos) << file.Err;
    EXPECT_EQ(ReadFile(dir / "big.bin"), "an older copy");
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});

    const auto streamed = Pack(dir, "extract App.exe web/big.bin");
    EXPECT_EQ(streamed.Code, 1);
    EXPECT_NE(streamed.Err.find("CRC-32 mismatch"), std::string::npos) << streamed.Err;
    EXPECT_GT(streamed.Out.size(), 0u); // written before the end showed the damage

    const auto verify = Pack(dir, "verify App.exe");
    EXPECT_EQ(verify.Code, 1);
    EXPECT_NE(verify.Err.find("web/big.bin: CRC-32 mismatch"), std::string::npos) << verify.Err;
    EXPECT_NE(verify.Out.find("1 problem(s)"), std::string::npos) << verify.Out;
    EXPECT_EQ(Pack(dir, "extract App.exe web/index.html").Out, "<p>hi</p>"); // the others still read
}

// The package cut short by another program while extract streams it: the bytes of the
// lost part cannot be read (SIGBUS on the mapping), and the command fails saying so.
// The reader of the output truncates the file once the first bytes arrive, while most
// of the entry is still to be read.
TEST(FolioPack, APackageCutShortWhileReadFailsTheCommand)
{
    TempDir dir;
    WriteFile(dir / "src/big.bin", NoiseBytes(4u << 20, 12));
    ASSERT_TRUE(RunIn(dir / "src", "zip -q -0 ../p.zip big.bin"));
    const std::string command = "cd '" + dir.Path().string() + "' && { '" + kPack +
                                "' extract p.zip big.bin 2>err.txt; echo $? >code.txt; } | "
                                "{ head -c 1 >/dev/null; truncate -s 1000 p.zip; cat >/dev/null; }";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(dir / "code.txt"), "1\n");
    const std::string err = ReadFile(dir / "err.txt");
    EXPECT_NE(err.find("'p.zip' was cut short while it was read"), std::string::npos) << err;
}

// Inputs that cannot be mapped (a pipe) are read whole; a write past the file size
// limit fails the command like a full disk, with nothing left behind.
TEST(FolioPack, PipedInputsAreReadAndAFileSizeLimitFailsExtractCleanly)
{
    TempDir dir;
    WriteFile(dir / "src/a.txt", "plain");
    WriteFile(dir / "src/big.bin", NoiseBytes(1u << 20, 13));
    ASSERT_TRUE(RunIn(dir / "src", "zip -q ../p.zip a.txt big.bin"));
    EXPECT_EQ(Pack(dir, "extract /dev/stdin a.txt", "cat p.zip |").Out, "plain");
    const auto list = Pack(dir, "list /dev/stdin", "cat p.zip |");
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_NE(list.Out.find("2 entries"), std::string::npos) << list.Out;

    const auto limited = Pack(dir, "extract p.zip big.bin -o big.bin", "ulimit -f 100;");
    EXPECT_EQ(limited.Code, 1);
    EXPECT_NE(limited.Err.find("cannot write 'big.bin'"), std::string::npos) << limited.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "big.bin"));
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
}

// A hostile archive's names and settings: list, verify and extract print them escaped,
// so that none forges a line, sets the terminal's title or turns the text around.
TEST(FolioPack, NamesFromTheArchiveArePrintedEscaped)
{
    TempDir dir;
    auto utf8 = [](RawEntry e) {
        e.Flags = 0x800;
        return e;
    };
    RawEntry damaged = utf8(Stored("crc\x1b[2J.txt", "payload"));
    damaged.Crc ^= 1;
    const std::vector<RawEntry> entries = {
        utf8(Stored("kiv.ini", "[App]\nID=a\x1b[31m\nName=b\nDirName=w\x1b]0;t\x07x\nk\x1b[2Jey=1\n")),
        utf8(Stored("evil\n         1  stored   no   00000000  forged.txt", "x")),
        utf8(Stored("\x1b]0;owned\x07title.txt", "x")),
        utf8(Stored("back\\slash\\n.txt", "x")),
        utf8(Stored("\xE2\x80\xAEtxt.exe", "x")),
        utf8(Stored("c1\xC2\x85\xE2\x80\xA8\xE2\x81\xA6.txt", "x")),
        utf8(Stored("bad\xFF\xFE.txt", "x")),  // not UTF-8, though flagged so
        Stored("dos\x1b\x7f\x81.txt", "x"),    // code page 437
        damaged,
    };
    WriteFile(dir / "p.zip", BuildZip(entries).Bytes);

    const auto list = Pack(dir, "list p.zip");
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_TRUE(PrintsSafely(list.Out)) << list.Out;
    EXPECT_EQ(std::count(list.Out.begin(), list.Out.end(), '\n'), std::ptrdiff_t(entries.size() + 2)) << list.Out;
    for (const std::string shown : {"  evil\\n         1  stored   no   00000000  forged.txt\n",
                                    "  \\x1b]0;owned\\x07title.txt\n", "  back\\\\slash\\\\n.txt\n",
                                    "  \\u202etxt.exe\n", "  c1\\u0085\\u2028\\u2066.txt\n",
                                    "  bad\xEF\xBF\xBD\xEF\xBF\xBD.txt\n", "  dos\\x1b\\x7f\xC3\xBC.txt\n",
                                    "  crc\\x1b[2J.txt\n"}) {
        EXPECT_NE(list.Out.find(shown), std::string::npos) << shown << "\n" << list.Out;
    }

    const auto verify = Pack(dir, "verify p.zip");
    EXPECT_EQ(verify.Code, 1);
    EXPECT_TRUE(PrintsSafely(verify.Err)) << verify.Err;
    for (const std::string shown : {"folio-pack: error: crc\\x1b[2J.txt: CRC-32 mismatch\n",
                                    "kiv.ini: [App] ID = \"a\\x1b[31m\" must be",
                                    "kiv.ini: [App] k\\x1b[2Jey is not a key the runtime reads\n",
                                    "warning: the start page w\\x1b]0;t\\x07x/index.html is not in the package\n"}) {
        EXPECT_NE(verify.Err.find(shown), std::string::npos) << shown << "\n" << verify.Err;
    }

    const auto unreadable = Pack(dir, "extract p.zip \"$(printf 'crc\\033[2J.txt')\" -o o.txt");
    EXPECT_EQ(unreadable.Code, 1);
    EXPECT_EQ(unreadable.Err, "folio-pack: error: cannot read 'crc\\x1b[2J.txt': CRC-32 mismatch\n");
    const auto missing = Pack(dir, "extract p.zip \"$(printf 'no\\033]0;x\\007\\nline')\"");
    EXPECT_EQ(missing.Code, 1);
    EXPECT_EQ(missing.Err, "folio-pack: error: no entry 'no\\x1b]0;x\\x07\\nline' in 'p.zip'\n");
}
