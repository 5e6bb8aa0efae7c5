// The running executable as start-up sees it: its file, its image end, nothing attached.
#include "package/ExeUtils.h"
#include "package/PeImage.h"
#include "platform/RunningModule.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

TEST(RunningModule, ImageEndMatchesTheFile)
{
    const auto image = Folio::Platform::CurrentModuleImage();
    const std::string bytes = FolioTest::ReadFile(std::filesystem::path(image.Path));
    ASSERT_FALSE(bytes.empty());
    const auto end = Folio::Shared::PeImageEnd({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(image.ImageEnd, *end);
    EXPECT_EQ(image.ImageEnd, bytes.size()); // a stripped build ends with its last section
    EXPECT_FALSE(Folio::Shared::TExeUtils().ExeHasAttachedStub());
}
