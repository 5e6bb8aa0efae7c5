// libFuzzer target: the bytes taken as UTF-16 units (lone surrogates, every alignment of
// a run of ASCII), read by the kept parser, by ParseJson and by RapidJSON's own UTF-16
// reader. The kept parser reads each text as ParseJson does; where the text holds no
// surrogate, as RapidJSON does as well.
// RapidJSON's stack adds to a null pointer on its first push; the reader made here for
// UTF-16 is instantiated in this file alone, so that is left unchecked here.
#pragma clang attribute push(__attribute__((no_sanitize("pointer-overflow"))), apply_to = function)
#include "bridge/Json.h"

#include <rapidjson/encodings.h>
#include <rapidjson/reader.h>
#pragma clang attribute pop

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using namespace Folio::Bridge;

// What a text holds, written out the same way from a document and from a reader's events.
struct TEvents {
    std::string Out;
    void Text(char kind, const char* text, size_t length)
    {
        Out += kind;
        Out += std::to_string(length);
        Out += ':';
        Out.append(text, length);
    }
    void Number(char kind, const std::string& digits)
    {
        Out += kind;
        Out += digits;
        Out += ';';
    }
    bool Null() { return Out += 'n', true; }
    bool Bool(bool b) { return Out += b ? 't' : 'f', true; }
    bool Int(int i) { return Number('i', std::to_string(i)), true; }
    bool Uint(unsigned i) { return Number('i', std::to_string(i)), true; }
    bool Int64(int64_t i) { return Number('i', std::to_string(i)), true; }
    bool Uint64(uint64_t i) { return Number('i', std::to_string(i)), true; }
    bool Double(double d)
    {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        return Number('d', std::to_string(bits)), true;
    }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) { return Text('s', text, length), true; }
    bool String(const char* text, rapidjson::SizeType length, bool) { return Text('s', text, length), true; }
    bool Key(const char* text, rapidjson::SizeType length, bool) { return Text('k', text, length), true; }
    bool StartObject() { return Open(), Out += '{', true; }
    bool EndObject(rapidjson::SizeType) { return --Depth, Out += '}', true; }
    bool StartArray() { return Open(), Out += '[', true; }
    bool EndArray(rapidjson::SizeType) { return --Depth, Out += ']', true; }
    void Open() { Deepest = std::max(Deepest, ++Depth); }
    size_t Depth = 0, Deepest = 0;
};

// Recursive: the parser's documents are at most kMaxJsonDepth deep.
void Walk(const TJsonValue& value, TEvents& events)
{
    switch (value.GetType()) {
    case rapidjson::kNullType:
        events.Null();
        return;
    case rapidjson::kFalseType:
        events.Bool(false);
        return;
    case rapidjson::kTrueType:
        events.Bool(true);
        return;
    case rapidjson::kStringType:
        events.String(value.GetString(), value.GetStringLength(), false);
        return;
    case rapidjson::kNumberType:
        if (value.IsInt64()) {
            events.Int64(value.GetInt64());
        } else if (value.IsUint64()) {
            events.Uint64(value.GetUint64());
        } else {
            events.Double(value.GetDouble());
        }
        return;
    case rapidjson::kObjectType:
        events.StartObject();
        for (const auto& member : value.GetObject()) {
            events.Key(member.name.GetString(), member.name.GetStringLength(), false);
            Walk(member.value, events);
        }
        events.EndObject(0);
        return;
    case rapidjson::kArrayType:
        events.StartArray();
        for (const auto& element : value.GetArray()) {
            Walk(element, events);
        }
        events.EndArray(0);
        return;
    }
}

std::string Written(const TJsonValue& value)
{
    TEvents events;
    Walk(value, events);
    return events.Out;
}

// Surrogates, raw or as a "\uD..." escape, are where the bridge's rules and RapidJSON's
// part: it replaces what RapidJSON refuses or lets through.
bool HasSurrogates(const std::u16string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            return true;
        }
        if (c == u'\\' && i + 3 < text.size() && text[i + 1] == u'u' && (text[i + 2] | 0x20) == u'd') {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TJsonParser parser;
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);

    for (const TJsonNumbers numbers : {TJsonNumbers::AsText, TJsonNumbers::AsValues}) {
        const TJsonValue* kept = parser.Parse(text, numbers);
        const auto fresh = ParseJson(text, numbers);
        if ((kept != nullptr) != fresh.has_value() || (kept && Written(*kept) != Written(*fresh))) {
            __builtin_trap();
        }
    }

    if (HasSurrogates(text)) {
        return 0;
    }
    // Numbers as values: RapidJSON mis-reads them as text from UTF-16.
    TEvents expected;
    rapidjson::GenericStringStream<rapidjson::UTF16<char16_t>> units(text.c_str());
    rapidjson::GenericReader<rapidjson::UTF16<char16_t>, rapidjson::UTF8<>> reader;
    reader.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(units, expected);
    const bool readable = !reader.HasParseError() && expected.Deepest <= kMaxJsonDepth;
    const TJsonValue* kept = parser.Parse(text, TJsonNumbers::AsValues);
    if ((kept != nullptr) != readable || (kept && Written(*kept) != expected.Out)) {
        __builtin_trap();
    }
    return 0;
}
