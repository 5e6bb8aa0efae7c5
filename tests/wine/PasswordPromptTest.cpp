// The password prompt on a real Win32 under Xvfb, driven by real key presses
// (SendInput) from a helper thread while its own modal loop runs: which key releases
// accept the text, what Enter, Escape, Ctrl+V and the close box do, its layout and mask,
// and a screenshot kept in build/artifacts.
#include "runtime/MessageDialog.h"
#include "runtime/win32/RequirePasswordForm.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace Folio::Runtime;

namespace {

const std::filesystem::path kArtifacts = FOLIO_ARTIFACTS_DIR;

// Waits (a bounded while, so a fault fails instead of hanging) until `done` holds.
bool WaitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 400; ++i) {
        if (done()) {
            return true;
        }
        Sleep(25);
    }
    return done();
}

INPUT Key(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Key presses for `text`. Besides printable characters: '\b' Backspace, '\r' Enter,
// '\x1b' Escape, '\x04' Alt+F4, '\x16' Ctrl+V; '\x02' holds the next key down until
// the one after it is pressed too, as a quick typist does ("\x02wx": w down, x down,
// w up, x up).
std::vector<INPUT> KeysFor(const std::wstring& text)
{
    struct Stroke {
        std::vector<INPUT> Down, Up;
    };
    auto strokeFor = [](wchar_t c) -> Stroke {
        auto chord = [](WORD modifier, WORD vk) {
            return Stroke{{Key(modifier, false), Key(vk, false)}, {Key(vk, true), Key(modifier, true)}};
        };
        switch (c) {
        case L'\b': return {{Key(VK_BACK, false)}, {Key(VK_BACK, true)}};
        case L'\r': return {{Key(VK_RETURN, false)}, {Key(VK_RETURN, true)}};
        case L'\x1b': return {{Key(VK_ESCAPE, false)}, {Key(VK_ESCAPE, true)}};
        case L'\x04': return chord(VK_MENU, VK_F4);
        case L'\x16': return chord(VK_CONTROL, 'V');
        default: break;
        }
        const SHORT scan = VkKeyScanW(c);
        const WORD vk = LOBYTE(scan);
        return (HIBYTE(scan) & 1) ? chord(VK_SHIFT, vk) : Stroke{{Key(vk, false)}, {Key(vk, true)}};
    };
    std::vector<INPUT> keys;
    bool holdNext = false;
    std::vector<INPUT> held;
    for (const wchar_t c : text) {
        if (c == L'\x02') {
            holdNext = true;
            continue;
        }
        const Stroke stroke = strokeFor(c);
        keys.insert(keys.end(), stroke.Down.begin(), stroke.Down.end());
        if (holdNext) {
            held = stroke.Up;
            holdNext = false;
            continue;
        }
        keys.insert(keys.end(), held.begin(), held.end());
        held.clear();
        keys.insert(keys.end(), stroke.Up.begin(), stroke.Up.end());
    }
    keys.insert(keys.end(), held.begin(), held.end());
    return keys;
}

// Drops key messages left in this thread's queue when a prompt closed before all the
// typed keys reached it, so that they do not land in the next one.
void DropLeftoverKeys()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}

HWND FindPrompt(const std::u16string& caption)
{
    HWND form = nullptr;
    WaitFor([&] {
        form = FindWindowW(L"FolioRequirePasswordForm", reinterpret_cast<const wchar_t*>(caption.c_str()));
        return form && IsWindowVisible(form) && GetForegroundWindow() == form;
    });
    return form;
}

struct PromptRun {
    int Result = -1;
    bool Found = false;
    std::u16string TextAtEnd; // what the box held when the prompt closed
};

// Shows the prompt modally on this thread; a helper thread types `typed` into it and
// then runs `then` (screenshots, a close request) while the prompt is still up.
PromptRun RunPrompt(const std::u16string& password, const std::wstring& typed,
                    const std::function<void(HWND)>& then = {})
{
    static int run = 0;
    const std::u16string caption = u"Folio password " + std::u16string(1, static_cast<char16_t>(u'A' + run++ % 26));
    TRequirePasswordForm form;
    form.SetCaption(caption);
    form.SetPassword(password);
    PromptRun seen;
    std::thread helper([&] {
        const HWND prompt = FindPrompt(caption);
        if (!prompt) {
            return;
        }
        seen.Found = true;
        std::vector<INPUT> keys = KeysFor(typed);
        if (!keys.empty()) {
            SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
        }
        if (then) {
            then(prompt);
        }
    });
    seen.Result = form.ShowModal();
    helper.join();
    DropLeftoverKeys();
    seen.TextAtEnd = form.PasswordText();
    return seen;
}

} // namespace

