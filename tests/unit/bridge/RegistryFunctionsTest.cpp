// The registry functions over the in-memory hive: required fields and their texts, the
// root refused, each function's answers, and the failures that escape.
#include "tests/unit/bridge/StandInModule.h"

#include <gtest/gtest.h>

using FolioTest::TStandInModule;
using M = TStandInModule;

TEST(RegistryFunctions, KeyThenNameRequired)
{
    TStandInModule m;
    m.StandIns.Registry.WriteString(u"Software", u"x", u"1");
    const std::pair<std::string, std::string> data[] = {
        {"{}", "Missing registry key."},
        {R"({"name": "x"})", "Missing registry key."},
        {R"({"key": null, "name": "x"})", "Missing registry key."},
        // Empty once the leading backslash is dropped: that would be the whole hive.
        {R"({"key": "\\", "name": "x"})", "Missing registry key."},
        {R"({"key": "Software"})", "Missing value name."},
        {R"({"key": "\\Software", "name": ""})", "Missing value name."},
    };
    for (const int id : {13001, 13002, 13003, 13004}) {
        for (const auto& [fields, message] : data) {
            EXPECT_EQ(m.Send(M::Request(id, "u", fields)), M::Fail("u", message)) << id << " " << fields;
        }
    }
    for (const int id : {13005, 13006}) {
        for (const char* fields : {"{}", R"({"key": ""})", R"({"key": "\\"})"}) {
            EXPECT_EQ(m.Send(M::Request(id, "k", fields)), M::Fail("k", "Missing registry key.")) << id << fields;
        }
    }
    EXPECT_TRUE(m.StandIns.Registry.KeyExists(u"Software")); // nothing was deleted on the way
}

TEST(RegistryFunctions, WriteReadTestDelete)
{
    TStandInModule m;
    const std::pair<std::string, std::string> steps[] = {
        {M::Request(13001, "w1", R"({"key": "Software\\Folio\\Deep", "name": "v", "value": "a \"b\"\n"})"), "true"},
        {M::Request(13002, "r1", R"({"key": "\\software\\folio\\deep", "name": "v"})"), R"("a \"b\"\n")"},
        {M::Request(13001, "w2", R"({"key": "Software\\Folio", "name": "n", "value": 12})"), "true"},
        {M::Request(13002, "r2", R"({"key": "Software\\Folio", "name": "n"})"), R"("12")"},
        {M::Request(13001, "w3", R"({"key": "Software\\Folio", "name": "e"})"), "true"},
        {M::Request(13002, "r3", R"({"key": "Software\\Folio", "name": "e"})"), R"("")"},
        {M::Request(13003, "x1", R"({"key": "Software\\Folio", "name": "e"})"), "true"},
        {M::Request(13003, "x2", R"({"key": "Software\\Folio", "name": "none"})"), "false"},
        {M::Request(13003, "x3", R"({"key": "Software\\Nothing", "name": "n"})"), "false"},
        {M::Request(13002, "r4", R"({"key": "Software\\Nothing", "name": "n"})"), R"("")"},
        {M::Request(13004, "d1", R"({"key": "Software\\Folio", "name": "n"})"), "true"},
        {M::Request(13004, "d2", R"({"key": "Software\\Folio", "name": "n"})"), "false"},
        {M::Request(13005, "k1", R"({"key": "Software\\Folio\\Deep"})"), "true"},
        {M::Request(13006, "k2", R"({"key": "Software\\Folio"})"), "true"},
        {M::Request(13005, "k3", R"({"key": "Software\\Folio\\Deep"})"), "false"},
        {M::Request(13006, "k4", R"({"key": "Software\\Folio"})"), "false"},
    };
    for (const auto& [request, result] : steps) {
        const auto uuid = request.substr(request.find("\"uuid\": \"") + 9, 2);
        EXPECT_EQ(m.Send(request), M::Ok(uuid, result)) << request;
    }
    EXPECT_TRUE(m.StandIns.Registry.KeyExists(u"Software"));
}

TEST(RegistryFunctions, FailuresThatEscape)
{
    TStandInModule m;
    m.StandIns.Registry.Keys[u"software\\folio"][u"dword"] = {false, {}};
    EXPECT_EQ(m.Send(M::Request(13002, "t", R"({"key": "Software\\Folio", "name": "dword"})")), "no reply");
    EXPECT_EQ(m.Send(M::Request(13001, "o", R"({"key": {"a": 1}, "name": "x"})")), "no reply");
    ASSERT_EQ(m.Errors.size(), 2u);
    EXPECT_EQ(m.Errors[0], "Invalid data type for 'dword'");
    EXPECT_EQ(m.Errors[1], "Conversion from object to string is not supported");
}
