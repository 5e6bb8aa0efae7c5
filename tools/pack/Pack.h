// folio-pack's commands: build a packaged executable from an application folder, and
// list, extract from and verify packaged executables or plain ZIP files.
#pragma once

#include "package/ExeResources.h"
#include "tools/pack/Signing.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace Folio::Pack {

// A path as messages quote it: 'C:\dir\App.exe'.
std::string Show(const std::filesystem::path& path);

class EPackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TBuildOptions {
    std::filesystem::path AppDir;
    std::filesystem::path Runtime;
    std::filesystem::path Loader;    // empty: none
    std::filesystem::path Installer; // empty: none
    std::filesystem::path Inject;    // empty: none
    std::filesystem::path Output;
    std::filesystem::path Icon;      // empty: keep the runtime's icon
    std::optional<Shared::TExeInfo> Info; // version information to write
    bool Store = false;              // every entry stored; by default text-like ones are deflated
    std::optional<TSignOptions> Sign; // sign the executable once the package is appended
};

// Whether build deflates an entry of this name by default: text-like types and others
// that compress well. Media and already-compressed files stay stored, so that they keep
// their Range answers and seeking.
bool DeflatedByDefault(std::string_view entryName);

// Sets a version-information string by its key ("CompanyName", ...); false for an
// unknown key.
bool SetInfoString(Shared::TExeInfo& info, std::u16string_view key, std::u16string value);

// Each returns the process exit code; failures raise EPackError with a message.
int Build(const TBuildOptions& options, std::ostream& out, std::ostream& err);
int List(const std::filesystem::path& file, const std::optional<std::string>& password, std::ostream& out);
int Extract(const std::filesystem::path& file, const std::u16string& entry,
            const std::optional<std::filesystem::path>& output, const std::optional<std::string>& password,
            std::ostream& out);
// Signs a packaged executable into output (the file itself when output is empty).
int Sign(const std::filesystem::path& file, const TSignOptions& options, const std::filesystem::path& output,
         std::ostream& out);
int Verify(const std::filesystem::path& file, const std::optional<std::string>& password, std::ostream& out,
           std::ostream& err);

} // namespace Folio::Pack
