// Reading one bzip2 block for our own decoder (Bzip2Fast.cpp), up to the inverse
// transform: the header, the code tables and the symbols.
#pragma once

#include "package/Bzip2Fast.h"

namespace Folio::Shared {

// A block's bytes after move-to-front decoding, in the low 8 bits of links[0 .. size) (the
// array grows to the level's block size; `tables` is made on first use), their counts, and the row the transform starts
// from (below size). False on anything wrong and on what libbz2 is left to decode.
bool ReadBzip2Symbols(std::span<const uint8_t> in, const TBzip2Block& block, std::vector<uint32_t>& links,
                      std::vector<uint8_t>& selectors, std::unique_ptr<TBzip2Tables>& tables, uint32_t (&counts)[256],
                      uint32_t& size, uint32_t& origin);

} // namespace Folio::Shared
