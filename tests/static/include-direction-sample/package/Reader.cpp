// A lower layer including ui/ is reported; util/ and its own folder are not.
#include "package/Reader.h"
#include "util/StrUtils.h"
#include "ui/themes/ThemeFile.h"
