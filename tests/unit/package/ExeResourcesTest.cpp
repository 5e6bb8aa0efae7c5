// Icon files, icon groups and version information as bytes.
#include "package/ExeResources.h"
#include "package/ExeUtils.h"
#include "tests/support/IcoBuilder.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;
using namespace FolioTest;

TEST(ExeResources, IconFileToGroup)
{
    const std::string ico = BuildIco({16, 32, 256});
    const auto images = ParseIcoFile(ico);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].Width, 16);
    EXPECT_EQ(images[2].Width, 0); // 256 is written as 0
    EXPECT_EQ(images[1].BitCount, 32);
    EXPECT_EQ(images[1].Data, IconImage(32, 0xFF0001FFu));

    const std::string group = BuildIconGroup(images, 7);
    EXPECT_EQ(group.size(), 6u + 3u * 14u);
    EXPECT_EQ(IconIdsOfGroup(group), (std::vector<uint16_t>{7, 8, 9}));
    EXPECT_TRUE(IconIdsOfGroup("xx").empty());
}

TEST(ExeResources, DamagedIconFilesAreRefused)
{
    std::string outside = BuildIco({16});
    Patch32(outside, 6 + 12, 0x7FFFFFF0u); // image offset past the end
    std::string empty;
    Put16(empty, 0), Put16(empty, 1), Put16(empty, 0);
    for (const std::string& bad : {std::string("PNG"), std::string(6, '\0'), empty, outside,
                                   BuildIco({16}).substr(0, 30)}) {
        EXPECT_THROW(ParseIcoFile(bad), EFileError);
    }
}

TEST(ExeResources, VersionInfoLayout)
{
    TExeInfo info;
    info.CompanyName = u"Folio \u00C9ditions";
    info.FileVersion = u"1.2.3.4";
    info.ProductVersion = u"5.6";
    const std::string v = BuildVersionInfo(info);
    auto u16 = [&](size_t at) { return uint16_t(uint8_t(v[at]) | (uint8_t(v[at + 1]) << 8)); };
    auto u32 = [&](size_t at) { return uint32_t(u16(at)) | (uint32_t(u16(at + 2)) << 16); };
    EXPECT_EQ(u16(0), v.size());  // the root's length covers everything
    EXPECT_EQ(u16(2), 52);        // VS_FIXEDFILEINFO
    // Key "VS_VERSION_INFO" (16 units with the zero) after 6 bytes: 38 bytes, aligned to 40.
    EXPECT_EQ(u32(40), 0xFEEF04BDu);
    EXPECT_EQ(u32(48), 0x00010002u); // file version 1.2
    EXPECT_EQ(u32(52), 0x00030004u); //              3.4
    EXPECT_EQ(u32(56), 0x00050006u); // product version 5.6
    EXPECT_EQ(u32(60), 0u);
    const std::u16string wide(reinterpret_cast<const char16_t*>(v.data()), v.size() / 2);
    EXPECT_NE(wide.find(u"CompanyName"), std::u16string::npos);
    EXPECT_NE(wide.find(u"Folio \u00C9ditions"), std::u16string::npos);
    EXPECT_EQ(wide.find(u"LegalTrademarks"), std::u16string::npos); // empty strings are left out
}

// Every node states its length in 16 bits: what does not fit is refused, never wrapped.
TEST(ExeResources, VersionInfoTooLongIsRefused)
{
    TExeInfo fits;
    fits.Comments = std::u16string(32000, u'c');
    const std::string v = BuildVersionInfo(fits);
    ASSERT_LE(v.size(), 0xFFFFu);
    EXPECT_EQ(uint16_t(uint8_t(v[0]) | (uint8_t(v[1]) << 8)), v.size());

    TExeInfo oneLong;
    oneLong.Comments = std::u16string(40000, u'c');
    TExeInfo allLong;
    for (auto field : {&TExeInfo::CompanyName, &TExeInfo::FileDescription, &TExeInfo::FileVersion,
                        &TExeInfo::InternalName, &TExeInfo::LegalCopyright, &TExeInfo::LegalTrademarks,
                        &TExeInfo::OriginalFilename, &TExeInfo::ProductName, &TExeInfo::ProductVersion,
                        &TExeInfo::Comments, &TExeInfo::PrivateBuild}) {
        allLong.*field = std::u16string(3000, u'x'); // each fits, together they do not
    }
    const std::pair<const TExeInfo*, const char*> cases[] = {
        {&oneLong, "the version information value of Comments is too long (40000 characters"},
        {&allLong, "the version information is too long"},
    };
    for (const auto& [info, message] : cases) {
        try {
            BuildVersionInfo(*info);
            ADD_FAILURE() << message;
        } catch (const EFileError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}
