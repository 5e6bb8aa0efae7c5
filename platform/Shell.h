// Port: the shell as the page's shell functions see it: open a file or URL, show a file
// in Explorer, run a command line and collect what it prints, list window captions.
// Failures carry the system's own text, so that the page can show why.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace Folio::Platform {

// What a system call came to: done, or not with the system's text for the reason.
struct TSystemOutcome {
    bool Ok = false;
    std::u16string ErrorText;
};

struct TCommandOutcome {
    bool Started = false;
    std::u16string Output;    // everything the command wrote to standard output and error
    std::u16string ErrorText; // why it could not start
};

class TShell {
public:
    virtual ~TShell() = default;
    // The file, program or URL opened with the shell's "open" verb; does not wait.
    virtual TSystemOutcome Execute(const std::u16string& filePath, const std::u16string& arguments) = 0;
    // Explorer opened at the item's folder with the item selected.
    virtual TSystemOutcome Explore(const std::u16string& filePath) = 0;
    // Captions of the desktop's top-level windows, top of the z-order first.
    virtual std::vector<std::u16string> WindowCaptions() = 0;
    // Runs "cmd.exe /C <command>" away from the caller's thread; done is called once,
    // on a thread of the shell's choosing, when the command has ended or could not start.
    virtual void RunCommand(const std::u16string& command, const std::u16string& workingDir, bool showWindow,
                            std::function<void(TCommandOutcome)> done) = 0;
};

TShell& SystemShell();

} // namespace Folio::Platform