TEST(RequirePasswordForm, KeyReleasesAgainstThePassword)
{
    // '\x04' (Alt+F4) at the end closes a prompt that is still open, after every key
    // before it: a result of 2 shows that none of those key releases accepted the text.
    struct Case {
        const char* Name;
        std::u16string Password;
        std::wstring Typed;
        int Result;
        std::u16string TextAtEnd;
    };
    const Case cases[] = {
        {"typed exactly", u"Open Sesame 7", L"Open Sesame 7", mrOk, u"Open Sesame 7"},
        // The x pressed before the w is released: at no key release is the text "pw".
        {"one character more", u"pw", L"p\x02wx\x04", mrCancel, u"pwx"},
        {"the extra one deleted", u"pw", L"p\x02wx\b", mrOk, u"pw"},
        {"one letter in another case", u"Secret", L"secret\x04", mrCancel, u"secret"},
        {"trailing blank missing", u"pass ", L"pass\x04", mrCancel, u"pass"},
        {"trailing blank typed", u"pass ", L"pass ", mrOk, u"pass "},
        {"Enter with wrong text does nothing", u"abcd", L"abc\rd", mrOk, u"abcd"},
        {"Escape does nothing", u"abcd", L"abc\x1b" L"d", mrOk, u"abcd"},
        {"Alt+F4", u"abcd", L"ab\x04", mrCancel, u"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const PromptRun run = RunPrompt(c.Password, c.Typed);
        ASSERT_TRUE(run.Found);
        EXPECT_EQ(run.Result, c.Result);
        EXPECT_EQ(run.TextAtEnd, c.TextAtEnd);
    }
}

TEST(RequirePasswordForm, PastingWithCtrlVClosesAtTheKeyRelease)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const wchar_t text[] = L"from the clipboard";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    memcpy(GlobalLock(memory), text, sizeof text);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();

    const PromptRun run = RunPrompt(u"from the clipboard", L"\x16");
    ASSERT_TRUE(run.Found);
    EXPECT_EQ(run.Result, mrOk);
}

TEST(RequirePasswordForm, APasswordLongerThanTheBoxsDefaultLimitCanBePasted)
{
    // The edit control takes some 30000 characters unless told otherwise; a longer
    // password could then never be entered. Alt+F4 ends a prompt that did not accept it.
    const std::wstring text(40000, L'k');
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();

    const PromptRun run = RunPrompt(std::u16string(text.begin(), text.end()), L"\x16\x04");
    ASSERT_TRUE(run.Found);
    EXPECT_EQ(run.Result, mrOk);
    EXPECT_EQ(run.TextAtEnd.size(), text.size());
}

TEST(RequirePasswordForm, CloseBoxGivesAnotherResult)
{
    for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>{WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}}) {
        const PromptRun run = RunPrompt(u"secret", L"", [message = message, wParam = wParam](HWND prompt) {
            PostMessageW(prompt, message, wParam, 0);
        });
        ASSERT_TRUE(run.Found);
        EXPECT_EQ(run.Result, mrCancel) << "message " << message;
    }
}

TEST(RequirePasswordForm, AskApplicationPasswordIsTrueOnlyForThePassword)
{
    for (const auto& [typed, expected] : {std::pair<std::wstring, bool>{L"letmein", true}, {L"letmeout\x04", false}}) {
        bool found = false;
        std::thread helper([&, typed = typed] {
            if (FindPrompt(u"Folio app")) {
                found = true;
                std::vector<INPUT> keys = KeysFor(typed);
                SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
            }
        });
        EXPECT_EQ(AskApplicationPassword(u"Folio app", u"letmein"), expected);
        helper.join();
        DropLeftoverKeys();
        EXPECT_TRUE(found);
    }
}

TEST(RequirePasswordForm, LayoutMaskAndFrame)
{
    TRequirePasswordForm form;
    form.SetCaption(u"Folio layout");
    ASSERT_TRUE(form.CreateForm());
    const HWND window = form.Handle();
    const UINT dpi = Folio::Win32::WindowDpi(window);
    auto scale = [dpi](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, scale(308));
    EXPECT_EQ(client.bottom, scale(71));
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    wchar_t caption[32] = {};
    GetWindowTextW(window, caption, 32);
    EXPECT_STREQ(caption, L"Folio layout");

    // Centred on the screen's work area.
    RECT frame;
    GetWindowRect(window, &frame);
    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR((frame.left + frame.right) / 2, (monitor.rcWork.left + monitor.rcWork.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (monitor.rcWork.top + monitor.rcWork.bottom) / 2, 1);

    const HWND edit = form.PasswordEdit();
    ASSERT_NE(edit, nullptr);
    RECT box;
    GetWindowRect(edit, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, scale(24));
    EXPECT_EQ(box.top, scale(24));
    EXPECT_EQ(box.right - box.left, scale(257));
    EXPECT_EQ(box.bottom - box.top, scale(21));
    EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_PASSWORD);
    EXPECT_FALSE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'*');

    // The key sits inside the box's left edge and the text starts after it.
    const HWND key = form.KeyButton();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(GetParent(key), edit);
    RECT keyBox;
    GetWindowRect(key, &keyBox);
    MapWindowPoints(nullptr, edit, reinterpret_cast<POINT*>(&keyBox), 2);
    EXPECT_EQ(keyBox.left, 0);
    EXPECT_GE(LOWORD(SendMessageW(edit, EM_GETMARGINS, 0, 0)), keyBox.right);
}

TEST(RequirePasswordForm, Screenshot)
{
    const std::filesystem::path file = kArtifacts / "password-prompt.png";
    std::filesystem::remove(file);
    const PromptRun run = RunPrompt(u"secret", L"secr", [&](HWND prompt) {
        HWND edit = FindWindowExW(prompt, nullptr, L"Edit", nullptr);
        WaitFor([&] { return GetWindowTextLengthW(edit) == 4; });
        Sleep(300); // let it paint
        Folio::Test::SaveScreenshot(prompt, file);
        PostMessageW(prompt, WM_CLOSE, 0, 0);
    });
    ASSERT_TRUE(run.Found);
    EXPECT_EQ(run.Result, mrCancel);
    EXPECT_TRUE(std::filesystem::exists(file));
}
