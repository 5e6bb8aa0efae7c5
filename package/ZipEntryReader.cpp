// The entry reader (see ZipEntryReader.h): stored entries copied or decrypted straight
// into the caller's buffer, deflated ones inflated there by zlib (which keeps its own
// window), other methods through their streaming decoders (package/ZipMethods.h).
#include "package/ZipEntryReader.h"

#include "package/Crc32.h"
#include "package/ZipCrypto.h"
#include "package/ZipKeyCheckpoints.h"
#include "package/ZipMethods.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Folio::Shared {

namespace {

constexpr size_t kCryptHeader = 12;
constexpr size_t kBufferSize = 65536;
// As in Read: deflate cannot expand data by more than about 1032 to 1.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kSpacing = TKeyCheckpoints::kSpacing;

enum class EKind { Stored, Deflate, Other };

} // namespace

struct TZipEntryReader::TState {
    const TZipArchive& Archive;
    const size_t Index;
    TZipEntry Entry;
    ZipEntryStatus Status = ZipEntryStatus::Ok;
    EKind Kind = EKind::Stored;
    const uint8_t* Payload = nullptr; // after the encryption header
    uint64_t PayloadSize = 0;
    uint64_t Position = 0;

    // The key stream: at plain byte KeysAt of a stored entry, at compressed byte
    // Consumed of a deflated one.
    TZipKeys Keys{std::string_view()};
    TZipKeyState StartKeys;
    uint64_t KeysAt = 0;
    std::shared_ptr<TKeyCheckpoints> Checkpoints; // null: this entry keeps none
    size_t KnownPoints = 0;

    // The CRC of the plain bytes [0, CrcEnd) read in one run from the start.
    uint32_t Crc = 0;
    uint64_t CrcEnd = 0;
    bool CrcRun = true;
    bool Verified = false; // the whole entry has matched its CRC once

    z_stream Z{};
    bool ZReady = false;
    bool ZEnded = false;
    uint64_t Consumed = 0;
    // Deflate's decrypted input; bytes decrypted on the way to a seek target.
    std::unique_ptr<uint8_t[]> Buffer;
    std::unique_ptr<uint8_t[]> Drop; // inflated bytes dropped on the way to a seek target

    // Other methods: the payload source and the decoder reading it.
    std::unique_ptr<TMethodSource> Source;
    std::unique_ptr<TMethodDecoder> Decoder;

    TState(const TZipArchive& archive, size_t index) : Archive(archive), Index(index) {}
    ~TState()
    {
        if (ZReady) {
            inflateEnd(&Z);
        }
    }

    uint64_t Size() const { return Entry.UncompressedSize; }

    size_t Fail(ZipEntryStatus status)
    {
        Status = status;
        return 0;
    }

    void Open();
    size_t Read(uint8_t* buffer, size_t count);
    bool Seek(uint64_t position);

    // Stored entries.
    void Decrypt(uint8_t* out, size_t n);
    void KeysTo(uint64_t position);
    size_t ReadStored(uint8_t* out, size_t n);
    // Deflated entries.
    bool Refill();
    void Restart();
    size_t ReadDeflate(uint8_t* out, size_t n);
    bool EndOfStream();
    // At the end: the CRC, when the bytes it covers were all seen.
    bool CheckEnd();
    // Other methods.
    bool StartDecoder();
    size_t ReadOther(uint8_t* out, size_t n);
};

