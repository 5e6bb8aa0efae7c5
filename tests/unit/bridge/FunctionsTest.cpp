// The bridge's function families over their ports: the host's (or, built for Windows,
// the real Win32) file system in a temporary folder, and stand-ins for the window, the
// dialogs and the process facts. Request texts in, exact reply texts out.
#include "bridge/BrowserExternalModule.h"
#include "bridge/PageText.h"
#include "package/ZipWriter.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace Folio;
using Folio::Shared::Utf16ToUtf8;
using Folio::Shared::Utf8ToUtf16;
using FolioTest::ReadFile;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

struct Bench {
    TempDir Dir;
    Probe::TStandIns StandIns;
    Probe::TRecordingBrowser& Browser = StandIns.Browser;
    Probe::TFakeMainWindow& Window = StandIns.Window;
    Probe::TScriptedDialogs& Dialogs = StandIns.Dialogs;
    Probe::TGivenSystemInfo& System = StandIns.System;
    Shared::TAppSettings Settings;
    Shared::TZipArchive Archive;
    std::string PackageBytes;
    std::unique_ptr<Bridge::TBrowserExternalModule> Module;
    std::vector<std::string> Errors;
    int CloseRequests = 0;

    explicit Bench(Platform::TFileSystem& files = Platform::SystemFileSystem())
    {
        std::ostringstream zip;
        Shared::TZipWriter writer(zip, {"pw", false});
        writer.AddBytes("kiv.ini", "[App]\nID=a\nName=b\nDirName=web\nWindowBorder=3\n", 0x5A210000);
        writer.AddBytes("web/img/a.png", "PNGDATA", 0x5A210000);
        writer.AddBytes("web/index.html", "<p>page</p>", 0x5A210000); // the page that calls
        writer.Finish();
        PackageBytes = zip.str();
        Archive.SetPasswordBytes("pw");
        Archive.Open({reinterpret_cast<const uint8_t*>(PackageBytes.data()), PackageBytes.size()});
        Settings.LoadFromBytes("[App]\nID=a\nName=b\nDirName=web\nWindowBorder=3\n");

        auto ports = StandIns.Ports(files, ExeDir());
        ports.Archive = &Archive;
        ports.Settings = &Settings;
        Module = std::make_unique<Bridge::TBrowserExternalModule>(ports);
        Module->OnDispatchError = [this](const std::string& e) { Errors.push_back(e); };
        Module->FOnAppCloseRequest = [this] { ++CloseRequests; };
    }

    // Serves another package (the page stays web/index.html).
    void UsePackage(std::string bytes)
    {
        PackageBytes = std::move(bytes);
        ASSERT_EQ(Archive.Open({reinterpret_cast<const uint8_t*>(PackageBytes.data()), PackageBytes.size()}),
                  Shared::ZipError::None);
    }

    // The names in the test folder, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Dir.Path())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The folder standing for the executable's, with its separator, as the platform writes paths.
    std::u16string ExeDir() const
    {
        auto text = Dir.Path().u16string();
        text.push_back(std::filesystem::path::preferred_separator);
        return text;
    }

    // The reply to one request, "no reply" when there is none.
    std::string Send(const std::string& request)
    {
        const size_t before = Browser.Posted.size();
        Module->EdgeBrowserWebMessageReceived(Utf8ToUtf16(request), u"file:///index.html");
        return Browser.Posted.size() == before ? "no reply" : Utf16ToUtf8(Browser.Posted.back());
    }
    static std::string Ok(const std::string& uuid, const std::string& result)
    {
        return "{\"uuid\": \"" + uuid + "\", \"success\": true, \"result\": " + result + "}";
    }
    static std::string Fail(const std::string& uuid, const std::string& message)
    {
        return "{\"uuid\": \"" + uuid + "\", \"success\": false, \"result\": \"" + message + "\"}";
    }
    static std::string Json(const std::u16string& text) { return Utf16ToUtf8(Shared::TStrUtils::StringToJsonString(text)); }
};

