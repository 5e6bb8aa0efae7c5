// The built-in loader's search over a registry and a file system made up for each case:
// the channel order and its reversal, HKLM's 32-bit view before HKCU, the version text,
// the client library's path per architecture, and which folders count as a runtime.
#include "browser/BuiltinLoader.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace Folio::Browser;

namespace {

const std::u16string kStable = u"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::u16string kBeta = u"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
const std::u16string kDev = u"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}";
const std::u16string kCanary = u"{65C35B14-6C1D-4122-AC46-7148CC9D6497}";

struct TFakeSystem {
    std::map<std::pair<TRuntimeRegistry, std::u16string>, std::u16string> Values; // (registry, guid) -> folder
    std::set<std::u16string> Files;
    std::vector<std::u16string> Reads;

    // A runtime registered and installed: the value, and the client library for x86.
    void Install(TRuntimeRegistry registry, const std::u16string& guid, const std::u16string& folder,
                 bool withLibrary = true)
    {
        Values[{registry, guid}] = folder;
        if (withLibrary) {
            std::u16string bare = folder;
            while (!bare.empty() && bare.back() == u'\\') {
                bare.pop_back();
            }
            Files.insert(bare + u"\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");
        }
    }
    std::optional<TInstalledRuntime> Find(bool preferPreview = false)
    {
        TRuntimeSearch search;
        search.ReadVersionFolder = [this](TRuntimeRegistry registry, const std::u16string& key) {
            const std::u16string prefix = u"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\";
            EXPECT_EQ(key.substr(0, prefix.size()), prefix);
            const std::u16string guid = key.substr(prefix.size());
            Reads.push_back((registry == TRuntimeRegistry::LocalMachine32 ? u"HKLM32 " : u"HKCU ") + guid);
            const auto it = Values.find({registry, guid});
            return it == Values.end() ? std::nullopt : std::optional(it->second);
        };
        search.FileExists = [this](const std::u16string& path) { return Files.count(path) > 0; };
        search.PreferPreviewChannels = preferPreview;
        return FindInstalledRuntime(search);
    }
};

const std::u16string kFolder = u"C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\Application\\";

} // namespace

TEST(BuiltinLoader, ReadsEachChannelHklmFirstThenHkcuInOrder)
{
    TFakeSystem system;
    EXPECT_FALSE(system.Find());
    EXPECT_EQ(system.Reads, (std::vector<std::u16string>{u"HKLM32 " + kStable, u"HKCU " + kStable, u"HKLM32 " + kBeta,
                                                         u"HKCU " + kBeta, u"HKLM32 " + kDev, u"HKCU " + kDev,
                                                         u"HKLM32 " + kCanary, u"HKCU " + kCanary}));
    system.Reads.clear();
    EXPECT_FALSE(system.Find(true));
    EXPECT_EQ(system.Reads.front(), u"HKLM32 " + kCanary);
    EXPECT_EQ(system.Reads.back(), u"HKCU " + kStable);
}

