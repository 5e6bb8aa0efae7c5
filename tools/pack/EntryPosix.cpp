// folio-pack's process entry on POSIX systems: arguments arrive as UTF-8.
#include "tools/pack/Main.h"
#include "util/TextCodecs.h"

int main(int argc, char** argv)
{
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(Folio::Shared::Utf8ToUtf16(argv[i]));
    }
    return Folio::Pack::PackMain(args);
}
