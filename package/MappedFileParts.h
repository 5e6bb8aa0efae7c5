// The parts of TMappedFile that each system writes its own way (MappedFileWin32.cpp,
// MappedFilePosix.cpp), and the failures they raise alike. Internal to the package library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Folio::Shared::MappedFileParts {

// Raises EFileError "Cannot map <path>: <why>".
[[noreturn]] void Fail(const std::u16string& path, const std::string& why);
// The reason given for a file larger than the process can map.
std::string TooLarge(uint64_t size);
// Whether a file of this size may be mapped whole: at most half the address space.
bool Mappable(uint64_t size) noexcept;

// The system's page size, and giving back the memory of whole pages of a view.
size_t PageSize() noexcept;
void DropPages(uintptr_t first, size_t length) noexcept;

} // namespace Folio::Shared::MappedFileParts