void TZipEntryReader::TState::Open()
{
    const auto& zip = Archive;
    if (!zip.FOpen || Index >= zip.FEntries.size()) {
        Status = ZipEntryStatus::Damaged;
        return;
    }
    Entry = zip.FEntries[Index];
    const TZipEntry& e = Entry;
    if (e.Method == kMethodStored) {
        Kind = EKind::Stored;
    } else if (e.Method == kMethodDeflate) {
        Kind = EKind::Deflate;
    } else if (MethodSupported(e.Method)) {
        Kind = EKind::Other;
    } else {
        Status = ZipEntryStatus::UnsupportedMethod;
        return;
    }
    uint64_t start = 0;
    if (const auto status = zip.LocateData(e, start); status != ZipEntryStatus::Ok) {
        Status = status;
        return;
    }
    Payload = zip.FData.data() + start;
    PayloadSize = e.CompressedSize;
    Keys = TZipKeys(zip.FPassword);
    if (e.Encrypted()) {
        if (PayloadSize < kCryptHeader) {
            Status = ZipEntryStatus::Damaged;
            return;
        }
        uint8_t header[kCryptHeader];
        Keys.DecryptBlock(Payload, header, kCryptHeader);
        // As in Read: the CRC's high byte, or with a data descriptor the time's.
        const uint8_t check = header[kCryptHeader - 1];
        if (check != (e.Crc32 >> 24) && !(e.HasDataDescriptor() && check == (e.DosTime >> 8))) {
            Status = ZipEntryStatus::WrongPassword;
            return;
        }
        Payload += kCryptHeader;
        PayloadSize -= kCryptHeader;
    }
    StartKeys = Keys.State();
    if (Kind == EKind::Stored) {
        if (Size() != PayloadSize) {
            Status = ZipEntryStatus::SizeMismatch;
            return;
        }
        if (e.Encrypted() && Size() >= TKeyCheckpoints::kMinEntrySize && Index <= UINT32_MAX) {
            Checkpoints = zip.FCheckpoints;
        }
    } else if (Kind == EKind::Deflate) {
        if (Size() > PayloadSize * kMaxDeflateRatio + 1024) {
            Status = ZipEntryStatus::SizeMismatch;
            return;
        }
        if (inflateInit2(&Z, -MAX_WBITS) != Z_OK) {
            Status = ZipEntryStatus::Damaged;
            return;
        }
        ZReady = true;
    }
    if (Kind == EKind::Other) {
        // As in Read: a size the payload cannot give is refused before anything else.
        if (Size() > MethodMaxSize(e.Method, PayloadSize)) {
            Status = ZipEntryStatus::SizeMismatch;
            return;
        }
        StartDecoder();
    } else if (e.Encrypted()) {
        Buffer.reset(new uint8_t[kBufferSize]);
    }
}

// Decrypts n bytes at KeysAt, keeping the keys met at each 64 KB boundary.
void TZipEntryReader::TState::Decrypt(uint8_t* out, size_t n)
{
    const uint8_t* in = Payload + KeysAt;
    while (n > 0) {
        const uint64_t boundary = (KeysAt / kSpacing + 1) * kSpacing;
        const auto piece = static_cast<size_t>(std::min<uint64_t>(n, boundary - KeysAt));
        Keys.DecryptBlock(in, out, piece);
        KeysAt += piece, in += piece, out += piece, n -= piece;
        const uint64_t point = KeysAt / kSpacing;
        if (Checkpoints && KeysAt == boundary && point > KnownPoints) {
            KnownPoints = Checkpoints->Add(static_cast<uint32_t>(Index), static_cast<size_t>(point), Keys.State());
        }
    }
}

// Brings the keys to a plain offset: from where they are when that is on the way,
// else from the nearest kept point before it (or the start), decrypting forwards.
void TZipEntryReader::TState::KeysTo(uint64_t position)
{
    if (KeysAt == position) {
        return;
    }
    TZipKeyState kept;
    const size_t point = Checkpoints ? Checkpoints->Find(static_cast<uint32_t>(Index),
                                                          static_cast<size_t>(position / kSpacing), kept, KnownPoints)
                                     : 0;
    if (KeysAt > position || point * kSpacing > KeysAt) {
        Keys.SetState(point > 0 ? kept : StartKeys);
        KeysAt = point * kSpacing;
    }
    while (KeysAt < position) {
        Decrypt(Buffer.get(), static_cast<size_t>(std::min<uint64_t>(kBufferSize, position - KeysAt)));
    }
}

size_t TZipEntryReader::TState::ReadStored(uint8_t* out, size_t n)
{
    if (Entry.Encrypted()) {
        KeysTo(Position);
        Decrypt(out, n);
    } else {
        std::memcpy(out, Payload + Position, n);
        if (CrcRun && CrcEnd == Position) {
            Crc = Crc32(Crc, out, n);
            CrcEnd += n;
        } else {
            CrcRun = false;
        }
    }
    Position += n;
    return n;
}

