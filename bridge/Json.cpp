// Bridge JSON (see Json.h).
#include "bridge/Json.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace Folio::Bridge {

namespace {

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// The code unit a "\uXXXX" escape at `at` stands for, or -1 when there is none.
long EscapedUnit(std::u16string_view text, size_t at)
{
    if (at + 6 > text.size() || text[at] != u'\\' || text[at + 1] != u'u') {
        return -1;
    }
    long unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            return -1;
        }
        unit = unit * 16 + digit;
    }
    return unit;
}

// A page's string cut inside a surrogate pair ("a\ud83d" from JSON.stringify) must not
// cost the whole message: escaped lone surrogates become \uFFFD, raw ones U+FFFD, in the
// one pass that makes the UTF-8 text RapidJSON reads (its number-as-string mode mis-reads
// its UTF-16 encodings). A backslash always pairs with the character after it, so
// "\\ud800" (an escaped backslash, then text) is left as it is. The bytes are written
// at the start of out, which only ever grows (no clearing between texts); their count
// is returned.
size_t PageTextToUtf8(std::u16string_view text, std::string& out)
{
    // At most three bytes a code unit; an escape's replacement is as long as the escape.
    if (out.size() < text.size() * 3) {
        out.resize(text.size() * 3);
    }
    char* w = out.data();
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if constexpr (std::endian::native == std::endian::little) {
            // Runs of ASCII without a backslash, most of any message, four units at a time.
            while (i + 4 <= n) {
                uint64_t units;
                std::memcpy(&units, text.data() + i, sizeof units);
                const uint64_t notBackslash = units ^ 0x005C005C005C005CULL;
                if ((units & 0xFF80FF80FF80FF80ULL) != 0 ||
                    ((notBackslash - 0x0001000100010001ULL) & ~notBackslash & 0x8000800080008000ULL) != 0) {
                    break;
                }
                const auto bytes = static_cast<uint32_t>((units & 0xFF) | ((units >> 8) & 0xFF00) |
                                                         ((units >> 16) & 0xFF0000) | ((units >> 24) & 0xFF000000));
                std::memcpy(w, &bytes, sizeof bytes);
                w += 4;
                i += 4;
            }
            if (i == n) {
                break;
            }
        }
        char32_t cp = text[i];
        if (cp < 0x80 && cp != u'\\') {
            *w++ = static_cast<char>(cp);
            continue;
        }
        if (cp == u'\\') {
            const long unit = EscapedUnit(text, i);
            if (unit >= 0xD800 && unit <= 0xDFFF) {
                const long next = unit <= 0xDBFF ? EscapedUnit(text, i + 6) : -1;
                const bool pair = next >= 0xDC00 && next <= 0xDFFF;
                const std::u16string_view escape = pair ? text.substr(i, 12) : std::u16string_view(u"\\uFFFD");
                w = std::copy(escape.begin(), escape.end(), w); // hex digits: ASCII
                i += escape.size() - 1;
                continue;
            }
            *w++ = '\\';
            if (++i == n) {
                break;
            }
            cp = text[i];
            if (cp < 0x80) {
                *w++ = static_cast<char>(cp);
                continue;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            *w++ = static_cast<char>(0xC0 | (cp >> 6));
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *w++ = static_cast<char>(0xE0 | (cp >> 12));
            *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *w++ = static_cast<char>(0xF0 | (cp >> 18));
            *w++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return static_cast<size_t>(w - out.data());
}

// The document's own SAX handler, refusing to open a container deeper than the cap. The
// reader is iterative, so the depth costs no stack; the cap keeps what functions walk
// afterwards small.
template <class TDocument>
class TDepthCappedHandler {
public:
    explicit TDepthCappedHandler(TDocument& document) : FDocument(document) {}

    bool Null() { return FDocument.Null(); }
    bool Bool(bool b) { return FDocument.Bool(b); }
    bool Int(int i) { return FDocument.Int(i); }
    bool Uint(unsigned i) { return FDocument.Uint(i); }
    bool Int64(int64_t i) { return FDocument.Int64(i); }
    bool Uint64(uint64_t i) { return FDocument.Uint64(i); }
    bool Double(double d) { return FDocument.Double(d); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy)
    {
        return FDocument.RawNumber(text, length, copy);
    }
    bool String(const char* text, rapidjson::SizeType length, bool copy) { return FDocument.String(text, length, copy); }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) { return FDocument.Key(text, length, copy); }
    bool StartObject() { return Open() && FDocument.StartObject(); }
    bool EndObject(rapidjson::SizeType members) { return Close() && FDocument.EndObject(members); }
    bool StartArray() { return Open() && FDocument.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) { return Close() && FDocument.EndArray(elements); }

private:
    bool Open() { return ++FDepth <= kMaxJsonDepth; }
    bool Close()
    {
        --FDepth;
        return true;
    }
    TDocument& FDocument;
    size_t FDepth = 0;
};

// Reads the UTF-8 text into the document, which holds nothing useful when this fails.
// In place (kInPlace), the strings are decoded within the text, which must end with a
// NUL, and the document refers to them there instead of holding copies.
template <bool kInPlace, class TDocument>
bool ParseInto(TDocument& document, rapidjson::Reader& reader, char* utf8, size_t length, TJsonNumbers numbers)
{
    // Iterative: the page decides how deep its message nests, the stack must not. The
    // UTF-8 was made here from UTF-16, surrogates settled: valid by construction, so
    // RapidJSON need not check it again.
    constexpr unsigned kFlags =
        rapidjson::kParseIterativeFlag | (kInPlace ? static_cast<unsigned>(rapidjson::kParseInsituFlag) : 0u);
    bool parsed = false;
    auto generator = [&](TDocument& target) {
        auto bytes = [&] {
            if constexpr (kInPlace) {
                return rapidjson::InsituStringStream(utf8);
            } else {
                return rapidjson::MemoryStream(utf8, length);
            }
        }();
        TDepthCappedHandler<TDocument> handler(target);
        if (numbers == TJsonNumbers::AsText) {
            reader.Parse<kFlags | rapidjson::kParseNumbersAsStringsFlag>(bytes, handler);
        } else {
            reader.Parse<kFlags>(bytes, handler);
        }
        parsed = !reader.HasParseError();
        return parsed;
    };
    document.Populate(generator);
    return parsed;
}

// The parser's first pool block: a message of a few hundred characters fits with room
// to spare. After a text beyond kKeptTextBytes, the next parse gives the UTF-8 buffer and
// the reader's stack back, so that one large message does not hold its size for the run.
constexpr size_t kPoolBlockBytes = 8 * 1024;
constexpr size_t kBuildStackBytes = 1024;
constexpr size_t kKeptTextBytes = 64 * 1024;

} // namespace

