// TSysUtils: the shell, processes, folders and power, for the runtime and the packer.
// Class-level operations only; the one piece of state is the process-wide list that
// GetWindowsCaptions fills. Failures are reported by the results (false, 0, empty
// text, "\" for a folder), never by exceptions.
#pragma once

#include "platform/win32/Handles.h"

#include <windows.h>

// winuser.h and winbase.h define these names as macros; the class keeps its own names.
#undef ExitWindows
#undef CopyFile

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Folio::Win32 {

using TStringList = std::vector<std::u16string>;

class TSysUtils {
public:
    TSysUtils() = delete;

    // --- used by the runtime ---
    static void GetWindowsCaptions(TStringList& WindowsCaptionsList);
    static bool ExitWindows(UINT RebootParam);
    // Waits on the process and the message queue together, handling messages meanwhile;
    // the exit code, 0 when it could not start, 259 when the application is quitting.
    // Started is called as soon as the process runs, before the wait.
    static DWORD ShellExecAsAdminAndWait(HWND AHandle, const std::u16string& FilePath, const std::u16string& Params,
                                         const std::function<void()>& Started = {});
    // Everything the command wrote to standard output and error until it ended, decoded
    // once from the console (OEM) code page; empty when it could not start, and then the
    // system's error code in StartError (0 when it started). The child inherits only the
    // pipe and an empty standard input; its descendants are kept in a job.
    static std::u16string GetDosOutput(const std::u16string& CommandLine, const std::u16string& WorkingDir,
                                       bool ShowWindow, DWORD* StartError = nullptr);
    static bool DeleteDirectory(const std::u16string& DirPath);
    static bool CheckEdgeIsInstalled(const std::u16string& EdgeLoaderDllPath);
    static std::u16string GetUserDesktopDirPath();
    static std::u16string GetUserDocumentsDirPath();
    static std::u16string GetUserAppDataDirPath();
    static std::u16string GetLocalAppDataDirPath();
    static std::u16string GetTempDirPath();
    static bool ShellExec(const std::u16string& FilePath, const std::u16string& Arguments);
    static bool ShellExplore(const std::u16string& FilePath);
    static std::u16string GetSpecialFolderPath(int Csidl);

    // --- kept for the packer and tools ---
    static bool ShellOpen(const std::u16string& FilePath);
    static bool RestartApplication();
    static DWORD ExecAndWait(const std::u16string& CommandLine);
    static bool ExecCmd(const std::u16string& CommandLine, bool Wait);
    static bool EditWithMSPaint(const std::u16string& FilePath);
    static bool CopyFile(const std::u16string& FromPath, const std::u16string& ToPath);
    static bool CopyDirectory(const std::u16string& FromDirPath, const std::u16string& ToDirPath);
    static int64_t GetSizeOfDir(const std::u16string& DirPath, bool IncludeSubdirs);
    static int64_t GetSizeOfFile(const std::u16string& FilePath);
    static void GetDirectoryFiles(const std::u16string& RootDir, bool IncludeDirs, const std::u16string& FileMask,
                                  TStringList& FileList);
    static int GetSubdirectoriesCount(const std::u16string& DirPath);
    static std::u16string GetParentDirPath(const std::u16string& Path);
    static std::u16string ExpandFileNameRelBaseDir(const std::u16string& FileName, const std::u16string& BaseDir);
    static bool IsValidFilePath(const std::u16string& FileName);
    static bool FilesHaveSameDateTime(const std::u16string& File1Path, const std::u16string& File2Path);
    static std::u16string GetLnkFilePath(const std::u16string& LnkFilePath);
    // The file's first icon drawn on a 32 x 32 bitmap; empty when it has none.
    static UniqueBitmap ExtractExeIcon(const std::u16string& FilePath);
    static std::u16string GetProgramFilesDirPath();
    static std::u16string GetSystemAppsDirPath();
    static std::u16string GetComputerNetName();
    static std::u16string GetUserFromWindows();
    static void PressKey(WORD VirtualKey);
    static int TrueFontWidth(HFONT AFont, const std::u16string& Str);
    static bool RemoveUTFBoomFromFile(const std::u16string& FilePath);
    static std::u16string FormatByteSize(int64_t Bytes);
};

} // namespace Folio::Win32
