// The top layer includes every layer below it.
#include "ui/win32/MainForm.h"
#include "runtime/StartupRules.h"