std::string Request(int id, const std::string& uuid, const std::string& data = "{}")
{
    return "{\"id\": " + std::to_string(id) + ", \"uuid\": \"" + uuid + "\", \"data\": " + data + "}";
}

} // namespace

TEST(FileFunctions, RequiredFieldsAndTheirMessages)
{
    Bench b;
    const std::pair<int, std::string> cases[] = {
        {30001, "Missing filePath"}, {30002, "Missing filePath"}, {30003, "Missing filePath"},
        {90001, "Missing filePath"}, {40001, "Missing dirPath"},  {40002, "Missing dirPath"},
        {30004, "Missing sourceFile"},
    };
    for (const auto& [id, message] : cases) {
        EXPECT_EQ(b.Send(Request(id, "u")), Bench::Fail("u", message)) << id;
        EXPECT_EQ(b.Send(Request(id, "n", R"({"filePath": null, "dirPath": "", "sourceFile": null})")),
                  Bench::Fail("n", message))
            << id;
    }
    EXPECT_EQ(b.Send(Request(30004, "t", R"({"sourceFile": "/img/a.png"})")), Bench::Fail("t", "Missing targetFile"));
    EXPECT_EQ(b.Send(Request(30001, "o", R"({"filePath": {"x": 1}})")), "no reply"); // escapes
}

TEST(FileFunctions, FilesAndFoldersBesideTheExecutable)
{
    Bench b;
    WriteFile(b.Dir / "data/x.json", "{}");
    EXPECT_EQ(b.Send(Request(30001, "a", R"({"filePath": "data/x.json"})")), Bench::Ok("a", "true"));
    EXPECT_EQ(b.Send(Request(30001, "b", R"({"filePath": "data"})")), Bench::Ok("b", "false")); // a folder
    EXPECT_EQ(b.Send(Request(40001, "c", R"({"dirPath": "data"})")), Bench::Ok("c", "true"));
    EXPECT_EQ(b.Send(Request(40001, "d", R"({"dirPath": "data/x.json"})")), Bench::Ok("d", "false"));
    EXPECT_EQ(b.Send(Request(30002, "e", R"({"filePath": "data/x.json"})")), Bench::Ok("e", "true"));
    EXPECT_EQ(b.Send(Request(30002, "f", R"({"filePath": "data/x.json"})")), Bench::Ok("f", "false"));
    EXPECT_EQ(b.Send(Request(40002, "g", R"({"dirPath": "data"})")), Bench::Ok("g", "true"));
    EXPECT_FALSE(std::filesystem::exists(b.Dir / "data"));
    EXPECT_EQ(b.Send(Request(40002, "h", R"({"dirPath": "data"})")), Bench::Ok("h", "false"));
}

TEST(FileFunctions, WriteTextFileLinesAndFolders)
{
    Bench b;
    const std::pair<std::string, std::string> cases[] = {
        {R"("a\nb")", "\xEF\xBB\xBF" "a\r\nb\r\n"},
        {R"("a\r\nb\r\n")", "\xEF\xBB\xBF" "a\r\nb\r\n"},
        {R"("a\rb\n\nc")", "\xEF\xBB\xBF" "a\r\nb\r\n\r\nc\r\n"},
        {R"("")", "\xEF\xBB\xBF"},
        {R"("caf\u00e9 \u20ac")", "\xEF\xBB\xBF" "caf\xC3\xA9 \xE2\x82\xAC\r\n"},
        {R"("cut\u0000here")", "\xEF\xBB\xBF" "cut\r\n"},
        {"42", "\xEF\xBB\xBF" "42\r\n"},
    };
    for (const auto& [contents, bytes] : cases) {
        EXPECT_EQ(b.Send(Request(30003, "w", R"({"filePath": "out/sub/x.txt", "contents": )" + contents + "}")),
                  Bench::Ok("w", "true"))
            << contents;
        EXPECT_EQ(ReadFile(b.Dir / "out/sub/x.txt"), bytes) << contents;
    }
    EXPECT_EQ(b.Send(Request(30003, "nc", R"({"filePath": "nocontents.txt"})")), Bench::Ok("nc", "true"));
    EXPECT_EQ(ReadFile(b.Dir / "nocontents.txt"), "\xEF\xBB\xBF");

    // A file that cannot be created is answered with the system's reason.
    WriteFile(b.Dir / "blocker", "a file where a folder should be");
    const std::string reply = b.Send(Request(30003, "x", R"({"filePath": "blocker/x.txt", "contents": "a"})"));
    EXPECT_EQ(reply.rfind(R"({"uuid": "x", "success": false, "result": "Cannot create file \")", 0), 0u) << reply;
    // A contents object is an error of reading: a failure reply, not silence.
    EXPECT_EQ(b.Send(Request(30003, "y", R"({"filePath": "y.txt", "contents": {}})")),
              Bench::Fail("y", "Conversion from object to string is not supported"));
}

