// The common item dialogs under Xvfb: shown with the call's title, closed by the user
// (a helper thread), they answer the empty text.
#include "platform/win32/FileDialogs.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <thread>

namespace {

// Waits for a window of this caption and closes it as the close box would.
std::thread Canceller(const wchar_t* caption, bool& found)
{
    return std::thread([caption, &found] {
        for (int i = 0; i < 400; ++i) {
            Sleep(25);
            if (HWND dialog = FindWindowW(nullptr, caption)) {
                found = true;
                Sleep(200);
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
        }
    });
}

struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

} // namespace

TEST(FileDialogs, CancelledDialogsAnswerEmptyText)
{
    ComApartment com;
    Folio::Win32::TCommonItemDialogs dialogs;
    {
        bool found = false;
        auto helper = Canceller(L"Folio open test", found);
        EXPECT_EQ(dialogs.OpenFile(u"Folio open test", u"start.txt", {{u"Text", u"*.txt"}, {u"All", u"*.*"}}), u"");
        helper.join();
        EXPECT_TRUE(found);
    }
    {
        bool found = false;
        auto helper = Canceller(L"Folio save test", found);
        EXPECT_EQ(dialogs.SaveFile(u"Folio save test", u"", {}, true), u"");
        helper.join();
        EXPECT_TRUE(found);
    }
    {
        bool found = false;
        auto helper = Canceller(L"Folio folder test", found);
        EXPECT_EQ(dialogs.SelectFolder(u"Folio folder test"), u"");
        helper.join();
        EXPECT_TRUE(found);
    }
}
