// The entry reader beyond what the three-way tables of ZipArchiveTest and ZipPeerTest
// check: seeks in stored (plain and encrypted) and deflated entries, the CRC check of a
// read from the start, and readers of one archive on several threads at once.
#include "package/ZipEntryReader.h"
#include "package/ZipWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// Text that deflate shrinks, unlike noise, with no period that would hide an offset error.
std::string Text(size_t n)
{
    std::string t;
    for (size_t i = 0; t.size() < n; ++i) {
        t += "line " + std::to_string(i * 7919 % 100003) + " of the text\n";
    }
    t.resize(n);
    return t;
}

struct TFixture {
    std::string Bytes;
    std::string Password;
    std::string Content;
    bool Seekable;
    const char* What;
};

// Entries of a few hundred KB, so that seeks cross several 64 KB key checkpoints.
const std::vector<TFixture>& Fixtures()
{
    static const std::vector<TFixture> fixtures = [] {
        const std::string noise = NoiseBytes(300001, 5);
        auto package = [&](const std::string& password) {
            std::ostringstream out;
            TZipWriter writer(out, {password, false});
            writer.AddBytes("e", noise, TZipWriter::DosDateTime(1600000000));
            writer.Finish();
            return out.str();
        };
        const std::string text = Text(400000);
        return std::vector<TFixture>{
            {package(""), "", noise, true, "stored"},
            {package("pw"), "pw", noise, true, "stored encrypted"},
            {BuildZip({Deflated("e", text)}).Bytes, "", text, false, "deflated"},
        };
    }();
    return fixtures;
}

struct TStep {
    int64_t SeekTo; // -1: no seek
    size_t Count;   // bytes to ask for
};

} // namespace

TEST(ZipEntryReader, SeeksGiveTheBytesAtTheirPositions)
{
    constexpr int64_t k64 = 65536;
    const std::pair<const char*, std::vector<TStep>> cases[] = {
        {"start", {{0, 1000}}},
        {"middle", {{150000, 5000}}},
        {"across a checkpoint boundary", {{2 * k64 - 100, 300}}},
        {"end", {{-2, 100}, {-1, 100}}}, // -2: ten bytes before the end
        {"backwards after a full read", {{0, 1u << 20}, {70000, 1000}, {3 * k64 + 5, 2 * k64}}},
        {"forwards without an earlier read", {{200000, 1000}, {250000, 10}}},
        {"forwards after a read", {{100, 100}, {140000, 70000}}},
        {"to the end", {{-3, 10}}}, // -3: the size
    };
    for (const auto& f : Fixtures()) {
        const int64_t size = static_cast<int64_t>(f.Content.size());
        for (const auto& [what, steps] : cases) {
            TZipArchive zip; // a fresh archive: no checkpoints from another case
            zip.SetPasswordBytes(f.Password);
            ASSERT_EQ(zip.Open(Span(f.Bytes)), ZipError::None);
            TZipEntryReader reader(zip, 0);
            ASSERT_EQ(reader.Status(), ZipEntryStatus::Ok) << f.What;
            EXPECT_EQ(reader.Size(), f.Content.size());
            EXPECT_EQ(reader.CanSeek(), f.Seekable) << f.What;
            for (const auto& step : steps) {
                const int64_t to = step.SeekTo == -2 ? size - 10 : step.SeekTo == -3 ? size : step.SeekTo;
                if (to >= 0) {
                    ASSERT_TRUE(reader.Seek(static_cast<uint64_t>(to))) << f.What << ", " << what;
                }
                const auto at = static_cast<size_t>(reader.Position());
                std::string got(step.Count, '\0');
                size_t n = 0;
                while (n < step.Count) {
                    const size_t r = reader.Read(reinterpret_cast<uint8_t*>(got.data()) + n, step.Count - n);
                    if (r == 0) {
                        break;
                    }
                    n += r;
                }
                got.resize(n);
                EXPECT_EQ(got, f.Content.substr(at, step.Count)) << f.What << ", " << what << " at " << at;
                EXPECT_EQ(reader.Position(), at + n);
                EXPECT_EQ(reader.Status(), ZipEntryStatus::Ok) << f.What << ", " << what;
            }
            EXPECT_FALSE(reader.Seek(f.Content.size() + 1));
        }
    }
}

