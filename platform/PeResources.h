// The resource directory of a PE file (PE32 and PE32+), read and rewritten as bytes, with
// no operating-system call: the resource editor of every build uses it.
//
// A rewrite builds a new directory tree from the resources it is given and puts it where
// the image stays valid whatever the order of its sections: when the resources already
// fill the last section of the file and of the image, that section is rebuilt in place;
// otherwise the tree becomes a new last section (".rsrc"), the old tree's bytes are
// zeroed and its section, if it was called ".rsrc", is renamed ".oldrsrc". The section
// table, NumberOfSections, SizeOfImage, SizeOfInitializedData, the resource data
// directory and a non-zero CheckSum follow.
#pragma once

#include "platform/ResourceEditor.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Folio::Platform {

// Every resource of the file, in directory order. Throws std::runtime_error when the
// bytes are not a PE file or its resource directory is damaged.
std::vector<Resource> ReadPeResources(std::span<const uint8_t> file);

// The file with `resources` as its whole resource directory. Refuses (std::runtime_error)
// a file with a certificate table or with bytes after its image, one whose section table
// has no room for another header when one is needed, and any damaged file.
std::string WritePeResources(std::span<const uint8_t> file, const std::vector<Resource>& resources);

// The standard PE checksum: the file's 16-bit words summed with their carries folded back,
// the 4 bytes at checksumOffset counted as zero, plus the file's length.
uint32_t PeChecksum(std::span<const uint8_t> file, size_t checksumOffset);

} // namespace Folio::Platform
