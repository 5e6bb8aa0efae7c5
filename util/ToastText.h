// What a toast notification is made of, apart from the system calls: the application's
// user model id (from the executable's path) and the toast's XML content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Folio::Shared {

// Bob Jenkins' lookup3 hashlittle of the bytes.
uint32_t HashLittle(const void* key, size_t length, uint32_t initval);

// "Folio.Runtime." and the eight upper-case hexadecimal digits of hashlittle (initial
// value 0) of the path's UTF-16 little-endian bytes.
std::u16string AppUserModelId(std::u16string_view exePath);

// A short toast with sound: title in bold over the body when both are given, else one
// line of both joined. Texts are escaped for XML; characters XML cannot hold are left out.
std::u16string ToastXml(std::u16string_view title, std::u16string_view body);

} // namespace Folio::Shared
