// folio-pack's process entry on Windows: arguments arrive as UTF-16.
#include "tools/pack/Main.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    SetDllDirectoryW(L""); // the current folder leaves the search for libraries named without a path
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    _setmode(_fileno(stdout), _O_BINARY); // extract writes bytes to standard output
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) {
        args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    }
    return Folio::Pack::PackMain(args);
}