bool TZipEntryReader::TState::Refill()
{
    const uint64_t left = PayloadSize - Consumed;
    if (left == 0) {
        return false;
    }
    size_t n;
    if (Entry.Encrypted()) {
        n = static_cast<size_t>(std::min<uint64_t>(left, kBufferSize));
        Keys.DecryptBlock(Payload + Consumed, Buffer.get(), n);
        Z.next_in = Buffer.get();
    } else {
        n = static_cast<size_t>(std::min<uint64_t>(left, 0x40000000u));
        Z.next_in = const_cast<Bytef*>(Payload + Consumed);
    }
    Z.avail_in = static_cast<uInt>(n);
    Consumed += n;
    return true;
}

void TZipEntryReader::TState::Restart()
{
    inflateReset(&Z);
    Z.avail_in = 0;
    ZEnded = false;
    Consumed = 0;
    Keys.SetState(StartKeys);
    Position = 0;
    Crc = 0, CrcEnd = 0, CrcRun = true;
}

size_t TZipEntryReader::TState::ReadDeflate(uint8_t* out, size_t n)
{
    Z.next_out = out;
    Z.avail_out = static_cast<uInt>(std::min<size_t>(n, 0x40000000u));
    const uInt want = Z.avail_out;
    while (Z.avail_out > 0 && !ZEnded) {
        if (Z.avail_in == 0) {
            Refill(); // with none left, zlib may still hold bytes to give out (a match's rest)
        }
        const int rc = inflate(&Z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            ZEnded = true;
        } else if (rc != Z_OK) {
            // Z_BUF_ERROR: nothing more to do with room left for output, so the input
            // ended before the stream did.
            return Fail(ZipEntryStatus::Damaged);
        }
    }
    const size_t produced = want - Z.avail_out;
    Crc = Crc32(Crc, out, produced);
    Position += produced;
    CrcEnd = Position;
    if (ZEnded && Position < Size()) {
        return Fail(ZipEntryStatus::SizeMismatch); // fewer bytes than the entry claims
    }
    return produced;
}

// With every claimed byte out, only the end of the stream may follow.
bool TZipEntryReader::TState::EndOfStream()
{
    while (!ZEnded) {
        uint8_t probe[1];
        Z.next_out = probe;
        Z.avail_out = 1;
        ZipEntryStatus failure = ZipEntryStatus::Ok;
        if (Z.avail_in == 0 && !Refill()) {
            failure = ZipEntryStatus::Damaged;
        } else {
            const int rc = inflate(&Z, Z_NO_FLUSH);
            if (Z.avail_out == 0) {
                failure = ZipEntryStatus::SizeMismatch;
            } else if (rc == Z_STREAM_END) {
                ZEnded = true;
            } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && Z.avail_in == 0)) {
                failure = ZipEntryStatus::Damaged;
            }
        }
        if (failure != ZipEntryStatus::Ok) {
            Fail(failure);
            return false;
        }
    }
    return true;
}

bool TZipEntryReader::TState::CheckEnd()
{
    if (Verified) {
        return true;
    }
    uint32_t crc;
    if (Kind == EKind::Deflate) {
        if (!EndOfStream()) {
            return false;
        }
        crc = Crc;
    } else if (Kind == EKind::Other) {
        // The decoder checked the stream's end with the last byte; an empty entry's
        // check is this read.
        uint8_t probe[1];
        if (Decoder->Read(probe, 1) != 0 || Decoder->Status() != ZipEntryStatus::Ok) {
            Fail(Decoder->Status() == ZipEntryStatus::Ok ? ZipEntryStatus::SizeMismatch : Decoder->Status());
            return false;
        }
        crc = Crc;
    } else if (Entry.Encrypted()) {
        // Key 0 runs a CRC register over every plain byte from the start, whichever
        // kept point the keys came through: the check needs only the keys at the end.
        if (KeysAt != Size()) {
            return true;
        }
        crc = ~(Keys.Key0() ^ Crc32ShiftZeros(StartKeys.Key0 ^ 0xFFFFFFFFu, Size()));
    } else {
        if (!CrcRun || CrcEnd != Size()) {
            return true;
        }
        crc = Crc;
    }
    if (crc != Entry.Crc32) {
        Fail(ZipEntryStatus::CrcMismatch);
        return false;
    }
    Verified = true;
    return true;
}