// zlib may have taken the last of the input while it still holds bytes to give out (the
// rest of a match, the end of the stream): reads past that point get them, whatever
// the pieces the entry is read in.
TEST(ZipEntryReader, DeflatedBytesHeldAfterTheInputEndedAreGiven)
{
    const std::pair<const char*, std::string> contents[] = {
        {"one long run", std::string(100000, 'a')},
        {"text", Text(400000)},
    };
    for (const auto& [what, content] : contents) {
        const std::string bytes = BuildZip({Deflated("e", content)}).Bytes;
        for (const size_t piece : {size_t{1}, size_t{3}, size_t{4096}, size_t{65536}}) {
            TZipArchive zip;
            ASSERT_EQ(zip.Open(Span(bytes)), ZipError::None);
            TZipEntryReader reader(zip, 0);
            std::string got(content.size() + 1, '\0');
            size_t n = 0;
            while (const size_t r = reader.Read(reinterpret_cast<uint8_t*>(got.data()) + n,
                                                std::min(piece, got.size() - n))) {
                n += r;
            }
            got.resize(n);
            EXPECT_EQ(reader.Status(), ZipEntryStatus::Ok) << what << ", pieces of " << piece << ", at " << n;
            EXPECT_TRUE(got == content) << what << ", pieces of " << piece;
        }
    }
}

// A byte changed in the middle of each entry: a read from the start fails at its last
// read (which gives nothing); a stored entry read only from the middle on cannot tell.
TEST(ZipEntryReader, ACrcMismatchFailsTheLastReadOfAReadFromTheStart)
{
    for (const auto& f : Fixtures()) {
        std::string bytes = f.Bytes;
        const size_t dataStart = 30 + (uint8_t(bytes[26]) | uint8_t(bytes[27]) << 8) +
                                 (uint8_t(bytes[28]) | uint8_t(bytes[29]) << 8);
        const size_t flip = dataStart + (f.Seekable ? 150000 : 100);
        bytes[flip] = static_cast<char>(bytes[flip] ^ 0x01);
        TZipArchive zip;
        zip.SetPasswordBytes(f.Password);
        ASSERT_EQ(zip.Open(Span(bytes)), ZipError::None);
        TZipEntryReader reader(zip, 0);
        std::vector<uint8_t> buffer(f.Content.size());
        uint64_t total = 0;
        while (const size_t n = reader.Read(buffer.data() + total, 100000)) {
            total += n;
        }
        EXPECT_NE(reader.Status(), ZipEntryStatus::Ok) << f.What;
        EXPECT_LT(total, f.Content.size()) << f.What;
        EXPECT_EQ(reader.Read(buffer.data(), 1), 0u);
        EXPECT_FALSE(reader.Seek(0));

        if (f.Seekable && f.Password.empty()) {
            TZipEntryReader tail(zip, 0);
            ASSERT_TRUE(tail.Seek(200000));
            while (tail.Read(buffer.data(), buffer.size()) > 0) {
            }
            EXPECT_EQ(tail.Status(), ZipEntryStatus::Ok);
        }
    }
}

TEST(ZipEntryReader, ReadersOfOneArchiveOnSeveralThreads)
{
    // Two encrypted entries whose key checkpoints the threads keep and use at once.
    const std::string noise = NoiseBytes(300001, 9);
    std::ostringstream out;
    TZipWriter writer(out, {"pw", false});
    writer.AddBytes("enc", noise, TZipWriter::DosDateTime(1600000000));
    writer.AddBytes("enc2", noise.substr(1000), TZipWriter::DosDateTime(1600000000));
    writer.Finish();
    const std::string bytes = out.str();
    TZipArchive zip;
    zip.SetPasswordBytes("pw");
    ASSERT_EQ(zip.Open(Span(bytes)), ZipError::None);
    const std::string second = noise.substr(1000);
    const std::pair<size_t, const std::string*> entries[] = {{0, &noise}, {1, &second}};

    constexpr int kThreads = 4;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                for (const auto& [index, content] : entries) {
                    const std::string& expected = *content;
                    TZipEntryReader reader(zip, index);
                    // Every thread seeks to its own places, some past what others have read.
                    const uint64_t at = (uint64_t(t) * 70001 + uint64_t(round) * 33333) % expected.size();
                    std::string got(5000, '\0');
                    if (!reader.Seek(at)) {
                        ++failures[t];
                        continue;
                    }
                    const size_t n = reader.Read(reinterpret_cast<uint8_t*>(got.data()), got.size());
                    got.resize(n);
                    failures[t] += got != expected.substr(at, 5000);
                    std::vector<uint8_t> all;
                    failures[t] += zip.ReadTo(index, [&](std::span<const uint8_t> b) {
                        all.insert(all.end(), b.begin(), b.end());
                        return true;
                    }) != ZipEntryStatus::Ok;
                    failures[t] += std::string(all.begin(), all.end()) != expected;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    }
}
