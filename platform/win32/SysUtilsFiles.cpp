// TSysUtils: folders and files (see SysUtils.h).
#include "platform/win32/SysUtils.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace Folio::Win32 {

namespace {

std::u16string WithBackslash(std::u16string path)
{
    if (path.empty() || path.back() != u'\\') {
        path.push_back(u'\\');
    }
    return path;
}

std::u16string WithoutBackslash(std::u16string path)
{
    while (path.size() > 3 && (path.back() == u'\\' || path.back() == u'/')) {
        path.pop_back();
    }
    return path;
}

// SHFileOperationW with a double-zero-terminated source (and target) list.
bool ShellFileOperation(UINT operation, const std::u16string& from, const std::u16string* to, FILEOP_FLAGS flags)
{
    std::u16string source = from;
    source.push_back(u'\0');
    std::u16string target;
    if (to) {
        target = *to;
        target.push_back(u'\0');
    }
    SHFILEOPSTRUCTW op{};
    op.wFunc = operation;
    op.pFrom = W(source);
    op.pTo = to ? W(target) : nullptr;
    op.fFlags = flags;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

std::u16string FullPath(const std::u16string& path)
{
    const DWORD n = GetFullPathNameW(W(path), 0, nullptr, nullptr);
    if (n == 0) {
        return path;
    }
    std::wstring buffer(n, L'\0');
    const DWORD got = GetFullPathNameW(W(path), n, buffer.data(), nullptr);
    return U16(buffer.c_str(), got);
}

} // namespace

std::u16string TSysUtils::GetSpecialFolderPath(int Csidl)
{
    wchar_t path[262] = {};
    if (FAILED(SHGetFolderPathW(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    path[261] = L'\0';
    return U16(path);
}

std::u16string TSysUtils::GetUserDesktopDirPath() { return WithBackslash(GetSpecialFolderPath(CSIDL_DESKTOP)); }
std::u16string TSysUtils::GetUserDocumentsDirPath() { return WithBackslash(GetSpecialFolderPath(CSIDL_PERSONAL)); }
std::u16string TSysUtils::GetUserAppDataDirPath() { return WithBackslash(GetSpecialFolderPath(CSIDL_APPDATA)); }
std::u16string TSysUtils::GetLocalAppDataDirPath() { return WithBackslash(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA)); }
std::u16string TSysUtils::GetProgramFilesDirPath() { return WithBackslash(GetSpecialFolderPath(CSIDL_PROGRAM_FILES)); }

std::u16string TSysUtils::GetSystemAppsDirPath()
{
    const std::u16string windows = GetSpecialFolderPath(CSIDL_WINDOWS);
    return WithBackslash(windows.empty() ? std::u16string() : WithBackslash(windows) + u"SystemApps");
}

std::u16string TSysUtils::GetTempDirPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, path);
    if (n == 0 || n > MAX_PATH) {
        return u"\\";
    }
    wchar_t longPath[MAX_PATH * 2] = {};
    const DWORD m = GetLongPathNameW(path, longPath, MAX_PATH * 2);
    return WithBackslash(m > 0 && m < MAX_PATH * 2 ? U16(longPath, m) : U16(path, n));
}

bool TSysUtils::DeleteDirectory(const std::u16string& DirPath)
{
    // The shell takes no trailing separator on a folder ("C:\\dir\\" is not found).
    std::u16string folder = DirPath;
    while (folder.size() > 3 && (folder.back() == u'\\' || folder.back() == u'/')) {
        folder.pop_back();
    }
    // Shell deletes of a missing folder report an error code; "deleted" means it was there.
    if (folder.empty() || GetFileAttributesW(W(folder)) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    return ShellFileOperation(FO_DELETE, folder, nullptr, FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI);
}

bool TSysUtils::CopyFile(const std::u16string& FromPath, const std::u16string& ToPath)
{
    return ShellFileOperation(FO_COPY, FromPath, &ToPath, FOF_NOCONFIRMATION | FOF_FILESONLY | FOF_SILENT);
}

bool TSysUtils::CopyDirectory(const std::u16string& FromDirPath, const std::u16string& ToDirPath)
{
    return ShellFileOperation(FO_COPY, FromDirPath, &ToDirPath,
                              FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI);
}

int64_t TSysUtils::GetSizeOfFile(const std::u16string& FilePath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(FilePath), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void TSysUtils::GetDirectoryFiles(const std::u16string& RootDir, bool IncludeDirs, const std::u16string& FileMask,
                                  TStringList& FileList)
{
    FileList.clear();
    const std::u16string root = WithBackslash(RootDir);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(W(root + FileMask), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::u16string name = U16(found.cFileName);
        if (name == u"." || name == u"..") {
            continue;
        }
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!folder || IncludeDirs) {
            FileList.push_back(root + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

int64_t TSysUtils::GetSizeOfDir(const std::u16string& DirPath, bool IncludeSubdirs)
{
    TStringList entries;
    GetDirectoryFiles(DirPath, IncludeSubdirs, u"*.*", entries);
    int64_t total = 0;
    for (const auto& entry : entries) {
        const DWORD attributes = GetFileAttributesW(W(entry));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            total += GetSizeOfDir(entry, true); // subfolders count with their content
        } else if (const int64_t size = GetSizeOfFile(entry); size > 0) {
            total += size;
        }
    }
    return total;
}

int TSysUtils::GetSubdirectoriesCount(const std::u16string& DirPath)
{
    TStringList entries;
    GetDirectoryFiles(DirPath, true, u"*", entries);
    int count = 0;
    for (const auto& entry : entries) {
        const DWORD attributes = GetFileAttributesW(W(entry));
        count += attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    }
    return count;
}

std::u16string TSysUtils::GetParentDirPath(const std::u16string& Path)
{
    const std::u16string full = WithoutBackslash(FullPath(Path));
    const size_t slash = full.find_last_of(u"\\/");
    if (slash == std::u16string::npos) {
        return WithBackslash(full);
    }
    return WithBackslash(full.substr(0, slash == 2 && full[1] == u':' ? 3 : slash));
}

std::u16string TSysUtils::ExpandFileNameRelBaseDir(const std::u16string& FileName, const std::u16string& BaseDir)
{
    const bool absolute = (FileName.size() >= 2 && FileName[1] == u':') ||
                          (!FileName.empty() && (FileName[0] == u'\\' || FileName[0] == u'/'));
    return FullPath(absolute ? FileName : WithBackslash(BaseDir) + FileName);
}

bool TSysUtils::IsValidFilePath(const std::u16string& FileName)
{
    if (FileName.empty()) {
        return false;
    }
    size_t start = 0;
    if (FileName.size() >= 2 && FileName[1] == u':') {
        const char16_t drive = FileName[0] | 0x20;
        if (drive < u'a' || drive > u'z') {
            return false;
        }
        start = 2;
    }
    for (size_t i = start; i < FileName.size(); ++i) {
        const char16_t c = FileName[i];
        if (c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*') {
            return false;
        }
    }
    return true;
}

bool TSysUtils::FilesHaveSameDateTime(const std::u16string& File1Path, const std::u16string& File2Path)
{
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    if (!GetFileAttributesExW(W(File1Path), GetFileExInfoStandard, &a) ||
        !GetFileAttributesExW(W(File2Path), GetFileExInfoStandard, &b)) {
        return false;
    }
    return CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

std::u16string TSysUtils::GetLnkFilePath(const std::u16string& LnkFilePath)
{
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
        return {};
    }
    Microsoft::WRL::ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file)) || FAILED(file->Load(W(LnkFilePath), STGM_READ))) {
        return {};
    }
    wchar_t target[MAX_PATH * 2] = {};
    if (FAILED(link->GetPath(target, MAX_PATH * 2, nullptr, 0))) {
        return {};
    }
    return U16(target);
}

UniqueBitmap TSysUtils::ExtractExeIcon(const std::u16string& FilePath)
{
    UniqueIcon icon(ExtractIconW(GetModuleHandleW(nullptr), W(FilePath), 0));
    if (!icon || icon.Get() == reinterpret_cast<HICON>(1)) {
        icon.Release(); // 1 means "not an executable": nothing to destroy
        return {};
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 32, 32));
    if (memory && bitmap) {
        const HGDIOBJ old = SelectObject(memory, bitmap.Get());
        RECT all{0, 0, 32, 32};
        FillRect(memory, &all, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        DrawIconEx(memory, 0, 0, icon.Get(), 32, 32, 0, nullptr, DI_NORMAL);
        SelectObject(memory, old);
    }
    if (memory) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return bitmap;
}

bool TSysUtils::RemoveUTFBoomFromFile(const std::u16string& FilePath)
{
    UniqueFile file(CreateFileW(W(FilePath), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 3 || size.QuadPart > 0x7FFFFFFF) {
        return false;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size() ||
        bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
        return false;
    }
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data() + 3, got - 3, &written, nullptr) && written == got - 3 &&
           SetEndOfFile(file.Get());
}

} // namespace Folio::Win32
