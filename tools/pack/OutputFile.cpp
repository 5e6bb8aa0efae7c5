// Temporary outputs created exclusively and renamed over their targets (see OutputFile.h).
#include "tools/pack/OutputFile.h"

#include "tools/pack/Pack.h"
#include "util/TextCodecs.h"

#include <cstdio>
#include <random>
#include <system_error>

#ifdef _WIN32
#include "platform/win32/Handles.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Folio::Pack {

namespace fs = std::filesystem;

std::string Show(const fs::path& p) { return "'" + Shared::Utf16ToUtf8(p.u16string()) + "'"; }

namespace {


#ifdef _WIN32
const wchar_t* W(const fs::path& p) { return p.c_str(); }
#endif

} // namespace

bool CreateNewFile(const fs::path& path)
{
#ifdef _WIN32
    Win32::UniqueFile file(CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
#endif
}

bool RenameReplacing(const fs::path& from, const fs::path& to)
{
#ifdef _WIN32
    return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool IsTemporaryOf(const fs::path& file, const fs::path& target)
{
    const std::u16string name = file.filename().u16string();
    const std::u16string prefix = u"." + target.filename().u16string() + u".";
    const std::u16string_view suffix = u".tmp";
    if (name.size() != prefix.size() + 16 + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    for (size_t i = prefix.size(); i < prefix.size() + 16; ++i) {
        if (!((name[i] >= u'0' && name[i] <= u'9') || (name[i] >= u'a' && name[i] <= u'f'))) {
            return false;
        }
    }
    auto folder = [](const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); };
    std::error_code ec;
    return fs::equivalent(folder(file), folder(target), ec);
}

TOutputFile::TOutputFile(const fs::path& target) : FTarget(target)
{
    // A folder would only fail the rename, after the package is written; a link to one
    // would be replaced by the file.
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        throw EPackError("cannot write " + Show(target) + ": it is a folder");
    }
    static std::mt19937_64 names{std::random_device{}()};
    const fs::path folder = target.parent_path();
    const std::string base = "." + Shared::Utf16ToUtf8(target.filename().u16string()) + ".";
    for (int attempt = 0; attempt < 64; ++attempt) {
        char tag[17];
        std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(names()));
        fs::path candidate = folder / Shared::Utf8ToUtf16(base + tag + ".tmp");
        if (CreateNewFile(candidate)) {
            FPath = std::move(candidate);
            return;
        }
        if (!fs::exists(candidate, ec)) {
            break; // not a name taken: the folder refuses new files
        }
    }
    throw EPackError("cannot create a temporary file beside " + Show(target));
}

TOutputFile::~TOutputFile()
{
    if (!FCommitted) {
        std::error_code ec;
        fs::remove(FPath, ec);
    }
}

void TOutputFile::Commit()
{
    if (!RenameReplacing(FPath, FTarget)) {
        std::error_code ec;
        fs::remove(FPath, ec);
        FCommitted = true; // nothing left to remove
        throw EPackError("cannot write " + Show(FTarget) + ": it cannot be replaced (in use, or read-only?)");
    }
    FCommitted = true;
}

} // namespace Folio::Pack
