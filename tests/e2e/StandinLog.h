// Reading the stand-in browser's log (one JSON object a line) and the SHA-256 digests it
// gives for served bodies and injected scripts.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <rapidjson/document.h>

#include <sstream>
#include <string>
#include <vector>

namespace FolioE2E {

struct TLogLine {
    unsigned long Pid = 0;
    std::string Event;
    rapidjson::Document Fields;

    std::string Text(const char* name) const
    {
        const auto it = Fields.FindMember(name);
        if (it == Fields.MemberEnd()) return "(absent)";
        if (it->value.IsString()) return it->value.GetString();
        if (it->value.IsBool()) return it->value.GetBool() ? "true" : "false";
        if (it->value.IsInt64()) return std::to_string(it->value.GetInt64());
        if (it->value.IsNull()) return "null";
        return "(other)";
    }
    std::vector<std::string> Strings(const char* name) const
    {
        std::vector<std::string> items;
        const auto it = Fields.FindMember(name);
        if (it != Fields.MemberEnd() && it->value.IsArray()) {
            for (const auto& item : it->value.GetArray()) {
                items.push_back(item.IsString() ? item.GetString() : "");
            }
        }
        return items;
    }
};

inline std::vector<TLogLine> ParseLog(const std::string& text)
{
    std::vector<TLogLine> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        TLogLine entry;
        entry.Fields.Parse(line.c_str());
        if (entry.Fields.HasParseError() || !entry.Fields.IsObject()) {
            continue;
        }
        entry.Event = entry.Text("event");
        entry.Pid = std::stoul(entry.Text("pid"));
        lines.push_back(std::move(entry));
    }
    return lines;
}

inline std::string Sha256Hex(std::string_view bytes)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
        BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())), ULONG(bytes.size()), 0);
        BCryptFinishHash(hash, digest, sizeof digest, 0);
    }
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    std::string hex;
    for (const unsigned char b : digest) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    return hex;
}

} // namespace FolioE2E
