// The IStream WebView2 reads streamed answers from, for real under COM: reads in
// pieces, seeks, Stat, reads on several threads at once, the stream used from another
// apartment without a proxy, and a damaged entry breaking the read; the same stream
// over a file of the disk, opened through the Win32 file-system adapter.
#include "browser/win32/EntryStream.h"

#include "package/ZipWriter.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

using namespace Folio::Shared;
using Folio::Win32::CreateBodyStream;
using Folio::Win32::CreateEntryStream;
using Microsoft::WRL::ComPtr;

namespace {

const std::string kPassword = "stream-Pa55";
constexpr size_t kSize = 300000;

struct Package {
    std::string Clip = FolioTest::NoiseBytes(kSize, 21);
    std::string Bytes;
    TZipArchive Zip;

    explicit Package(bool damaged = false)
    {
        std::ostringstream out;
        TZipWriter writer(out, {kPassword, false});
        writer.AddBytes("app/clip.bin", Clip, TZipWriter::DosDateTime(1600000000));
        writer.Finish();
        Bytes = out.str();
        if (damaged) {
            Bytes[Bytes.size() / 2] ^= 0x10;
        }
        Zip.SetPasswordBytes(kPassword);
        EXPECT_EQ(Zip.Open({reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size()}), ZipError::None);
    }

    ComPtr<IStream> Stream(uint64_t start = 0, uint64_t length = kSize) const
    {
        return CreateEntryStream(std::make_shared<TZipEntryReader>(Zip, 0), start, length);
    }
};

// Reads to the end in pieces of `piece` bytes; the HRESULT of the last call.
HRESULT ReadAll(IStream* stream, std::string& out, ULONG piece = 7001)
{
    std::string buffer(piece, '\0');
    for (;;) {
        ULONG read = 0;
        const HRESULT hr = stream->Read(buffer.data(), piece, &read);
        if (FAILED(hr)) {
            return hr;
        }
        out.append(buffer, 0, read);
        if (hr == S_FALSE || read == 0) {
            return hr;
        }
    }
}

LARGE_INTEGER Offset(int64_t value)
{
    LARGE_INTEGER l;
    l.QuadPart = value;
    return l;
}

} // namespace

TEST(EntryStream, ReadsInPiecesSeeksAndStats)
{
    Package p;
    const auto stream = p.Stream(1000, 200000);
    ASSERT_TRUE(stream);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.cbSize.QuadPart, 200000u);

    std::string all;
    EXPECT_EQ(ReadAll(stream.Get(), all), S_FALSE);
    EXPECT_TRUE(all == p.Clip.substr(1000, 200000));

    // Seeks from each origin after the full read, then a read of what is there.
    const struct {
        int64_t move;
        DWORD origin;
        uint64_t at;
    } seeks[] = {{150000, STREAM_SEEK_SET, 150000}, {-50, STREAM_SEEK_CUR, 150050}, {-10, STREAM_SEEK_END, 199990},
                 {70000, STREAM_SEEK_SET, 70000}};
    for (const auto& s : seeks) {
        ULARGE_INTEGER position{};
        ASSERT_EQ(stream->Seek(Offset(s.move), s.origin, &position), S_OK) << s.move;
        EXPECT_EQ(position.QuadPart, s.at);
        std::string piece(100, '\0');
        ULONG read = 0;
        const HRESULT hr = stream->Read(piece.data(), 100, &read);
        const size_t expected = std::min<uint64_t>(100, 200000 - s.at);
        EXPECT_EQ(hr, expected == 100 ? S_OK : S_FALSE);
        ASSERT_EQ(read, expected);
        EXPECT_TRUE(piece.substr(0, read) == p.Clip.substr(1000 + s.at, expected)) << s.at;
    }
    ULARGE_INTEGER position{};
    EXPECT_EQ(stream->Seek(Offset(1), STREAM_SEEK_END, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Seek(Offset(-1), STREAM_SEEK_SET, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Write("x", 1, nullptr), E_NOTIMPL);
}

TEST(EntryStream, ReadOnSeveralThreadsAtOnce)
{
    Package p;
    // Two streams over one entry, each read whole on a thread of its own.
    const auto first = p.Stream();
    const auto second = p.Stream();
    std::string a, b;
    HRESULT ha = E_FAIL, hb = E_FAIL;
    std::thread one([&] { ha = ReadAll(first.Get(), a, 4096); });
    std::thread two([&] { hb = ReadAll(second.Get(), b, 65536); });
    one.join();
    two.join();
    EXPECT_EQ(ha, S_FALSE);
    EXPECT_EQ(hb, S_FALSE);
    EXPECT_TRUE(a == p.Clip);
    EXPECT_TRUE(b == p.Clip);

    // One stream read by two threads: every byte goes out once, in order per read.
    const auto shared = p.Stream();
    std::atomic<uint64_t> total{0};
    std::atomic<bool> failed{false};
    auto reader = [&] {
        std::string buffer(3001, '\0');
        for (ULONG read = 1; read > 0;) {
            if (FAILED(shared->Read(buffer.data(), 3001, &read))) {
                failed = true;
                return;
            }
            total += read;
        }
    };
    std::thread three(reader), four(reader);
    three.join();
    four.join();
    EXPECT_FALSE(failed);
    EXPECT_EQ(total.load(), kSize);
}

TEST(EntryStream, AgileAcrossApartments)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        Package p;
        const auto stream = p.Stream();
        ComPtr<IAgileObject> marker;
        EXPECT_EQ(stream.As(&marker), S_OK);

        // Marshalled to a multithreaded apartment, the other side gets this very
        // object, no proxy back to this thread (which does not pump messages here).
        IStream* carrier = nullptr;
        ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(IStream), stream.Get(), &carrier), S_OK);
        IStream* received = nullptr;
        std::string body;
        HRESULT read = E_FAIL;
        std::thread other([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(carrier, __uuidof(IStream), reinterpret_cast<void**>(&received)))) {
                read = ReadAll(received, body);
                received->Release();
            }
            CoUninitialize();
        });
        other.join();
        EXPECT_EQ(received, stream.Get());
        EXPECT_EQ(read, S_FALSE);
        EXPECT_TRUE(body == p.Clip);
    }
    CoUninitialize();
}

