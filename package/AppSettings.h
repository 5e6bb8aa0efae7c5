// TAppSettings: the settings store built from the text of "kiv.ini". In memory only,
// never saved. Section and key names are matched ignoring case; values are read as
// strings, integers or booleans with a default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Folio::Shared {

class TAppSettings {
public:
    // Replaces the whole store with the settings in a file's bytes. A byte-order mark
    // selects UTF-8, UTF-16 LE or UTF-16 BE; without one the bytes are ANSI.
    void LoadFromBytes(std::string_view bytes);
    // Replaces the whole store with the settings in a text.
    void LoadFromText(std::u16string_view text);

    // The value, or Default when the section or key is absent (a key present with an
    // empty value gives the empty text).
    std::u16string ReadString(std::u16string_view Section, std::u16string_view Ident,
                              std::u16string_view Default) const;
    // Decimal, "$" or "0x" hexadecimal; anything that does not convert gives Default.
    int32_t ReadInteger(std::u16string_view Section, std::u16string_view Ident, int32_t Default) const;
    // The integer reading with Default as 1 or 0; non-zero is true.
    bool ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) const;

    bool SectionExists(std::u16string_view Section) const;
    // The keys of a section as first written, in no particular order.
    std::vector<std::u16string> Keys(std::u16string_view Section) const;
    bool ValueExists(std::u16string_view Section, std::u16string_view Ident) const;

    // The text of a settings file's bytes (see LoadFromBytes).
    static std::u16string DecodeText(std::string_view bytes);

private:
    struct Value {
        std::u16string Name; // as written
        std::u16string Text;
    };
    using Section = std::unordered_map<std::u16string, Value>; // lower-case key -> value
    const std::u16string* Find(std::u16string_view Section, std::u16string_view Ident) const;

    std::unordered_map<std::u16string, Section> FSections; // lower-case section name -> keys
};

} // namespace Folio::Shared