bool TZipEntryReader::TState::StartDecoder()
{
    Decoder.reset();
    Source.reset();
    Keys.SetState(StartKeys);
    try {
        Source = std::make_unique<TMethodSource>(std::span<const uint8_t>(Payload, static_cast<size_t>(PayloadSize)),
                                                 Entry.Encrypted() ? &Keys : nullptr);
        Decoder = OpenMethod(Entry.Method, Entry.Flags, *Source, Size());
    } catch (const std::bad_alloc&) {
    }
    if (!Decoder) {
        Fail(ZipEntryStatus::SizeMismatch);
        return false;
    }
    Position = 0;
    Crc = 0, CrcEnd = 0, CrcRun = true;
    return true;
}

size_t TZipEntryReader::TState::ReadOther(uint8_t* out, size_t n)
{
    const size_t produced = Decoder->Read(out, n);
    if (produced == 0) {
        // Short of the entry's size only with a reason.
        return Fail(Decoder->Status() == ZipEntryStatus::Ok ? ZipEntryStatus::Damaged : Decoder->Status());
    }
    Crc = Crc32(Crc, out, produced);
    Position += produced;
    CrcEnd = Position;
    return produced;
}

size_t TZipEntryReader::TState::Read(uint8_t* buffer, size_t count)
{
    if (Status != ZipEntryStatus::Ok) {
        return 0;
    }
    if (Position >= Size()) {
        CheckEnd(); // an empty entry, or one read to the end whose end is not checked yet
        return 0;
    }
    if (Position == 0) {
        Crc = 0, CrcEnd = 0, CrcRun = true;
    }
    const auto n = static_cast<size_t>(std::min<uint64_t>(count, Size() - Position));
    if (n == 0) {
        return 0;
    }
    size_t got = 0;
    switch (Kind) {
    case EKind::Stored: got = ReadStored(buffer, n); break;
    case EKind::Deflate: got = ReadDeflate(buffer, n); break;
    case EKind::Other: got = ReadOther(buffer, n); break;
    }
    if (Status != ZipEntryStatus::Ok) {
        return 0;
    }
    if (Position == Size() && !CheckEnd()) {
        return 0;
    }
    return got;
}

bool TZipEntryReader::TState::Seek(uint64_t position)
{
    if (Status != ZipEntryStatus::Ok || position > Size()) {
        return false;
    }
    switch (Kind) {
    case EKind::Stored:
        Position = position; // encrypted: the keys follow on the next read
        return true;
    case EKind::Deflate:
    case EKind::Other:
        if (position < Position) {
            if (Kind == EKind::Deflate) {
                Restart();
            } else if (!StartDecoder()) {
                return false;
            }
        }
        while (Position < position) {
            if (!Drop) {
                Drop.reset(new uint8_t[kBufferSize]);
            }
            if (Read(Drop.get(), static_cast<size_t>(std::min<uint64_t>(kBufferSize, position - Position))) == 0) {
                return false;
            }
        }
        return true;
    }
    return false;
}

TZipEntryReader::TZipEntryReader(const TZipArchive& archive, size_t index)
    : FState(std::make_unique<TState>(archive, index))
{
    FState->Open();
}

TZipEntryReader::~TZipEntryReader() = default;

ZipEntryStatus TZipEntryReader::Status() const { return FState->Status; }
uint64_t TZipEntryReader::Size() const { return FState->Size(); }
uint64_t TZipEntryReader::Position() const { return FState->Position; }
bool TZipEntryReader::CanSeek() const { return FState->Kind == EKind::Stored; }
bool TZipEntryReader::Seek(uint64_t position) { return FState->Seek(position); }
size_t TZipEntryReader::Read(uint8_t* buffer, size_t count) { return FState->Read(buffer, count); }

} // namespace Folio::Shared
