// The shell port on Windows, over TSysUtils. A command runs on a thread of its own, so
// the window keeps handling messages while it runs.
#include "platform/Shell.h"

#include "platform/win32/Errors.h"
#include "platform/win32/SysUtils.h"

#include <thread>

namespace Folio::Platform {

namespace {

TSystemOutcome Outcome(bool ok)
{
    const DWORD error = ok ? 0 : GetLastError(); // read before anything else can change it
    return {ok, ok ? std::u16string() : Win32::SystemErrorText(error)};
}

class Win32Shell final : public TShell {
public:
    TSystemOutcome Execute(const std::u16string& filePath, const std::u16string& arguments) override
    {
        return Outcome(Win32::TSysUtils::ShellExec(filePath, arguments));
    }
    TSystemOutcome Explore(const std::u16string& filePath) override
    {
        return Outcome(Win32::TSysUtils::ShellExplore(filePath));
    }
    std::vector<std::u16string> WindowCaptions() override
    {
        Win32::TStringList captions;
        Win32::TSysUtils::GetWindowsCaptions(captions);
        return captions;
    }
    void RunCommand(const std::u16string& command, const std::u16string& workingDir, bool showWindow,
                    std::function<void(TCommandOutcome)> done) override
    {
        std::thread([command, workingDir, showWindow, done = std::move(done)] {
            TCommandOutcome outcome;
            try {
                DWORD error = 0;
                outcome.Output = Win32::TSysUtils::GetDosOutput(command, workingDir, showWindow, &error);
                outcome.Started = error == 0;
                if (!outcome.Started) {
                    outcome.ErrorText = Win32::SystemErrorText(error);
                }
            } catch (...) {
                outcome = {false, {}, Win32::SystemErrorText(ERROR_NOT_ENOUGH_MEMORY)};
            }
            done(std::move(outcome));
        }).detach();
    }
};

} // namespace

TShell& SystemShell()
{
    static Win32Shell shell;
    return shell;
}

} // namespace Folio::Platform
