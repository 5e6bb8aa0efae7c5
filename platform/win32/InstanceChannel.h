// The channel between two starts of one application by one user in one session: the
// start that the single-instance rule ends hands its command line and working folder to
// the running instance. A named pipe that only the user may open, whose other end is
// checked to be the same user in the same session, with every message bounded and read
// as untrusted input.
#pragma once

#include "util/ForwardedStart.h"

#include <functional>
#include <string>

namespace Folio::Win32 {

// Listens, from a thread of its own, for the starts of application appId; each one that
// arrives whole is handed to the handler set below, on the user-interface thread (the
// UI queue's). Call once, on the user-interface thread; false when the pipe cannot be
// made (another program holds its name).
bool ListenForSecondStarts(const std::u16string& appId);

// Where received starts go, on the user-interface thread. Starts received before a
// handler is set wait for it (a few at most); null: they wait again.
void SetSecondStartHandler(std::function<void(const Shared::TForwardedStart&)> handler);

// The pipe's name for application appId, this process's user and session.
std::wstring SecondStartChannelName(const std::u16string& appId);

// Hands this start to the running instance and lets it take the foreground; false when
// no instance of the same user and session answered within a few seconds, or the start
// does not fit a message.
bool ForwardToRunningInstance(const std::u16string& appId, const Shared::TForwardedStart& start);

} // namespace Folio::Win32
