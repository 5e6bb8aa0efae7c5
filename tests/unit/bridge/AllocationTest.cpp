// The bridge's hot path allocates nothing: after the first messages, fileExists messages
// are parsed, dispatched and answered without a heap allocation. This program replaces
// the global operator new to count; under AddressSanitizer malloc is counted as well
// (RapidJSON's own allocations go there).
#include "bridge/BrowserExternalModule.h"
#include "package/ZipArchive.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "tools/bridge-probe/HostFakes.h"

#include "tests/support/ReplacedNew.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's hook (GCC installs no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace {

std::atomic<long> gNews{0};
std::atomic<long> gMallocs{0};
std::atomic<uint64_t> gNewBytes{0};
std::atomic<uint64_t> gMallocBytes{0};

void* TestAllocate(std::size_t size) noexcept
{
    ++gNews;
    gNewBytes += size;
    return std::malloc(size ? size : 1);
}

} // namespace

void* FolioTest::Allocate(std::size_t size) noexcept { return TestAllocate(size); }

namespace {

using namespace Folio::Bridge;

// Keeps the last reply in a buffer of its own, as a port that hands the text on would.
class KeepingBrowser final : public TBrowserPort {
public:
    std::u16string Last;
    size_t Count = 0;
    void PostWebMessageAsJson(const std::u16string& json) override
    {
        Last.assign(json);
        ++Count;
    }
    void ExecuteScript(const std::u16string&) override {}
    double ZoomFactor() const override { return 1.0; }
    void SetZoomFactor(double) override {}
};

// The page's uuids: 36 characters, different for every message.
std::u16string Uuid(int i)
{
    std::u16string uuid = u"3b241101-e2bb-4255-8caf-000000000000";
    for (size_t at = uuid.size(); i > 0; i /= 10) {
        uuid[--at] = static_cast<char16_t>(u'0' + i % 10);
    }
    return uuid;
}

} // namespace

TEST(HotPath, FileExistsMessagesAllocateNothing)
{
#if defined(__SANITIZE_ADDRESS__)
    // Installed for the rest of the program (hooks cannot be removed); the counts below
    // are taken around the loops only.
    ASSERT_NE(__sanitizer_install_malloc_and_free_hooks([](const volatile void*, size_t) { ++gMallocs; },
                                                        [](const volatile void*) {}),
              0);
#endif
    KeepingBrowser browser;
    Folio::Probe::TFixedFileSystem files(true);
    TBrowserExternalModule::TPorts ports;
    ports.Browser = &browser;
    ports.FileSystem = &files;
    ports.AppDirPath = u"C:\\Program Files\\Hello\\";
    TBrowserExternalModule module(ports);

    constexpr int kWarmUp = 3, kMessages = 1000;
    std::vector<std::u16string> messages;
    for (int i = 0; i < kWarmUp + kMessages; ++i) {
        messages.push_back(u"{\"id\":30001,\"uuid\":\"" + Uuid(i) + u"\",\"data\":{\"filePath\":\"data/settings-" +
                           std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u".json\"}}");
    }
    const std::u16string lastReply = u"{\"uuid\": \"" + Uuid(kWarmUp + kMessages - 1) +
                                     u"\", \"success\": true, \"result\": true}";
    const std::u16string_view source = u"file:///index.html";
    for (int i = 0; i < kWarmUp; ++i) {
        module.EdgeBrowserWebMessageReceived(messages[i], source);
    }

    gNews = 0;
    gMallocs = 0;
    for (int i = kWarmUp; i < kWarmUp + kMessages; ++i) {
        module.EdgeBrowserWebMessageReceived(messages[i], source);
    }
    const long news = gNews, mallocs = gMallocs;

    EXPECT_EQ(browser.Count, size_t{kWarmUp + kMessages});
    EXPECT_EQ(browser.Last, lastReply);
    EXPECT_EQ(news, 0);
    EXPECT_EQ(mallocs, 0);

    // The count does see allocations: the one-off entry point makes a document of its own.
    gNews = 0;
    gMallocs = 0;
    EXPECT_TRUE(ParseJson(messages[0]).has_value());
    EXPECT_GT(gNews + gMallocs, 0);
}

// files.extractFile decodes through a fixed buffer into the file: every byte allocated
// while a 48 MiB deflated entry is extracted (the sum, so more than the most held at
// once) stays far below the entry's size.
TEST(Extraction, MemoryDoesNotGrowWithTheEntry)
{
#if defined(__SANITIZE_ADDRESS__)
    ASSERT_NE(__sanitizer_install_malloc_and_free_hooks([](const volatile void*, size_t n) { gMallocBytes += n; },
                                                        [](const volatile void*) {}),
              0);
#endif
    FolioTest::TempDir dir;
    FolioTest::WriteFile(dir / "index.html", "<p>page</p>"); // the page that calls, beside the executable
    std::string text;
    constexpr size_t kSize = 48u << 20;
    text.reserve(kSize);
    for (uint32_t i = 0; text.size() < kSize; ++i) {
        text += "row " + std::to_string(i * 2654435761u % 100000) + " of the large entry\n";
    }
    const std::string zip = FolioTest::BuildZip({FolioTest::Deflated("big.log", text)}).Bytes;
    Folio::Shared::TZipArchive archive;
    ASSERT_EQ(archive.Open({reinterpret_cast<const uint8_t*>(zip.data()), zip.size()}), Folio::Shared::ZipError::None);

    KeepingBrowser browser;
    TBrowserExternalModule::TPorts ports;
    ports.Browser = &browser;
    ports.FileSystem = &Folio::Platform::SystemFileSystem();
    ports.Archive = &archive;
    ports.AppDirPath = dir.Path().u16string() + std::u16string(1, std::filesystem::path::preferred_separator);
    TBrowserExternalModule module(ports);
    std::u16string target = (dir / "big.log").u16string();
    for (auto& c : target) {
        if (c == u'\\') {
            c = u'/'; // within a JSON string
        }
    }
    const std::u16string message =
        u"{\"id\":30004,\"uuid\":\"e\",\"data\":{\"sourceFile\":\"big.log\",\"targetFile\":\"" + target + u"\"}}";

    gNewBytes = 0;
    gMallocBytes = 0;
    module.EdgeBrowserWebMessageReceived(message, u"file:///index.html");
    const uint64_t newBytes = gNewBytes, mallocBytes = gMallocBytes;

    EXPECT_EQ(browser.Last, u"{\"uuid\": \"e\", \"success\": true, \"result\": true}");
    EXPECT_TRUE(FolioTest::ReadFile(dir / "big.log") == text);
    EXPECT_LT(newBytes, 1u << 20);
    EXPECT_LT(mallocBytes, 1u << 20);
}
