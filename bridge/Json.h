// JSON for the bridge: RapidJSON over UTF-8, with numbers kept as the text they were
// written as (a function reads "640.7" as the page wrote it).
#pragma once

#include <rapidjson/document.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Folio::Bridge {

using TJsonDocument = rapidjson::Document;
using TJsonValue = rapidjson::Value;

// How deep objects and arrays may nest in a message: the deepest the functions read is
// a menu's items, a few levels down; anything far beyond is not a message of ours.
inline constexpr size_t kMaxJsonDepth = 64;

// How numbers are read: as the text they were written as (the bridge's fields), or as
// numbers (a description whose numbers are values, "7.0" being 7).
enum class TJsonNumbers { AsText, AsValues };

// Parses a whole JSON text without recursion: every JSON text that comes from a page goes
// through here. Invalid JSON, JSON followed by further text, and nesting deeper than
// kMaxJsonDepth give nothing (an empty optional); a lone surrogate, raw or escaped,
// reads as U+FFFD.
std::optional<TJsonDocument> ParseJson(std::u16string_view text, TJsonNumbers numbers = TJsonNumbers::AsText);

// ParseJson for a loop that reads one text after another (the page's messages): the
// parser keeps its buffers, so that an ordinary message is read without allocating.
// The same rules; what Parse returns lives until the next Parse or the parser's end.
class TJsonParser {
public:
    TJsonParser();
    TJsonParser(const TJsonParser&) = delete;
    TJsonParser& operator=(const TJsonParser&) = delete;

    // The text's root, or nullptr where ParseJson gives nothing.
    const TJsonValue* Parse(std::u16string_view text, TJsonNumbers numbers = TJsonNumbers::AsText);

private:
    using TPool = rapidjson::MemoryPoolAllocator<>;
    // The values and the document's building stack share one pool, emptied before each
    // parse: it starts in FBlock, and only a large text takes further blocks.
    using TPooledDocument = rapidjson::GenericDocument<rapidjson::UTF8<>, TPool, TPool>;

    std::unique_ptr<char[]> FBlock;
    TPool FPool;
    std::optional<TPooledDocument> FDocument;
    std::optional<rapidjson::Reader> FReader; // its stack is kept from one parse to the next
    std::string FUtf8; // the text as UTF-8, read in place: the document's strings are in it
};

// "null", "boolean", "object", "array", "string" (numbers are read as their text): the
// kind's name in messages.
const char* JsonKindName(const TJsonValue& value);

} // namespace Folio::Bridge
