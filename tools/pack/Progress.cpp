// Terminal progress bar (see Progress.h).
#include "tools/pack/Progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define FOLIO_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define FOLIO_ISATTY(fd) isatty(fd)
#endif

namespace Folio::Pack {

TProgressBar::TProgressBar(std::string label) : FLabel(std::move(label)), FEnabled(FOLIO_ISATTY(2) != 0) {}

TProgressBar::~TProgressBar()
{
    if (FEnabled && FLastPermille >= 0 && !FFinished) {
        std::fputc('\n', stderr);
    }
}

void TProgressBar::Update(uint64_t done)
{
    if (!FEnabled || FTotal == 0) {
        return;
    }
    const int permille = static_cast<int>(done >= FTotal ? 1000 : done * 1000 / FTotal);
    if (permille == FLastPermille) {
        return;
    }
    FLastPermille = permille;
    constexpr int width = 30;
    const int filled = permille * width / 1000;
    std::fprintf(stderr, "\r%-10s [%.*s%*s] %3d%%  %.1f MiB", FLabel.c_str(), filled,
                 "##############################", width - filled, "", permille / 10,
                 static_cast<double>(done) / (1024.0 * 1024.0));
    std::fflush(stderr);
}

void TProgressBar::Finish()
{
    Update(FTotal);
    if (FEnabled && FLastPermille >= 0 && !FFinished) {
        std::fputc('\n', stderr);
    }
    FFinished = true;
}

} // namespace Folio::Pack
