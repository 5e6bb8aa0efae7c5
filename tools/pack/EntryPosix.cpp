// folio-pack's process entry on POSIX systems: arguments arrive as UTF-8.
#include "tools/pack/Main.h"
#include "util/TextCodecs.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    // A standard stream started closed is held by a read-only /dev/null: a file opened
    // later cannot take its number, and writing to it fails as it should.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {
            const int held = open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd) {
                close(held);
            }
        }
    }
    // Past a file size limit (ulimit -f) a write fails with EFBIG, which ends the command
    // with a message and no temporary file left, instead of killing the process.
    signal(SIGXFSZ, SIG_IGN);
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(Folio::Shared::Utf8ToUtf16(argv[i]));
    }
    return Folio::Pack::PackMain(args);
}
