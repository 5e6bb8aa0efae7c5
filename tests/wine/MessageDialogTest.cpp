// The localized message dialog on a real Win32 under Xvfb, driven by keys from a helper
// thread: captions read back from the buttons, Enter, Escape and the close box, the
// language taken from the environment, and a screenshot kept in build/artifacts.
#include "runtime/LocalizedMessages.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

using namespace Folio::Runtime;

namespace {

BOOL CALLBACK CollectButton(HWND child, LPARAM param)
{
    wchar_t cls[32] = {}, text[256] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Button") == 0) {
        GetWindowTextW(child, text, 256);
        reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
    }
    return TRUE;
}

struct Seen {
    bool Found = false;
    std::vector<std::wstring> Buttons;
    bool StillOpenAfterFirstKey = false;
};

// Shows the dialog on this thread while a helper finds it by caption, reads its buttons
// and acts on it with `keys` (each a message posted to the dialog, 300 ms apart).
int Drive(const std::u16string& caption, TMsgDlgType kind, TMsgDlgButtons buttons,
          const std::vector<std::u16string>& captions, std::vector<std::pair<UINT, WPARAM>> keys, Seen& seen,
          const std::filesystem::path& screenshot = {}, const std::u16string& text = u"Text of the test")
{
    std::thread helper([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 400 && !dialog; ++i) {
            Sleep(25);
            dialog = FindWindowW(L"#32770", reinterpret_cast<const wchar_t*>(caption.c_str()));
        }
        if (!dialog) {
            return;
        }
        seen.Found = true;
        Sleep(300); // let it paint
        EnumChildWindows(dialog, CollectButton, reinterpret_cast<LPARAM>(&seen.Buttons));
        if (!screenshot.empty()) {
            Folio::Test::SaveScreenshot(dialog, screenshot);
        }
        for (size_t k = 0; k < keys.size(); ++k) {
            PostMessageW(dialog, keys[k].first, keys[k].second, 0);
            Sleep(300);
            if (k == 0) {
                seen.StillOpenAfterFirstKey = IsWindow(dialog) && IsWindowVisible(dialog);
            }
        }
    });
    const int result = ShowLocalizedDialog(text, kind, buttons, caption, captions);
    helper.join();
    return result;
}

const std::filesystem::path kArtifacts = FOLIO_ARTIFACTS_DIR;

} // namespace

TEST(MessageDialog, ConfirmationAnswersEnterAndEscape)
{
    using B = TMsgDlgBtn;
    // The offer to install the browser runtime, as the user sees it.
    Seen enter;
    EXPECT_EQ(Drive(LocalizedMessageFor(2, u"en"), TMsgDlgType::mtConfirmation, {B::mbYes, B::mbCancel},
                    {LocalizedMessageFor(3, u"en"), LocalizedMessageFor(4, u"en")}, {{WM_KEYDOWN, VK_RETURN}}, enter,
                    kArtifacts / "confirm-dialog.png", LocalizedMessageFor(7, u"en")),
              6);
    ASSERT_TRUE(enter.Found);
    EXPECT_EQ(enter.Buttons, (std::vector<std::wstring>{L"Accept", L"Cancel"}));
    EXPECT_TRUE(std::filesystem::exists(kArtifacts / "confirm-dialog.png"));

    Seen escape;
    EXPECT_EQ(Drive(u"Folio escape", TMsgDlgType::mtConfirmation, {B::mbYes, B::mbCancel}, {u"A", u"C"},
                    {{WM_KEYDOWN, VK_ESCAPE}}, escape),
              2);
    Seen closed;
    EXPECT_EQ(Drive(u"Folio close", TMsgDlgType::mtConfirmation, {B::mbYes, B::mbCancel}, {}, {{WM_CLOSE, 0}}, closed),
              2);
    EXPECT_EQ(closed.Buttons, (std::vector<std::wstring>{L"&Yes", L"Cancel"}));
}

TEST(MessageDialog, ErrorDialogIgnoresEscape)
{
    Seen seen;
    EXPECT_EQ(Drive(u"Folio error", TMsgDlgType::mtError, {TMsgDlgBtn::mbYes}, {u"Accept"},
                    {{WM_KEYDOWN, VK_ESCAPE}, {WM_KEYDOWN, VK_RETURN}}, seen),
              6);
    EXPECT_TRUE(seen.StillOpenAfterFirstKey);
    EXPECT_EQ(seen.Buttons, (std::vector<std::wstring>{L"Accept"}));
}

// Run under es_ES: the installation offer in Spanish.
TEST(MessageDialog, SpanishFromTheEnvironment)
{
    if (GetUserLanguageCode() != u"es") {
        GTEST_SKIP() << "needs a Spanish user language (the es_ES run of this test)";
    }
    EXPECT_EQ(LocalizedMessage(2), u"Confirmar");
    Seen seen;
    const int result = Drive(LocalizedMessage(2), TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel},
                             {LocalizedMessage(3), LocalizedMessage(4)}, {{WM_KEYDOWN, VK_ESCAPE}}, seen);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(seen.Buttons, (std::vector<std::wstring>{L"Aceptar", L"Cancelar"}));
}