TEST(FileFunctions, ExtractFileFromThePackage)
{
    Bench b;
    const std::string target = Bench::Json((b.Dir / "copy.png").u16string());
    EXPECT_EQ(b.Send(Request(30004, "a", R"({"sourceFile": "/img/a.png", "targetFile": )" + target + "}")),
              Bench::Ok("a", "true"));
    EXPECT_EQ(ReadFile(b.Dir / "copy.png"), "PNGDATA");
    EXPECT_EQ(b.Send(Request(30004, "b", R"({"sourceFile": "/IMG/A.PNG", "targetFile": )" + target + "}")),
              Bench::Ok("b", "true")); // entry names ignore the case of A-Z
    EXPECT_EQ(b.Send(Request(30004, "c", R"({"sourceFile": "img/a.png", "targetFile": )" + target + "}")),
              Bench::Fail("c", "File not found")); // "web" + "img/a.png": no separator is added
    const std::string unwritable = Bench::Json((b.Dir / "no/such/dir/x.png").u16string());
    EXPECT_EQ(b.Send(Request(30004, "d", R"({"sourceFile": "/img/a.png", "targetFile": )" + unwritable + "}")),
              "no reply");
    EXPECT_FALSE(b.Errors.empty());
}

// The entry is read whole and checked before the target is touched: a damaged entry
// (a byte of its data flipped, stored or deflated, or a CRC that does not match) leaves the target as it was and
// the page is told why; a whole one replaces it. Nothing is left beside the target.
TEST(FileFunctions, ExtractFileReplacesTheTargetOnlyWithAWholeEntry)
{
    Bench b;
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += "line " + std::to_string(i * 7919 % 1000) + "\n";
    }
    auto flipped = [](FolioTest::RawEntry e) {
        e.Data[e.Data.size() / 2] ^= 0x20;
        return e;
    };
    auto wrongCrc = [](FolioTest::RawEntry e) { // found only once all of it was written
        e.Crc ^= 1;
        return e;
    };
    b.UsePackage(FolioTest::BuildZip({FolioTest::Stored("web/index.html", "<p>page</p>"),
                                      FolioTest::Stored("web/good.txt", "new contents"),
                                      FolioTest::Deflated("web/good.log", text),
                                      flipped(FolioTest::Stored("web/stored.txt", "stored bytes")),
                                      flipped(FolioTest::Deflated("web/deflated.log", text)),
                                      wrongCrc(FolioTest::Deflated("web/crc.log", text))})
                     .Bytes);
    const std::string target = Bench::Json((b.Dir / "target.txt").u16string());
    auto extract = [&](const std::string& source) {
        return b.Send(Request(30004, "x", R"({"sourceFile": ")" + source + R"(", "targetFile": )" + target + "}"));
    };
    const std::pair<std::string, std::string> damaged[] = {
        {"/stored.txt", R"(Cannot extract file \"web\/stored.txt\". CRC-32 mismatch)"},
        {"/deflated.log", R"(Cannot extract file \"web\/deflated.log\". Damaged data)"},
        {"/crc.log", R"(Cannot extract file \"web\/crc.log\". CRC-32 mismatch)"},
    };
    for (const auto& [source, message] : damaged) {
        WriteFile(b.Dir / "target.txt", "old contents");
        EXPECT_EQ(extract(source), Bench::Fail("x", message)) << source;
        EXPECT_EQ(ReadFile(b.Dir / "target.txt"), "old contents") << source;
        EXPECT_EQ(b.Names(), std::vector<std::string>{"target.txt"}) << source;
    }
    const std::pair<std::string, std::string> whole[] = {{"/good.txt", "new contents"}, {"/good.log", text}};
    for (const auto& [source, contents] : whole) {
        WriteFile(b.Dir / "target.txt", "old contents");
        EXPECT_EQ(extract(source), Bench::Ok("x", "true")) << source;
        EXPECT_TRUE(ReadFile(b.Dir / "target.txt") == contents) << source;
        EXPECT_EQ(b.Names(), std::vector<std::string>{"target.txt"}) << source;
    }
    EXPECT_TRUE(b.Errors.empty());
}

