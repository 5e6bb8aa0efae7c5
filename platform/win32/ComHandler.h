// The COM handler template lives with the browser code, which also builds on the host;
// this header keeps the Win32 code's spelling of it.
#pragma once

#include "browser/ComHandler.h"

namespace Folio::Win32 {

using Folio::Browser::MakeComHandler;
using Folio::Browser::TComHandler;

} // namespace Folio::Win32
