// TZipEntryReader: one entry of an open TZipArchive read piece by piece through a
// fixed buffer, so that memory stays bounded whatever the entry's size, and stored
// entries can seek. Several readers may work on one archive from different threads:
// the archive is only read, and the key checkpoints they share are locked.
#pragma once

#include "package/ZipArchive.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Folio::Shared {

class TZipEntryReader {
public:
    // Opens the entry: locates its data and checks the password. Status() tells
    // whether that worked; a reader that failed reads nothing. The archive must stay
    // open over the same data while the reader is used: every entry is read straight
    // from that data, decoded as it is read.
    TZipEntryReader(const TZipArchive& archive, size_t index);
    ~TZipEntryReader();
    TZipEntryReader(const TZipEntryReader&) = delete;
    TZipEntryReader& operator=(const TZipEntryReader&) = delete;

    // Ok while nothing has gone wrong. Set to the entry's failure (damaged data, CRC
    // mismatch at the end of a read from the start, ...) as soon as one is found.
    ZipEntryStatus Status() const;

    uint64_t Size() const;      // the entry's decoded size
    uint64_t Position() const;
    // Stored entries seek (encrypted ones through the key checkpoints of earlier
    // reads); compressed ones only restart from the beginning.
    bool CanSeek() const;

    // Moves to position (<= Size()). For entries that cannot seek, moving backwards
    // restarts decoding and moving forwards decodes and drops the bytes between.
    // False when the reader has failed.
    bool Seek(uint64_t position);

    // Reads up to count bytes at the position into buffer; returns how many. 0 at the
    // end of the entry or on failure (see Status()). The CRC is checked when a read
    // that began at position 0 reaches the end; a mismatch fails that last read.
    // (Stored encrypted entries are checked whenever decryption reaches the end: the
    // keys carry the CRC of every byte before, whichever checkpoint they came through.)
    size_t Read(uint8_t* buffer, size_t count);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace Folio::Shared
