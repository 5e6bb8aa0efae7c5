// A progress bar on the terminal's standard error; silent when that is not a terminal.
#pragma once

#include <cstdint>
#include <string>

namespace Folio::Pack {

class TProgressBar {
public:
    explicit TProgressBar(std::string label);
    ~TProgressBar();
    void SetTotal(uint64_t total) { FTotal = total; }
    void Update(uint64_t done);
    void Finish();

private:
    std::string FLabel;
    uint64_t FTotal = 0;
    int FLastPermille = -1;
    bool FEnabled;
    bool FFinished = false;
};

} // namespace Folio::Pack