std::optional<TJsonDocument> ParseJson(std::u16string_view text, TJsonNumbers numbers)
{
    std::string utf8;
    const size_t length = PageTextToUtf8(text, utf8);
    TJsonDocument document;
    rapidjson::Reader reader;
    if (!ParseInto<false>(document, reader, utf8.data(), length, numbers)) {
        return std::nullopt;
    }
    return document;
}

TJsonParser::TJsonParser()
    : FBlock(new char[kPoolBlockBytes]), FPool(FBlock.get(), kPoolBlockBytes), FReader(std::in_place)
{
}

const TJsonValue* TJsonParser::Parse(std::u16string_view text, TJsonNumbers numbers)
{
    // A failed parse leaves a document's earlier value in place: each text gets a new one.
    FDocument.reset();
    FPool.Clear();
    if (FUtf8.size() > kKeptTextBytes) {
        std::string().swap(FUtf8);
        FReader.emplace();
    }
    const size_t length = PageTextToUtf8(text, FUtf8);
    FUtf8[length] = '\0'; // the end for the in-place reading (the string's own NUL when full)
    FDocument.emplace(&FPool, kBuildStackBytes, &FPool);
    const bool parsed = ParseInto<true>(*FDocument, *FReader, FUtf8.data(), length, numbers);
    return parsed ? &*FDocument : nullptr;
}

const char* JsonKindName(const TJsonValue& value)
{
    switch (value.GetType()) {
    case rapidjson::kNullType: return "null";
    case rapidjson::kFalseType:
    case rapidjson::kTrueType: return "boolean";
    case rapidjson::kObjectType: return "object";
    case rapidjson::kArrayType: return "array";
    case rapidjson::kStringType: return "string";
    case rapidjson::kNumberType: return "number";
    }
    return "unknown";
}

} // namespace Folio::Bridge
