// The MIME table over the real registry: types registered for the current user under
// Software\Classes appear in HKEY_CLASSES_ROOT and so in the table.
#include "platform/MimeRegistry.h"
#include "platform/win32/Handles.h"
#include "util/MimeTable.h"
#include "util/StrUtils.h"

#include <gtest/gtest.h>

#include <windows.h>

using Folio::Shared::TMimeTable;

namespace {

void SetString(const wchar_t* subkey, const wchar_t* name, const wchar_t* value)
{
    Folio::Win32::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

class RegisteredTypes : public testing::Test {
protected:
    static constexpr const wchar_t* kKeys[] = {
        L"Software\\Classes\\.foliotest",
        L"Software\\Classes\\.png",
        L"Software\\Classes\\MIME\\Database\\Content Type\\application/x-folio-db",
        L"Software\\Classes\\MIME\\Database\\Content Type\\text/x-folio-dotted",
    };
    void SetUp() override
    {
        SetString(kKeys[0], L"Content Type", L"Application/X-Folio-Test");
        SetString(kKeys[1], L"Content Type", L"image/png");
        SetString(kKeys[2], L"Extension", L"foliodb");
        SetString(kKeys[3], L"Extension", L".FolioDot");
    }
    void TearDown() override
    {
        for (const auto* k : kKeys) {
            RegDeleteTreeW(HKEY_CURRENT_USER, k);
        }
    }
};

} // namespace

TEST_F(RegisteredTypes, AppearInTheTable)
{
    const TMimeTable table(Folio::Platform::SystemMimeRegistry());
    EXPECT_EQ(table.Find(u".foliotest"), u"application/x-folio-test");
    EXPECT_EQ(table.Find(u".png"), u"image/png");                  // the registry overrides the list
    EXPECT_EQ(table.Find(u".foliodb"), u"application/x-folio-db");  // "." put in front
    EXPECT_EQ(table.Find(u".foliodot"), u"text/x-folio-dotted");
    EXPECT_EQ(table.Find(u".gif"), u"image/gif");

    // GetFileMIMEType builds its table once, at first use: that is now.
    EXPECT_EQ(Folio::Shared::TStrUtils::GetFileMIMEType(u"C:\\data\\x.FOLIOTEST"), u"application/x-folio-test");
}
