// Turning a Win32 error code or an HRESULT into a message.
#pragma once

#include <windows.h>

#include <string>

namespace Folio::Win32 {

// The system's text for an error code (or an HRESULT), with the code in hexadecimal;
// "error 0x…" alone when the system has no text for it.
std::string ErrorText(DWORD code);
inline std::string LastErrorText() { return ErrorText(GetLastError()); }
// The system's message for a Win32 error code as the page is shown it: without trailing
// blanks, line breaks and full stops, and without the code ("System error N" when the
// system has no message for it).
std::u16string SystemErrorText(DWORD code);

} // namespace Folio::Win32
