// Turning a Win32 error code or an HRESULT into a message.
#pragma once

#include <windows.h>

#include <string>

namespace Folio::Win32 {

// The system's text for an error code (or an HRESULT), with the code in hexadecimal;
// "error 0x…" alone when the system has no text for it.
std::string ErrorText(DWORD code);
inline std::string LastErrorText() { return ErrorText(GetLastError()); }

} // namespace Folio::Win32