TEST(BuiltinLoader, FindsTheFirstInstalledRuntimeAndNamesItsChannel)
{
    struct Case {
        const char* What;
        std::vector<std::tuple<TRuntimeRegistry, std::u16string, std::u16string, bool>> Installed;
        bool PreferPreview;
        std::optional<std::u16string> VersionText;
        std::u16string Library;
    };
    const auto HKLM = TRuntimeRegistry::LocalMachine32;
    const auto HKCU = TRuntimeRegistry::CurrentUser;
    const Case cases[] = {
        {"stable in HKLM", {{HKLM, kStable, kFolder + u"120.0.2210.91", true}}, false, u"120.0.2210.91",
         kFolder + u"120.0.2210.91\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"HKLM before HKCU in one channel",
         {{HKCU, kStable, u"C:\\U\\121.0.1.2", true}, {HKLM, kStable, u"C:\\M\\120.0.2210.91", true}}, false,
         u"120.0.2210.91", u"C:\\M\\120.0.2210.91\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"stable in HKCU wins over canary in HKLM",
         {{HKLM, kCanary, u"C:\\C\\125.0.2500.1", true}, {HKCU, kStable, u"C:\\U\\120.0.2210.91", true}}, false,
         u"120.0.2210.91", u"C:\\U\\120.0.2210.91\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"the preference reverses it",
         {{HKLM, kCanary, u"C:\\C\\125.0.2500.1", true}, {HKCU, kStable, u"C:\\U\\120.0.2210.91", true}}, true,
         u"125.0.2500.1 canary", u"C:\\C\\125.0.2500.1\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"beta", {{HKCU, kBeta, u"C:\\B\\121.0.2277.4\\", true}}, false, u"121.0.2277.4 beta",
         u"C:\\B\\121.0.2277.4\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"dev", {{HKLM, kDev, u"C:\\D\\122.0.2300.0", true}}, false, u"122.0.2300.0 dev",
         u"C:\\D\\122.0.2300.0\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"a key whose library is missing is passed over",
         {{HKLM, kStable, u"C:\\M\\120.0.2210.91", false}, {HKCU, kBeta, u"C:\\B\\121.0.2277.4", true}}, false,
         u"121.0.2277.4 beta", u"C:\\B\\121.0.2277.4\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"only a key without its library", {{HKLM, kStable, u"C:\\M\\120.0.2210.91", false}}, false, std::nullopt, u""},
        {"the oldest runtime that serves", {{HKLM, kStable, u"C:\\M\\105.0.1343.22", true}}, false, u"105.0.1343.22",
         u"C:\\M\\105.0.1343.22\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"an older runtime counts as none", {{HKLM, kStable, u"C:\\M\\86.0.622.38", true}}, false, std::nullopt, u""},
        {"an older stable gives way to a newer beta",
         {{HKLM, kStable, u"C:\\M\\105.0.1343.21", true}, {HKLM, kBeta, u"C:\\B\\121.0.2277.4", true}}, false,
         u"121.0.2277.4 beta", u"C:\\B\\121.0.2277.4\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        {"a folder that names no version", {{HKLM, kStable, u"C:\\M\\Application", true}}, false, std::nullopt, u""},
        {"an empty value", {{HKLM, kStable, u"", false}}, false, std::nullopt, u""},
        {"a relative folder", {{HKLM, kStable, u"120.0.2210.91", true}}, false, std::nullopt, u""},
        {"a folder relative to a drive", {{HKLM, kStable, u"C:120.0.2210.91", true}}, false, std::nullopt, u""},
        {"a network folder", {{HKCU, kStable, u"\\\\server\\share\\120.0.2210.91", true}}, false, u"120.0.2210.91",
         u"\\\\server\\share\\120.0.2210.91\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
    };
    for (const auto& c : cases) {
        TFakeSystem system;
        for (const auto& [registry, guid, folder, library] : c.Installed) {
            system.Install(registry, guid, folder, library);
        }
        const auto found = system.Find(c.PreferPreview);
        ASSERT_EQ(found.has_value(), c.VersionText.has_value()) << c.What;
        if (found) {
            EXPECT_EQ(found->VersionText, *c.VersionText) << c.What;
            EXPECT_EQ(found->ClientLibrary, c.Library) << c.What;
        }
    }
}

TEST(BuiltinLoader, ClientLibraryPerArchitecture)
{
    EXPECT_EQ(ClientLibraryPath(u"C:\\R\\120.0.2210.91", TClientArchitecture::X86),
              u"C:\\R\\120.0.2210.91\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");
    EXPECT_EQ(ClientLibraryPath(u"C:\\R\\120.0.2210.91\\\\", TClientArchitecture::X64),
              u"C:\\R\\120.0.2210.91\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
    EXPECT_EQ(ClientLibraryPath(u"C:/R/120.0.2210.91/", TClientArchitecture::X86),
              u"C:\\R\\120.0.2210.91\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");
    EXPECT_EQ(ClientLibraryPath(u"C:\\R\\120.0.2210.91", TClientArchitecture::Arm64),
              u"C:\\R\\120.0.2210.91\\EBWebView\\arm64\\EmbeddedBrowserWebView.dll");
}

TEST(BuiltinLoader, VersionsOfFoldersAndTheirOrder)
{
    EXPECT_EQ(VersionOfFolder(u"C:\\A\\120.0.2210.91"), u"120.0.2210.91");
    EXPECT_EQ(VersionOfFolder(u"C:/A/120.0.2210.91/"), u"120.0.2210.91");
    for (const std::u16string bad : {u"C:\\A\\120.0.2210", u"C:\\A\\120.0.2210.91.1", u"C:\\A\\120.0.2210.x",
                                     u"C:\\A\\120..2210.91", u"C:\\A\\1234567890.0.0.0", u"C:\\A\\ 120.0.2210.91",
                                     u"C:\\A\\120.0.2210.91 beta", u""}) {
        EXPECT_FALSE(VersionOfFolder(bad)) << std::string(bad.begin(), bad.end());
    }
    EXPECT_TRUE(VersionAtLeast(u"105.0.1343.22", kMinimumRuntimeVersion));
    EXPECT_TRUE(VersionAtLeast(u"106.0.0.0", kMinimumRuntimeVersion));
    EXPECT_TRUE(VersionAtLeast(u"105.0.1344.0", kMinimumRuntimeVersion));
    EXPECT_FALSE(VersionAtLeast(u"105.0.1343.21", kMinimumRuntimeVersion));
    EXPECT_FALSE(VersionAtLeast(u"99.0.9999.9999", kMinimumRuntimeVersion));
    EXPECT_FALSE(VersionAtLeast(u"nonsense", kMinimumRuntimeVersion));
    EXPECT_TRUE(PrefersPreviewChannels(u"1"));
    EXPECT_FALSE(PrefersPreviewChannels(u"0"));
    EXPECT_FALSE(PrefersPreviewChannels(u""));
}