namespace {

// The system's files, but a new file takes only so many bytes before the disk is full.
class SmallDisk final : public Platform::TFileSystem {
public:
    Platform::TFileSystem& Real = Platform::SystemFileSystem();
    size_t Room = 0;

    bool FileExists(const std::u16string& path) override { return Real.FileExists(path); }
    bool DirectoryExists(const std::u16string& path) override { return Real.DirectoryExists(path); }
    bool RemoveFile(const std::u16string& path) override { return Real.RemoveFile(path); }
    bool DeleteTree(const std::u16string& path) override { return Real.DeleteTree(path); }
    void ForceDirectories(const std::u16string& path) override { Real.ForceDirectories(path); }
    void WriteFile(const std::u16string& path, std::string_view bytes) override { Real.WriteFile(path, bytes); }
    bool MoveReplacing(const std::u16string& from, const std::u16string& to) override
    {
        return Real.MoveReplacing(from, to);
    }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string& path) override { return Real.ReadFile(path); }
    std::unique_ptr<Platform::THeldFile> OpenHeld(const std::u16string& path) override { return Real.OpenHeld(path); }
    std::unique_ptr<Platform::TReadableFile> OpenForReading(const std::u16string& path) override
    {
        return Real.OpenForReading(path);
    }
    std::unique_ptr<Platform::TFileWriter> CreateNewFile(const std::u16string& path) override
    {
        auto file = Real.CreateNewFile(path);
        return file ? std::make_unique<Writer>(std::move(file), Shared::Utf16ToUtf8(path), Room) : nullptr;
    }

private:
    class Writer final : public Platform::TFileWriter {
    public:
        Writer(std::unique_ptr<Platform::TFileWriter> file, std::string path, size_t room)
            : FFile(std::move(file)), FPath(std::move(path)), FRoom(room)
        {
        }
        void Write(std::string_view bytes) override
        {
            const size_t n = std::min(bytes.size(), FRoom);
            FFile->Write(bytes.substr(0, n));
            FRoom -= n;
            if (n < bytes.size()) {
                throw Platform::EFileCreateError(FPath, "There is not enough space on the disk.");
            }
        }
        void Close() override { FFile->Close(); }

    private:
        std::unique_ptr<Platform::TFileWriter> FFile;
        std::string FPath;
        size_t FRoom;
    };
};

} // namespace

