// The common item dialogs under Xvfb: shown with the call's title and owned by the
// window given, closed by the user (a helper thread), they answer the empty text; their
// options keep the system's defaults.
#include "platform/win32/FileDialogs.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <thread>

namespace {

// Waits for a window of this caption and closes it as the close box would; its owner
// is kept in *owner when asked for.
std::thread Canceller(const wchar_t* caption, bool& found, HWND* owner = nullptr)
{
    return std::thread([caption, &found, owner] {
        for (int i = 0; i < 400; ++i) {
            Sleep(25);
            if (HWND dialog = FindWindowW(nullptr, caption)) {
                found = true;
                if (owner) {
                    *owner = GetWindow(dialog, GW_OWNER);
                }
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

TEST(FileDialogs, OwnedByTheWindowGiven)
{
    ComApartment com;
    HWND main = CreateWindowExW(0, L"STATIC", L"Folio dialog owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(main);
    // Another window is the active one, as when the application is in the background.
    HWND other = CreateWindowExW(0, L"STATIC", L"Folio other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(other);
    Folio::Win32::TCommonItemDialogs dialogs;
    dialogs.SetOwner(main);
    const wchar_t* captions[] = {L"Folio owned open", L"Folio owned save", L"Folio owned folder"};
    for (int kind = 0; kind < 3; ++kind) {
        bool found = false;
        HWND owner = nullptr;
        auto helper = Canceller(captions[kind], found, &owner);
        const std::u16string title(reinterpret_cast<const char16_t*>(captions[kind]));
        const auto answer = kind == 0   ? dialogs.OpenFile(title, u"", {})
                            : kind == 1 ? dialogs.SaveFile(title, u"", {}, false)
                                        : dialogs.SelectFolder(title);
        helper.join();
        EXPECT_EQ(answer, u"");
        EXPECT_TRUE(found) << kind;
        EXPECT_EQ(owner, main) << kind;
    }
    DestroyWindow(other);
    DestroyWindow(main);
}

TEST(FileDialogs, OptionsAddToTheSystemDefaults)
{
    ComApartment com;
    using Microsoft::WRL::ComPtr;
    ComPtr<IFileOpenDialog> open;
    ASSERT_EQ(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&open)), S_OK);
    FILEOPENDIALOGOPTIONS defaults = 0, options = 0;
    ASSERT_EQ(open->GetOptions(&defaults), S_OK);
    EXPECT_NE(defaults & FOS_FILEMUSTEXIST, 0u); // what an open dialog had before anything was set
    ASSERT_TRUE(Folio::Win32::AdjustDialogOptions(open.Get(), FOS_FORCEFILESYSTEM, 0));
    ASSERT_EQ(open->GetOptions(&options), S_OK);
    EXPECT_EQ(options, defaults | FOS_FORCEFILESYSTEM);

    ComPtr<IFileSaveDialog> save;
    ASSERT_EQ(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&save)), S_OK);
    ASSERT_EQ(save->GetOptions(&defaults), S_OK);
    ASSERT_TRUE(Folio::Win32::AdjustDialogOptions(save.Get(), FOS_FORCEFILESYSTEM, FOS_OVERWRITEPROMPT));
    ASSERT_EQ(save->GetOptions(&options), S_OK);
    EXPECT_EQ(options, (defaults & ~FILEOPENDIALOGOPTIONS(FOS_OVERWRITEPROMPT)) | FOS_FORCEFILESYSTEM);
}
