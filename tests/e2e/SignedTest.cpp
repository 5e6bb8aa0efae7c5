// A signed, deflated packaged executable under Wine: the package deflated as folio-pack
// writes it by default, signed by the host's osslsigncode (a Unix program, which Wine
// starts) with a CA that openssl makes here; the runtime takes its package up to the
// certificate table, starts, serves its pages (a 2 MB deflated script streamed among
// them) and answers the bridge; with bytes appended after signing it refuses to start.
#include "tests/e2e/StandinFixture.h"

#include <gtest/gtest.h>

using namespace FolioE2E;

namespace {

const fs::path kShell = L"Z:\\bin\\sh";
const fs::path kOpenssl = L"Z:\\usr\\bin\\openssl";
const fs::path kOsslsigncode = L"Z:\\usr\\bin\\osslsigncode";

// The Unix path of a Windows one, for the Unix programs' arguments.
std::wstring UnixPath(const fs::path& path)
{
    using Convert = char*(CDECL*)(LPCWSTR);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) {
        return {};
    }
    char* unix = convert(fs::absolute(path).wstring().c_str());
    if (!unix) {
        return {};
    }
    const std::u16string wide = Folio::Shared::Utf8ToUtf16(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return std::wstring(wide.begin(), wide.end());
}

// Runs a shell script on the host in the Unix folder dir (of the Windows folder work):
// Wine starts a Unix program without a process to wait on, so the script leaves its
// exit status in a file, which is waited for. Its output goes to host.log there.
std::optional<int> RunOnHost(const fs::path& work, const std::string& dir, const std::string& script)
{
    std::error_code ec;
    fs::remove(work / "host.status", ec);
    const std::string command = "cd " + dir + " && { " + script + "; } >host.log 2>&1; echo $? >host.part && " +
                                "mv host.part host.status";
    const std::u16string wide = Folio::Shared::Utf8ToUtf16("/bin/sh -c \"" + command + "\"");
    std::wstring line(wide.begin(), wide.end());
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION info{};
    if (CreateProcessW(kShell.wstring().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    for (int waited = 0; waited < 120000; waited += 200) {
        if (fs::exists(work / "host.status")) {
            return std::stoi(ReadBytes(work / "host.status"));
        }
        Sleep(200);
    }
    return std::nullopt;
}

std::string Script(size_t n)
{
    std::string s;
    for (unsigned i = 0; s.size() < n; ++i) {
        s += "export function f" + std::to_string(i % 5000) + "(a) { return a * " + std::to_string(i % 89) + "; }\n";
    }
    s.resize(n);
    return s;
}

} // namespace

TEST_F(WithStandin, ASignedDeflatedExecutableServesItsPagesAndAnswersTheBridge)
{
    if (!fs::exists(kShell) || !fs::exists(kOpenssl) || !fs::exists(kOsslsigncode) || UnixPath(Work.Path()).empty()) {
        GTEST_SKIP() << "needs Wine's Z: drive with openssl and osslsigncode (scripts/setup)";
    }
    const std::wstring unixDir = UnixPath(Work.Path());
    const std::string dir = Folio::Shared::Utf16ToUtf8(std::u16string(unixDir.begin(), unixDir.end()));
    const std::string big = Script(2u << 20);
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"kiv.ini", "[App]\nID=" + Id + "\nName=Signed " + Id + "\nDirName=web\n"},
        {"web/index.html", kIndex + std::string(4000, ' ') + "<p>deflated</p>"},
        {"web/style.css", "body { color: red }\n" + std::string(3000, ' ')},
        {"web/img/logo.PNG", kLogo},
        {"web/big.js", big},
        {"WebView2LoaderWin32.dll", ReadBytes(kStandin)},
    };
    {
        std::ostringstream zip;
        Folio::Shared::TZipWriter writer(zip, {Folio::Shared::Utf16ToAnsi(Folio::Shared::PackagePassword()), false});
        for (const auto& [name, bytes] : entries) {
            const bool media = name.ends_with(".PNG");
            writer.AddBytes(name, bytes, Folio::Shared::TZipWriter::DosDateTime(1700000000), !media);
        }
        writer.Finish();
        WriteBytes(Work / "Unsigned.exe", ReadBytes(kRuntime) + zip.str());
    }
    WriteBytes(Work / "signer.ext", "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                    "extendedKeyUsage=codeSigning\n");
    const std::string sign =
        "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 -subj /CN=FolioE2ECA"
        " -addext basicConstraints=critical,CA:TRUE &&"
        " openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj /CN=FolioE2ESigner &&"
        " openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext"
        " -out signer.crt &&"
        " osslsigncode sign -h sha256 -certs signer.crt -key signer.key -in Unsigned.exe -out App.exe &&"
        " osslsigncode verify -CAfile ca.crt -in App.exe";
    ASSERT_EQ(RunOnHost(Work.Path(), dir, sign), 0) << ReadBytes(Work / "host.log");
    ASSERT_GT(fs::file_size(Work / "App.exe"), fs::file_size(Work / "Unsigned.exe"));

    const TProcess process = Run(Work / "App.exe",
                                 "request file:///style.css stylesheet\n"
                                 "request file:///img/logo.PNG image\n"
                                 "request file:///big.js script\n"
                                 "message file:///index.html {\"id\":10001,\"uuid\":\"u1\",\"data\":{}}\n"
                                 "wait-reply 10000\n" +
                                     kCloseAnswer + "close\n");
    ASSERT_TRUE(WaitFor("scenario-done", 60000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u);

    const auto lines = Lines();
    for (const auto& [url, name] : std::vector<std::pair<std::string, std::string>>{
             {"file:///index.html", "web/index.html"},
             {"file:///style.css", "web/style.css"},
             {"file:///img/logo.PNG", "web/img/logo.PNG"},
             {"file:///big.js", "web/big.js"}}) {
        const auto* response = Find(lines, "response", "url", url);
        ASSERT_NE(response, nullptr) << url << "\n" << ReadBytes(Log);
        EXPECT_EQ(response->Text("status"), "200") << url;
        const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == name; });
        EXPECT_EQ(response->Text("sha256"), Sha256Hex(entry->second)) << url;
    }
    const auto* reply = Find(lines, "web-message-posted");
    ASSERT_NE(reply, nullptr) << ReadBytes(Log);
    EXPECT_EQ(reply->Text("json"), R"({"uuid": "u1", "success": true, "result": "2023.19"})");

    // Bytes added after signing: the certificate table no longer ends the file, and the
    // runtime says so instead of reading past it.
    WriteBytes(Work / "Appended.exe", ReadBytes(Work / "App.exe") + std::string(100, 'A'));
    const TProcess appended = Start(Work / "Appended.exe", L"");
    HWND dialog = WaitForWindow(appended, IsDialog);
    ASSERT_NE(dialog, nullptr);
    Sleep(200);
    EXPECT_EQ(TextOf(dialog), L"Error");
    const auto texts = ChildTexts(dialog);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::wstring& t) {
        return Contains(t, L"lies inside the appended data: 100 bytes follow it");
    }));
    ClickButton(dialog, L"Accept");
    EXPECT_EQ(appended.WaitExit(20000), 0u);
}
