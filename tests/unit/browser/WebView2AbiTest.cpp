// browser/WebView2.h against the WebView2 ABI facts (webview2-abi.json, read at run time):
// each interface's IID, base and slot count, each method's slot and types, the loader
// exports' types and every enum value. A slot out of order would only crash on Windows.
#include "browser/WebView2.h"
#include "tests/unit/browser/WebView2AbiList.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// GCC and MinGW follow the Itanium C++ ABI: a pointer to a virtual member function holds
// 1 + the byte offset of its vtable entry, followed by the this-adjustment.
constexpr size_t NotVirtual = SIZE_MAX;
template <typename Member>
size_t VtableSlot(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(void*));
    struct {
        std::uintptr_t Pointer;
        std::ptrdiff_t Adjustment;
    } raw;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.Pointer & 1) == 1 ? (raw.Pointer - 1) / sizeof(void*) : NotVirtual;
}

// A virtual function added after the interface's own takes the first slot past them.
template <typename Interface>
struct TSlotProbe : Interface {
    virtual void Next() {}
};

template <typename Interface>
std::string IidText()
{
    const GUID& g = __uuidof(Interface);
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

struct TInterfaceRow {
    std::string Name, Base, Iid;
    size_t Slots;
};
struct TMethodRow {
    std::string Owner, Method, Signature; // Signature: "(types) -> return type"
    size_t Slot;
};
struct TEnumRow {
    std::string Type, Name;
    long long Value;
};

#define X(I, B)                                                                                      \
    TInterfaceRow{#I, #B, IidText<I>(), VtableSlot(&TSlotProbe<I>::Next)},
const std::vector<TInterfaceRow> Interfaces = {FOLIO_ABI_INTERFACES(X)};
#undef X
#define X(I, B) static_assert(std::is_base_of_v<B, I>);
FOLIO_ABI_INTERFACES(X)
#undef X

// The cast takes the member with exactly these types (and picks it out of mingw's
// overloaded IUnknown::QueryInterface); any other type fails to compile.
#define M(I, F, R, P)                                                                                \
    TMethodRow{#I, #F, #P " -> " #R, VtableSlot(static_cast<R(STDMETHODCALLTYPE I::*) P>(&I::F))},
const std::vector<TMethodRow> Methods = {FOLIO_ABI_METHODS(M)};
#undef M

#define L(F, P) {#F, #P " -> HRESULT"},
const std::map<std::string, std::string> LoaderExports = {FOLIO_ABI_LOADER_EXPORTS(L)};
#undef L
#define L(F, P) static_assert(std::is_same_v<Folio::Browser::T##F, HRESULT(STDAPICALLTYPE*) P>);
FOLIO_ABI_LOADER_EXPORTS(L)
#undef L

#define E(T, V)                                                                                      \
    static_assert(std::is_same_v<decltype(T##_##V), T>);                                             \
    static_assert(sizeof(T) == 4);
FOLIO_ABI_ENUMS(E)
#undef E
#define E(T, V) TEnumRow{#T, #T "_" #V, static_cast<long long>(T##_##V)},
const std::vector<TEnumRow> Enums = {FOLIO_ABI_ENUMS(E)};
#undef E

std::string AbiFile()
{
    std::string path = FOLIO_WEBVIEW2_ABI_JSON;
#ifdef _WIN32
    // Under Wine the host's file system is drive Z:.
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
#endif
    return path;
}

const rapidjson::Document& Abi()
{
    static const rapidjson::Document document = [] {
        std::ifstream in(AbiFile(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        rapidjson::Document parsed;
        parsed.Parse(text.str().c_str());
        return parsed;
    }();
    return document;
}

// " 6 ICoreWebView2Controller::put_Bounds(RECT bounds) -> HRESULT" as slot, "Owner::Method"
// and "(RECT) -> HRESULT": the parameter names dropped, the types kept as written.
struct TAbiSlot {
    size_t Slot;
    std::string Name, Signature;
};
TAbiSlot ParseSlot(const std::string& line)
{
    TAbiSlot parsed{};
    std::istringstream in(line);
    std::string rest;
    in >> parsed.Slot;
    std::getline(in >> std::ws, rest);
    const size_t open = rest.find('('), close = rest.rfind(')');
    parsed.Name = rest.substr(0, open);
    std::string types;
    std::istringstream parameters(rest.substr(open + 1, close - open - 1));
    for (std::string parameter; std::getline(parameters >> std::ws, parameter, ',');) {
        types += (types.empty() ? "" : ", ") + parameter.substr(0, parameter.rfind(' '));
    }
    parsed.Signature = "(" + types + ")" + rest.substr(close + 1);
    return parsed;
}

TEST(WebView2AbiTest, FactsAreReadable)
{
    ASSERT_FALSE(Abi().HasParseError()) << AbiFile();
    ASSERT_TRUE(Abi().IsObject() && Abi().HasMember("interfaces") && Abi().HasMember("enums")) << AbiFile();
}

TEST(WebView2AbiTest, InterfacesHaveTheirIidBaseAndSlotCount)
{
    ASSERT_FALSE(Abi().HasParseError());
    const auto& interfaces = Abi()["interfaces"];
    for (const TInterfaceRow& row : Interfaces) {
        SCOPED_TRACE(row.Name);
        ASSERT_TRUE(interfaces.HasMember(row.Name.c_str()));
        const auto& facts = interfaces[row.Name.c_str()];
        EXPECT_EQ(row.Iid, facts["iid"].GetString());
        EXPECT_EQ(row.Base, facts["base"].GetString());
        EXPECT_EQ(row.Slots, facts["vtable"].Size()); // nothing missing at the end, nothing added
    }
}

TEST(WebView2AbiTest, EverySlotHoldsItsMethodWithItsTypes)
{
    ASSERT_FALSE(Abi().HasParseError());
    std::map<std::string, const TMethodRow*> declared;
    for (const TMethodRow& row : Methods) {
        declared[row.Owner + "::" + row.Method] = &row;
    }
    const auto& interfaces = Abi()["interfaces"];
    std::map<std::string, size_t> matched;
    for (const TInterfaceRow& row : Interfaces) {
        for (const auto& line : interfaces[row.Name.c_str()]["vtable"].GetArray()) {
            const TAbiSlot slot = ParseSlot(line.GetString());
            SCOPED_TRACE(row.Name + ": " + line.GetString());
            const auto found = declared.find(slot.Name);
            ASSERT_NE(found, declared.end());
            EXPECT_EQ(found->second->Slot, slot.Slot);
            EXPECT_EQ(found->second->Signature, slot.Signature);
            ++matched[slot.Name];
        }
    }
    EXPECT_EQ(matched.size(), declared.size()); // no row that the facts do not have
}

TEST(WebView2AbiTest, LoaderExportsHaveTheirTypes)
{
    ASSERT_FALSE(Abi().HasParseError());
    size_t checked = 0;
    for (const auto& line : Abi()["loader_exports"].GetArray()) {
        const TAbiSlot parsed = ParseSlot(std::string("0 ") + line.GetString());
        SCOPED_TRACE(line.GetString());
        ASSERT_EQ(LoaderExports.count(parsed.Name), 1u);
        EXPECT_EQ(LoaderExports.at(parsed.Name), parsed.Signature);
        ++checked;
    }
    EXPECT_EQ(checked, LoaderExports.size());
}

TEST(WebView2AbiTest, EveryEnumValueIsDeclared)
{
    ASSERT_FALSE(Abi().HasParseError());
    std::map<std::string, size_t> perType;
    for (const TEnumRow& row : Enums) {
        SCOPED_TRACE(row.Name);
        const auto& enums = Abi()["enums"];
        ASSERT_TRUE(enums.HasMember(row.Type.c_str()));
        ASSERT_TRUE(enums[row.Type.c_str()].HasMember(row.Name.c_str()));
        EXPECT_EQ(row.Value, enums[row.Type.c_str()][row.Name.c_str()].GetInt64());
        ++perType[row.Type];
    }
    for (const auto& type : Abi()["enums"].GetObject()) {
        EXPECT_EQ(perType[type.name.GetString()], type.value.MemberCount()) << type.name.GetString();
    }
}

} // namespace
