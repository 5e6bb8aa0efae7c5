// A second start's command line and working folder, as it hands them to the running
// instance of its application, and the check of what arrives: the bytes come from
// another process and are read as untrusted input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Shared {

struct TForwardedStart {
    std::vector<std::u16string> Args; // without the program's name
    std::u16string Folder;            // the start's working folder
};

// The most a message may hold: more than any Windows command line (32,767 characters).
constexpr size_t kMostForwardedBytes = 128 * 1024;
constexpr size_t kMostForwardedArgs = 4096;

// Little-endian: "FS1\0", the argument count (32 bits), each argument and then the folder
// as a length in UTF-16 units (32 bits) and the units. Empty when the start does not
// fit the bounds above: it is then not forwarded.
std::string EncodeForwardedStart(const TForwardedStart& start);

// Nothing unless the bytes are exactly one well-formed message within the bounds, with
// no NUL or unpaired surrogate in any text.
std::optional<TForwardedStart> DecodeForwardedStart(std::string_view bytes);

} // namespace Folio::Shared
