// The localized message dialog on a real Win32 under Xvfb, driven by keys from a helper
// thread: captions read back from the buttons, Enter, Escape and the close box, the
// language taken from the environment, and a screenshot kept in build/artifacts.
#include "runtime/LocalizedMessages.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

using namespace Folio::Runtime;

namespace {

struct Seen {
    bool Found = false;
    std::vector<std::wstring> Buttons;
    std::vector<std::pair<LONG, std::wstring>> OnScreen; // each button's left edge on the screen
    bool StillOpenAfterFirstKey = false;
};

BOOL CALLBACK CollectButton(HWND child, LPARAM param)
{
    wchar_t cls[32] = {}, text[256] = {};
    GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Button") == 0) {
        GetWindowTextW(child, text, 256);
        auto& seen = *reinterpret_cast<Seen*>(param);
        seen.Buttons.push_back(text);
        RECT box{};
        GetWindowRect(child, &box);
        seen.OnScreen.emplace_back(box.left, text);
    }
    return TRUE;
}

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
        EnumChildWindows(dialog, CollectButton, reinterpret_cast<LPARAM>(&seen));
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

TEST(MessageDialog, RightToLeftShowsTheButtonsFromTheRight)
{
    using B = TMsgDlgBtn;
    struct Case {
        DWORD layout;
        std::vector<std::wstring> leftToRight; // as seen on the screen
    };
    const Case cases[] = {
        {0, {L"&Yes", L"Cancel"}},
        {LAYOUT_RTL, {L"Cancel", L"&Yes"}}, // Yes, the first button, at the right
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SetProcessDefaultLayout(c.layout));
        Seen seen;
        Drive(u"Folio layout test", TMsgDlgType::mtConfirmation, {B::mbYes, B::mbCancel}, {}, {{WM_CLOSE, 0}}, seen);
        SetProcessDefaultLayout(0);
        ASSERT_TRUE(seen.Found);
        std::sort(seen.OnScreen.begin(), seen.OnScreen.end());
        std::vector<std::wstring> shown;
        for (const auto& [left, text] : seen.OnScreen) {
            shown.push_back(text);
        }
        EXPECT_EQ(shown, c.leftToRight) << c.layout;
    }
}
