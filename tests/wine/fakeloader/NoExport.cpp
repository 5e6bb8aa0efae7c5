// A library without the loader's export.
#include <windows.h>

extern "C" __declspec(dllexport) int FolioNothing() { return 0; }
