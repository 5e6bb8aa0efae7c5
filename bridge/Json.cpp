// Bridge JSON (see Json.h).
#include "bridge/Json.h"

#include "util/TextCodecs.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

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
// cost the whole message: escaped lone surrogates become \uFFFD here, raw ones become
// U+FFFD in the UTF-8 conversion. A backslash always pairs with the character after it,
// so "\\ud800" (an escaped backslash, then text) is left as it is.
std::u16string WithoutLoneSurrogateEscapes(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        const long unit = EscapedUnit(text, i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            out += text[i];
            if (i + 1 < text.size()) {
                out += text[++i];
            }
            continue;
        }
        const long next = unit <= 0xDBFF ? EscapedUnit(text, i + 6) : -1;
        if (next >= 0xDC00 && next <= 0xDFFF) {
            out.append(text.substr(i, 12));
            i += 11;
        } else {
            out += u"\\uFFFD";
            i += 5;
        }
    }
    return out;
}

// The document's own SAX handler, refusing to open a container deeper than the cap. The
// reader is iterative, so the depth costs no stack; the cap keeps what functions walk
// afterwards small.
class TDepthCappedHandler {
public:
    explicit TDepthCappedHandler(TJsonDocument& document) : FDocument(document) {}

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
    TJsonDocument& FDocument;
    size_t FDepth = 0;
};

} // namespace

std::optional<TJsonDocument> ParseJson(std::u16string_view text, TJsonNumbers numbers)
{
    // The UTF-8 form: RapidJSON's number-as-string mode mis-reads its UTF-16 encodings.
    const std::string utf8 = Shared::Utf16ToUtf8(WithoutLoneSurrogateEscapes(text));
    TJsonDocument document;
    bool parsed = false;
    auto generator = [&](TJsonDocument& target) {
        rapidjson::MemoryStream bytes(utf8.data(), utf8.size());
        rapidjson::Reader reader;
        TDepthCappedHandler handler(target);
        // Iterative: the page decides how deep its message nests, the stack must not.
        constexpr unsigned kFlags = rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag;
        if (numbers == TJsonNumbers::AsText) {
            reader.Parse<kFlags | rapidjson::kParseNumbersAsStringsFlag>(bytes, handler);
        } else {
            reader.Parse<kFlags>(bytes, handler);
        }
        parsed = !reader.HasParseError();
        return parsed;
    };
    document.Populate(generator);
    if (!parsed) {
        return std::nullopt;
    }
    return document;
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
