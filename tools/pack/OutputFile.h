// folio-pack's outputs: each is written to a temporary file of a fresh name beside its
// target, created exclusively so that no file of the user's is ever truncated, then
// renamed over the target in one step, so the old target stays whole until then.
#pragma once

#include <filesystem>

namespace Folio::Pack {

class TOutputFile {
public:
    // Creates the temporary file (empty) beside target; EPackError when it cannot.
    explicit TOutputFile(const std::filesystem::path& target);
    // Removes the temporary file unless it was committed.
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // Renames the temporary file over the target, replacing a file there; EPackError
    // when it cannot (the temporary file is then removed, the target left as it was).
    void Commit();

private:
    std::filesystem::path FTarget, FPath;
    bool FCommitted = false;
};

// Creates path as a new, empty file; false when something is already there (or the
// file cannot be created). Never opens or truncates an existing file.
bool CreateNewFile(const std::filesystem::path& path);

// Whether file is one of the temporary files TOutputFile makes for target: beside it,
// named "." + target's name + "." + 16 hex digits + ".tmp".
bool IsTemporaryOf(const std::filesystem::path& file, const std::filesystem::path& target);

// Renames from over to in one step, replacing to when it exists.
bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace Folio::Pack
