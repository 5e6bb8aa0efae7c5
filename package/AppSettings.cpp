// The settings store (see AppSettings.h).
#include "package/AppSettings.h"

#include "util/Case.h"
#include "util/Numbers.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

namespace Folio::Shared {

std::u16string TAppSettings::DecodeText(std::string_view bytes)
{
    auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    if (starts("\xEF\xBB\xBF")) {
        return Utf8ToUtf16(bytes.substr(3));
    }
    if (starts("\xFF\xFE")) {
        return Utf16FromBytes(bytes.substr(2), false);
    }
    if (starts("\xFE\xFF")) {
        return Utf16FromBytes(bytes.substr(2), true);
    }
    return AnsiToUtf16(bytes);
}

void TAppSettings::LoadFromBytes(std::string_view bytes) { LoadFromText(DecodeText(bytes)); }

void TAppSettings::LoadFromText(std::u16string_view text)
{
    FSections.clear();
    Section* current = nullptr;
    size_t pos = 0;
    while (pos <= text.size()) {
        // Lines end at CR LF, LF or CR.
        size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        const auto line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (end < text.size() && text[end] == u'\r' && pos < text.size() && text[pos] == u'\n') {
            ++pos;
        }

        if (line.empty() || line.front() == u';') {
            continue;
        }
        if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
            current = &FSections[ToLower(Trim(line.substr(1, line.size() - 2)))];
            continue;
        }
        if (current == nullptr) {
            continue; // before the first section header
        }
        const size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos) {
            // A key without a value reads as absent, also over an earlier line.
            current->erase(ToLower(line));
            continue;
        }
        const auto name = TrimRight(line.substr(0, eq));
        auto& value = (*current)[ToLower(name)];
        if (value.Name.empty()) {
            value.Name = name;
        }
        value.Text = TrimLeft(line.substr(eq + 1));
    }
}

const std::u16string* TAppSettings::Find(std::u16string_view Section, std::u16string_view Ident) const
{
    const auto s = FSections.find(ToLower(Section));
    if (s == FSections.end()) {
        return nullptr;
    }
    const auto k = s->second.find(ToLower(Ident));
    return k == s->second.end() ? nullptr : &k->second.Text;
}

bool TAppSettings::SectionExists(std::u16string_view Section) const
{
    return FSections.find(ToLower(Section)) != FSections.end();
}

std::vector<std::u16string> TAppSettings::Keys(std::u16string_view Section) const
{
    std::vector<std::u16string> keys;
    const auto s = FSections.find(ToLower(Section));
    if (s != FSections.end()) {
        for (const auto& [lower, value] : s->second) {
            keys.push_back(value.Name);
        }
    }
    return keys;
}

bool TAppSettings::ValueExists(std::u16string_view Section, std::u16string_view Ident) const
{
    return Find(Section, Ident) != nullptr;
}

std::u16string TAppSettings::ReadString(std::u16string_view Section, std::u16string_view Ident,
                                        std::u16string_view Default) const
{
    const auto* value = Find(Section, Ident);
    return value ? *value : std::u16string(Default);
}

int32_t TAppSettings::ReadInteger(std::u16string_view Section, std::u16string_view Ident, int32_t Default) const
{
    const auto* value = Find(Section, Ident);
    if (!value) {
        return Default;
    }
    return ParseSettingsInteger(*value).value_or(Default);
}

bool TAppSettings::ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) const
{
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

} // namespace Folio::Shared
