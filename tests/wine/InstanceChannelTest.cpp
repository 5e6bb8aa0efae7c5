// The second-start channel for real: a later start's arguments reach the running
// instance's handler on its user-interface thread.
#include "platform/win32/InstanceChannel.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace Folio;

namespace {

// Runs the thread's messages (the UI queue's among them) until `done` or a few seconds.
template <typename Done>
void PumpUntil(Done&& done)
{
    for (int i = 0; i < 500 && !done(); ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

} // namespace

// A client that opens the pipe and never writes (a start that hangs, or any program of
// the user) holds the channel's one instance while the server waits for its bytes: the
// next start, which tries for a while, must still get through.
TEST(SecondStartChannel, AClientThatNeverWritesDoesNotLoseTheNextStart)
{
    const std::u16string app = u"folio.review.idle-client";
    std::vector<Shared::TForwardedStart> received;
    Win32::SetSecondStartHandler([&](const Shared::TForwardedStart& start) { received.push_back(start); });
    ASSERT_TRUE(Win32::ListenForSecondStarts(app));
    const std::wstring name = Win32::SecondStartChannelName(app);

    const HANDLE idle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(idle, INVALID_HANDLE_VALUE);
    const bool forwarded = Win32::ForwardToRunningInstance(app, {{u"second.txt"}, u"C:\\work"});
    CloseHandle(idle);
    EXPECT_TRUE(forwarded);
    PumpUntil([&] { return !received.empty(); });
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].Args, std::vector<std::u16string>{u"second.txt"});
    Win32::SetSecondStartHandler(nullptr);
}
