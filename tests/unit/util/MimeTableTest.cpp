#include "util/MimeTable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using Folio::Platform::MimeRegistration;
using Folio::Platform::MimeRegistry;
using Folio::Shared::BuiltinMimeRows;
using Folio::Shared::TMimeTable;

namespace {

class FakeRegistry final : public MimeRegistry {
public:
    std::vector<MimeRegistration> types, database;
    std::vector<MimeRegistration> ExtensionContentTypes() const override { return types; }
    std::vector<MimeRegistration> DatabaseExtensions() const override { return database; }
};

} // namespace

TEST(MimeTable, BuiltinListShape)
{
    const auto rows = BuiltinMimeRows();
    EXPECT_EQ(rows.size(), 390u);
    std::map<std::u16string, int> count;
    for (const auto row : rows) {
        const size_t eq = row.find(u'=');
        ASSERT_NE(eq, std::u16string_view::npos);
        ASSERT_EQ(row.front(), u'.');
        ++count[std::u16string(row.substr(0, eq))];
    }
    EXPECT_EQ(count.size(), 378u);
    std::set<std::u16string> repeated;
    for (const auto& [ext, n] : count) {
        if (n > 1) {
            repeated.insert(ext);
        }
    }
    EXPECT_EQ(repeated, (std::set<std::u16string>{u".m3u", u".mp2", u".mp3", u".rm", u".cpt", u".xbm", u".asf",
                                                  u".asx"}));
    EXPECT_EQ(rows.front(), u".nml=application/x-nml");
    EXPECT_EQ(rows.back(), u".webmanifest=application/manifest+json");

    const FakeRegistry none;
    const TMimeTable table(none);
    EXPECT_EQ(table.Size(), 378u);
    for (const std::u16string missing :
         {u".map", u".woff", u".ttf", u".otf", u".eot", u".csv", u".md", u".tiff"}) {
        EXPECT_EQ(table.Find(missing), u"") << testing::PrintToString(missing);
    }
}

TEST(MimeTable, TellingRowsOfTheBuiltinList)
{
    const FakeRegistry none;
    const TMimeTable table(none);
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u".htm", u"text/html"}, {u".xhtml", u"application/xhtml+xml"}, {u".shtml", u"server-parsed-html"},
        {u".js", u"text/javascript"}, {u".css", u"text/css"}, {u".xml", u"text/xml"}, {u".txt", u"text/plain"},
        {u".svgz", u"image/svg+xml"}, {u".png", u"image/x-png"}, {u".jpe", u"image/jpeg"}, {u".gif", u"image/gif"},
        {u".bmp", u"image/bmp"}, {u".ico", u"image/x-icon"}, {u".webp", u"image/webp"}, {u".tif", u"image/x-tiff"},
        {u".mp3", u"audio/x-mpg"}, {u".mp2", u"audio/x-mpg"}, {u".m4a", u"audio/x-mpg"}, {u".aac", u"audio/mp4"},
        {u".wav", u"audio/x-wav"}, {u".midi", u"audio/midi"}, {u".ogg", u"application/ogg"}, {u".ogv", u"video/ogg"},
        {u".mp4", u"video/mpeg"}, {u".mpg", u"video/mpeg"}, {u".mpeg", u"video/x-mpeg2a"}, {u".webm", u"video/webm"},
        {u".avi", u"video/x-msvideo"}, {u".mov", u"video/quicktime"}, {u".pdf", u"application/pdf"},
        {u".zip", u"application/x-zip-compressed"}, {u".exe", u"application/x-msdos-program"},
        {u".dll", u"application/x-msdos-program"}, {u".m3u", u"audio/mpegurl"}, {u".rm", u"audio/x-pn-realaudio"},
        // the web types added after the list
        {u".mjs", u"text/javascript"}, {u".wasm", u"application/wasm"}, {u".json", u"application/json"},
        {u".avif", u"image/avif"}, {u".woff2", u"font/woff2"}, {u".webmanifest", u"application/manifest+json"},
    };
    for (const auto& [ext, type] : rows) {
        EXPECT_EQ(table.Find(ext), type) << testing::PrintToString(ext);
    }
    EXPECT_EQ(table.Find(u".PnG"), u"image/x-png");
}

TEST(MimeTable, LaterSourcesOverrideEarlierOnes)
{
    FakeRegistry registry;
    registry.types = {{u".png", u"image/png"}, {u".JSON", u"Application/JSON"}, {u".empty", u""},
                      {u".both", u"text/x-from-types"}};
    registry.database = {{u"woff2", u"font/woff2"}, {u".both", u"text/x-from-database"}, {u"", u"x/none"}};
    const TMimeTable table(registry);
    EXPECT_EQ(table.Find(u".png"), u"image/png");
    EXPECT_EQ(table.Find(u".json"), u"application/json");
    EXPECT_EQ(table.Find(u".woff2"), u"font/woff2");       // "." put in front
    EXPECT_EQ(table.Find(u".both"), u"text/x-from-database");
    EXPECT_EQ(table.Find(u".empty"), u"");
    EXPECT_EQ(table.Find(u".gif"), u"image/gif");           // untouched rows stay
}