TEST(EntryStream, DamagedEntryFailsTheRead)
{
    Package p(true);
    const auto stream = p.Stream();
    std::string body;
    EXPECT_EQ(ReadAll(stream.Get(), body), HRESULT_FROM_WIN32(ERROR_CRC));
    EXPECT_LT(body.size(), kSize); // the last piece, with the bad check, never went out
    // and it stays broken
    char byte = 0;
    ULONG read = 0;
    ASSERT_EQ(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(stream->Read(&byte, 1, &read), HRESULT_FROM_WIN32(ERROR_CRC));
}

// A file of 5 GiB (sparse): the stream reads it at 64-bit offsets, other readers open it
// meanwhile, and it may be deleted while streamed, the open file still reading right.
TEST(EntryStream, DiskFileReadAtAnyOffset)
{
    FolioTest::TempDir dir;
    const std::wstring path = (dir / "big.mp4").wstring();
    constexpr int64_t kSize = int64_t{5} << 30;
    constexpr int64_t kAt = (int64_t{9} << 29) - 3;
    const std::string head = FolioTest::NoiseBytes(100000, 22);
    const std::string marker = "marker bytes past four gigabytes";
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, head.data(), DWORD(head.size()), &written, nullptr));
        ASSERT_TRUE(SetFilePointerEx(file, Offset(kAt), nullptr, FILE_BEGIN));
        ASSERT_TRUE(WriteFile(file, marker.data(), DWORD(marker.size()), &written, nullptr));
        ASSERT_TRUE(SetFilePointerEx(file, Offset(kSize), nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }
    auto opened = Folio::Platform::SystemFileSystem().OpenForReading(std::u16string(path.begin(), path.end()));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->Size(), uint64_t(kSize));
    const auto stream = CreateBodyStream(Folio::Browser::FileSource(std::move(opened)), 1000, uint64_t(kSize) - 1000);
    ASSERT_TRUE(stream);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, uint64_t(kSize) - 1000);

    std::string piece(99000, '\0');
    ULONG read = 0;
    ASSERT_EQ(stream->Read(piece.data(), ULONG(piece.size()), &read), S_OK);
    EXPECT_TRUE(piece == head.substr(1000));

    // Another reader comes in; then the file is deleted, and the stream reads on.
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
    EXPECT_TRUE(DeleteFileW(path.c_str()));

    std::string around(marker.size() + 4, '\0');
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(Offset(kAt - 1000 - 2), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, uint64_t(kAt - 1000 - 2));
    ASSERT_EQ(stream->Read(around.data(), ULONG(around.size()), &read), S_OK);
    EXPECT_EQ(around, std::string(2, '\0') + marker + std::string(2, '\0'));
    ASSERT_EQ(stream->Seek(Offset(-3), STREAM_SEEK_END, nullptr), S_OK);
    EXPECT_EQ(stream->Read(around.data(), ULONG(around.size()), &read), S_FALSE);
    EXPECT_EQ(read, 3u);
}
