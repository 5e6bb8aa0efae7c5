// The runtime's start-up on Windows, from the package to the moment the main window is
// due: the package and its settings, the working folder and the loader library, the
// browser's environment, the runtime check (and the installer when it is missing), the
// application password and the single-instance rule. Each step that ends the process
// has shown the user what they must know; the process then ends with exit code 0.
#pragma once

#include <string>
#include <vector>

namespace Folio::Runtime {

// The program's arguments, split by the Windows rules, without the program's name.
std::vector<std::u16string> CommandLineArguments();

// The package up to the password prompt. False: the process is to end.
bool LoadExeZip(const std::vector<std::u16string>& args);

// The single-instance rule, and the limit on windows opened by pages (a start with the
// application's id and a URL). False: this start is to end.
bool PassesSingleInstanceRule(const std::vector<std::u16string>& args);

// Whether an installed browser runtime serves: asked of the package's loader library at
// LoaderPath, or, for a package that carries none, of the built-in loader.
bool BrowserRuntimeInstalled();

// Lets go of the loader library file that start-up holds from its check on, so that it
// can be removed (the installer branch giving up).
void ReleaseLoaderFile();

// The localized error dialog (caption "Error", one "Accept" button) with this text.
void ShowStartupError(const std::u16string& text);

} // namespace Folio::Runtime
