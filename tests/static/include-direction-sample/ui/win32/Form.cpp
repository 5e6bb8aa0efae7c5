// What check-include-direction must report (the two includes of runtime/) and what it
// must let be. Read by the check's own test, never compiled.
#include "ui/win32/Form.h"
#include "runtime/ExeZipLoader.h"
#include "browser/EdgeBrowser.h"
  #  include <runtime/StartupRules.h>
// #include "runtime/InAComment.h" is no include
const char* text = "#include \"runtime/InAString.h\"";