// A disk that fills while the entry is written: the target stays as it was, the page
// gets the system's reason under the target's name, and the part written is removed.
TEST(FileFunctions, ExtractFileOntoAFullDiskKeepsTheTarget)
{
    SmallDisk disk;
    disk.Room = 100000;
    Bench b(disk);
    const std::string big = FolioTest::NoiseBytes(300000, 5);
    b.UsePackage(FolioTest::BuildZip({FolioTest::Stored("web/index.html", "<p>page</p>"),
                                      FolioTest::Stored("web/big.bin", big)})
                     .Bytes);
    WriteFile(b.Dir / "target.bin", "old contents");
    const std::string target = Bench::Json((b.Dir / "target.bin").u16string());
    const std::string inText = target.substr(1, target.size() - 2); // within the message's JSON string
    EXPECT_EQ(b.Send(Request(30004, "f", R"({"sourceFile": "/big.bin", "targetFile": )" + target + "}")),
              Bench::Fail("f", R"(Cannot create file \")" + inText + R"(\". There is not enough space on the disk.)"));
    EXPECT_EQ(ReadFile(b.Dir / "target.bin"), "old contents");
    EXPECT_EQ(b.Names(), std::vector<std::string>{"target.bin"});

    disk.Room = big.size();
    EXPECT_EQ(b.Send(Request(30004, "g", R"({"sourceFile": "/big.bin", "targetFile": )" + target + "}")),
              Bench::Ok("g", "true"));
    EXPECT_TRUE(ReadFile(b.Dir / "target.bin") == big);
    EXPECT_EQ(b.Names(), std::vector<std::string>{"target.bin"});
}

TEST(FileFunctions, DecodeToFile)
{
    Bench b;
    const std::pair<std::string, std::string> cases[] = {
        {"SGVsbG8=", "Hello"}, {"SGVsbG8", "Hel"}, {"", ""}, {"SGk=", "Hi"}, {"SA==", "H"}, {"AAEC", std::string("\0\1\2", 3)},
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(b.Send(Request(90001, "d", R"({"filePath": "b64/out.bin", "contents": ")" + text + "\"}")),
                  Bench::Ok("d", "true"));
        EXPECT_EQ(ReadFile(b.Dir / "b64/out.bin"), bytes) << text;
    }
}

