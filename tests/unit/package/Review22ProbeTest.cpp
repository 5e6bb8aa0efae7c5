// Probes of the signed layout, deflate at the in-memory/streamed switch, forwarded
// starts at their bound and saved window places.
#include "package/ExeUtils.h"
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "tests/support/SignedPe.h"
#include "tests/support/ZipBuilder.h"
#include "util/ForwardedStart.h"
#include "util/SavedWindow.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {
std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }
}

TEST(Review22Probe, DeflateAtTheSwitchReadsBack)
{
    std::mt19937 rng(7);
    for (const std::string password : {"", "pw"}) {
        for (const uint64_t size : {TZipWriter::kTrialLimit - 1, TZipWriter::kTrialLimit, TZipWriter::kTrialLimit + 1}) {
            for (const bool noisy : {false, true}) {
                std::string content(size, 'a');
                for (auto& c : content) {
                    c = noisy ? char(rng()) : char('a' + rng() % 3);
                }
                std::ostringstream out;
                TZipWriter w(out, {password});
                w.AddBytes("x.bin", content, TZipWriter::DosDateTime(1700000000), true);
                w.Finish();
                const std::string zip = out.str();
                TZipArchive a;
                a.SetPasswordBytes(password);
                ASSERT_EQ(a.Open(Span(zip)), ZipError::None);
                std::vector<uint8_t> back;
                ASSERT_EQ(a.Read(0, back), ZipEntryStatus::Ok) << size << noisy << password;
                EXPECT_TRUE(std::string(back.begin(), back.end()) == content) << size << noisy << password;
                std::cout << size << " noisy=" << noisy << " pw=" << password << " zip=" << zip.size()
                          << " method=" << a.Entry(0).Method << "\n";
            }
        }
    }
}

TEST(Review22Probe, LocatorUnderRandomTables)
{
    std::string file = BuildPe32() + BuildZip({Stored("a.txt", "x")}).Bytes;
    file.resize((file.size() + 7) / 8 * 8, '\0');
    const uint32_t at = uint32_t(file.size());
    const std::string entry = CertificateEntry(std::string(100, 'S'));
    std::mt19937 rng(1);
    size_t taken = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string f = file + entry + std::string(rng() % 3 == 0 ? rng() % 24 : 0, '\0');
        const uint32_t pick[] = {at, at - 8, at + 8, uint32_t(f.size()) - 8, uint32_t(rng()), 0xFFFFFFF8u, 0};
        const uint32_t sizes[] = {uint32_t(entry.size()), uint32_t(f.size() - at), uint32_t(rng()), 0xFFFFFFFFu,
                                  uint32_t(0x100000000ull - at), 8};
        SetSecurityDirectory(f, pick[rng() % 7], sizes[rng() % 6]);
        if (rng() % 2) {
            Patch32(f, at, rng() % 2 ? uint32_t(rng()) : uint32_t(entry.size() - rng() % 16));
        }
        try {
            const auto t = LocateCertificateTable(Span(f), 0x400, "x");
            if (t) {
                ++taken;
                EXPECT_GE(t->Offset, 0x400u);
                EXPECT_EQ(t->Offset + t->Size, f.size());
            }
        } catch (const EFileError&) {
        }
    }
    std::cout << "taken " << taken << "\n";
}

TEST(Review22Probe, ForwardedStartAtTheBound)
{
    // 4 magic + 4 count + 4 length + 2n + 4 folder length = bound
    const size_t units = (kMostForwardedBytes - 16) / 2;
    TForwardedStart s{{std::u16string(units, u'a')}, {}};
    const std::string bytes = EncodeForwardedStart(s);
    EXPECT_EQ(bytes.size(), kMostForwardedBytes);
    EXPECT_TRUE(DecodeForwardedStart(bytes));
    s.Args[0] += u'b';
    EXPECT_TRUE(EncodeForwardedStart(s).empty());
    TForwardedStart many;
    many.Args.assign(kMostForwardedArgs, u"");
    EXPECT_FALSE(EncodeForwardedStart(many).empty());
    EXPECT_TRUE(DecodeForwardedStart(EncodeForwardedStart(many)));
}

TEST(Review22Probe, KeepOnOddAreas)
{
    const TWindowRect areas[] = {{0, 0, 1920, 1040}, {-1920, 0, 0, 1040}, {0, 0, 0, 0}, {100, 100, 50, 50},
                                 {0, 0, 30, 30}};
    const TWindowRect windows[] = {{-100000, -100000, 100000, 100000}, {5000, 5000, 5800, 5600}, {0, 0, 1, 1},
                                   {-2000, 10, -1990, 20}, {1900, 1030, 2700, 1630}};
    for (const auto& a : areas) {
        for (const auto& w : windows) {
            const auto k = KeepOnArea(w, a);
            if (a.Width() > 0 && a.Height() > 0) {
                EXPECT_GE(k.Left, a.Left);
                EXPECT_GE(k.Top, a.Top);
                EXPECT_LE(k.Right, a.Right);
                EXPECT_LE(k.Bottom, a.Bottom);
                EXPECT_GE(k.Width(), 1);
            }
        }
    }
    for (const char* text : {"window 1 -0 0 10 10 0", "window 1 0 0 10 10 1\n\n", "window 1 0 0 10 10 1\r\n",
                             "window 1 00000000000000000000000001 0 10 10 0", "window 1 0 0 100000 100000 0",
                             "window 1 -100000 -100000 100000 100000 0"}) {
        std::cout << "'" << text << "' -> " << bool(ParseSavedWindow(text)) << "\n";
    }
}