TEST(FileFunctions, DialogsAndFolders)
{
    Bench b;
    EXPECT_EQ(b.Send(Request(20001, "o")), Bench::Ok("o", "\"\"")); // cancelled
    ASSERT_EQ(b.Dialogs.Requests.size(), 1u);
    EXPECT_EQ(b.Dialogs.Requests[0].Title, u"Open file");
    EXPECT_TRUE(b.Dialogs.Requests[0].Types.empty());

    b.Dialogs.Answers = {u"C:\\Work\\a \"b\".txt"};
    EXPECT_EQ(b.Send(Request(20002, "s",
                             R"({"title": "", "fileName": "n.txt", "fileTypes": "Images|*.jpg;*.png;All|*.*|x;Text|*.txt", "overwritePrompt": 1})")),
              Bench::Ok("s", R"("C:\\Work\\a \"b\".txt")"));
    const auto& save = b.Dialogs.Requests.back();
    EXPECT_EQ(save.Title, u"");
    EXPECT_EQ(save.FileName, u"n.txt");
    EXPECT_TRUE(save.OverwritePrompt);
    ASSERT_EQ(save.Types.size(), 2u);
    EXPECT_EQ(save.Types[0].Name, u"Images");
    EXPECT_EQ(save.Types[0].Mask, u"*.jpg");
    EXPECT_EQ(save.Types[1].Name, u"Text");
    EXPECT_EQ(b.Send(Request(20002, "bad", R"({"overwritePrompt": "perhaps"})")), "no reply");

    b.Dialogs.Answers = {u"C:\\Work", u"D:\\"};
    EXPECT_EQ(b.Send(Request(20003, "f1")), Bench::Ok("f1", R"("C:\\Work\\")"));
    EXPECT_EQ(b.Dialogs.Requests.back().Title, u"Save file");
    EXPECT_EQ(b.Send(Request(20003, "f2")), Bench::Ok("f2", R"("D:\\")"));
    EXPECT_EQ(b.Send(Request(20003, "f3")), Bench::Ok("f3", "\"\""));

    EXPECT_EQ(b.Send(Request(40003, "t")), Bench::Ok("t", R"("C:\\Temp\\")"));
    EXPECT_EQ(b.Send(Request(40004, "d")), Bench::Ok("d", R"("C:\\Users\\me\\Documents\\")"));
    EXPECT_EQ(b.Send(Request(40005, "k")), Bench::Ok("k", R"("C:\\Users\\me\\Desktop\\")"));
    EXPECT_EQ(b.Send(Request(40007, "r")), Bench::Ok("r", R"("C:\\Users\\me\\AppData\\Roaming\\")"));
    EXPECT_EQ(b.Send(Request(40006, "x")), Bench::Ok("x", Bench::Json(b.ExeDir())));
}

TEST(AppFunctions, FullscreenStateMachine)
{
    Bench b;
    EXPECT_EQ(b.Send(Request(50002, "q")), Bench::Ok("q", "false"));
    EXPECT_EQ(b.Send(Request(50003, "e1")), "no reply");
    EXPECT_EQ(b.Window.BorderCode, 0);
    EXPECT_EQ(b.Window.WindowState, Platform::TWindowState::Maximized);
    EXPECT_EQ(b.Send(Request(50003, "e2")), "no reply");
    EXPECT_EQ(b.Send(Request(60012, "s", R"({"border": "single"})")), Bench::Ok("s", "true"));
    EXPECT_EQ(b.Send(Request(50002, "q2")), Bench::Ok("q2", "true"));
    EXPECT_EQ(b.Send(Request(50004, "x")), "no reply");
    EXPECT_EQ(b.Window.WindowState, Platform::TWindowState::Normal);
    EXPECT_EQ(b.Window.BorderCode, 3); // [App] WindowBorder, not "single"
    EXPECT_EQ(b.Send(Request(50002, "q3")), Bench::Ok("q3", "false"));
    b.Window.BorderCode = 1;
    EXPECT_EQ(b.Send(Request(50004, "x2")), "no reply"); // not in full screen: nothing changes
    EXPECT_EQ(b.Window.BorderCode, 1);
    EXPECT_EQ(b.Send(Request(50001, "c")), "no reply");
    EXPECT_EQ(b.CloseRequests, 1);
}

TEST(AppFunctions, WindowProperties)
{
    Bench b;
    b.System.Line = u"\"C:\\Apps\\FolioRuntime.exe\" a \"b c\" \"\"d e\"q\"uote";
    EXPECT_EQ(b.Send(Request(50005, "g")), Bench::Ok("g", R"(["C:\\Apps\\FolioRuntime.exe","a","b c","d","equote"])"));
    EXPECT_EQ(b.Send(Request(60001, "s1")), Bench::Ok("s1", "\"normal\""));
    EXPECT_EQ(b.Send(Request(60002, "s2", R"({"style": "ontop"})")), Bench::Ok("s2", "true"));
    EXPECT_EQ(b.Send(Request(60001, "s3")), Bench::Ok("s3", "\"ontop\""));
    EXPECT_EQ(b.Send(Request(60002, "s4", R"({"style": "OnTop"})")), Bench::Ok("s4", "true"));
    EXPECT_FALSE(b.Window.IsOnTop); // names match exactly

    b.Window.Tray = true;
    EXPECT_EQ(b.Send(Request(60004, "m", R"({"state": "minimized"})")), Bench::Ok("m", "true"));
    EXPECT_FALSE(b.Window.Visible);
    EXPECT_EQ(b.Send(Request(60003, "m2")), Bench::Ok("m2", "\"minimized\""));
    EXPECT_EQ(b.Send(Request(60004, "n", R"({})")), Bench::Ok("n", "true"));
    EXPECT_TRUE(b.Window.Visible);
    EXPECT_EQ(b.Window.FrontCount, 1);
    EXPECT_EQ(b.Send(Request(60004, "z", R"({"state": "huge"})")), Bench::Ok("z", "true"));
    EXPECT_EQ(b.Send(Request(60003, "n2")), Bench::Ok("n2", "\"normal\""));

    EXPECT_EQ(b.Send(Request(60006, "t", R"({"title": "say \"hi\"\n"})")), Bench::Ok("t", "true"));
    EXPECT_EQ(b.Send(Request(60005, "t2")), Bench::Ok("t2", R"("say \"hi\"\n")"));

    EXPECT_EQ(b.Send(Request(60008, "z1", R"({"factor": 1.5})")), Bench::Ok("z1", "true"));
    EXPECT_EQ(b.Browser.Zoom, 1.5);
    EXPECT_EQ(b.Send(Request(60007, "z2")), Bench::Ok("z2", "\"1.5\""));
    b.System.Separator = u',';
    EXPECT_EQ(b.Send(Request(60007, "z3")), Bench::Ok("z3", "\"1,5\""));
    EXPECT_EQ(b.Send(Request(60008, "z4", R"({"factor": "1,5"})")), Bench::Ok("z4", "false"));
    EXPECT_EQ(b.Browser.Zoom, 1.0);
    EXPECT_EQ(b.Send(Request(60008, "z5", R"({"factor": "1.25"})")), Bench::Ok("z5", "true"));
    EXPECT_EQ(b.Send(Request(60007, "z6")), Bench::Ok("z6", "\"1,25\""));

    EXPECT_EQ(b.Send(Request(60010, "w", R"({"width": 1024})")), Bench::Ok("w", "true"));
    EXPECT_EQ(b.Send(Request(60009, "w2")), Bench::Ok("w2", R"({"top": 50, "left": 50, "width": 1024, "height": 600})"));
    EXPECT_EQ(b.Send(Request(60010, "w3", R"({"width": "640.7", "top": "12px", "left": "x", "height": -5})")),
              Bench::Ok("w3", "true"));
    EXPECT_EQ(b.Send(Request(60009, "w4")), Bench::Ok("w4", R"({"top": 12, "left": 0, "width": 640, "height": -5})"));

    EXPECT_EQ(b.Send(Request(60011, "b1")), Bench::Ok("b1", "\"sizeable\""));
    for (const auto& [name, code] : std::vector<std::pair<std::string, int>>{
             {"none", 0}, {"single", 1}, {"dialog", 3}, {"toolwindow", 4}, {"sizetoolwindow", 5}, {"sizeable", 2}}) {
        EXPECT_EQ(b.Send(Request(60012, "b", "{\"border\": \"" + name + "\"}")), Bench::Ok("b", "true"));
        EXPECT_EQ(b.Window.BorderCode, code) << name;
        EXPECT_EQ(b.Send(Request(60011, "g")), Bench::Ok("g", "\"" + name + "\""));
    }
    b.Window.BorderCode = 0;
    EXPECT_EQ(b.Send(Request(60012, "d", "{}")), Bench::Ok("d", "true"));
    EXPECT_EQ(b.Window.BorderCode, 2);
    EXPECT_EQ(b.Send(Request(60012, "u", R"({"border": "Fancy"})")), Bench::Ok("u", "true"));
    EXPECT_EQ(b.Window.BorderCode, 2);
}

TEST(PageText, PathsAndCommandLines)
{
    EXPECT_EQ(Bridge::ResolvePagePath(u"data/a.txt", u"C:\\App\\"), u"C:\\App\\data\\a.txt");
    EXPECT_EQ(Bridge::ResolvePagePath(u"C:/x.json", u"C:\\App\\"), u"C:/x.json");
    EXPECT_EQ(Bridge::ResolvePagePath(u"C:a.txt", u"C:\\App\\"), u"C:a.txt");
    EXPECT_EQ(Bridge::ResolvePagePath(u"\\\\server\\share\\a", u"C:\\App\\"), u"\\\\server\\share\\a");
    EXPECT_EQ(Bridge::ResolvePagePath(u"\\a", u"C:\\App\\"), u"C:\\App\\\\a");
    EXPECT_EQ(Bridge::SplitCommandLine(u""), std::vector<std::u16string>{});
    EXPECT_EQ(Bridge::SplitCommandLine(u"prog.exe"), std::vector<std::u16string>{});
    EXPECT_EQ(Bridge::SplitCommandLine(u"  \"C:\\p q\\r.exe\"\tone  \"two three\" fo\"u r\" \"\""),
              (std::vector<std::u16string>{u"one", u"two three", u"fou r"}));
}
