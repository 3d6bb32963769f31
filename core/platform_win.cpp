// The Windows side of the OS calls (the POSIX side is in platform.cpp).
//
// File names: the executable's manifest sets the process's ANSI code page to
// UTF-8, so the "A" functions used here, the C library's fopen and the
// command-line words all carry UTF-8 text, the same bytes as on Linux.
//
// Text output: messages and documents end lines with "\n" alone, as on
// Linux; standard output and error are switched to binary mode so the C
// library does not turn "\n" into "\r\n". Console output is shown as UTF-8.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

// <windows.h> names a function of its own ReplaceFile.
#undef ReplaceFile

#include "core/platform.h"
#include "core/platform_os.h"

namespace {

// Set up once before main: line ends and the console's code page.
struct ConsoleSetup {
    UINT savedOutputCodePage = 0;
    ConsoleSetup() {
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
        savedOutputCodePage = GetConsoleOutputCP();
        if (savedOutputCodePage != 0) SetConsoleOutputCP(CP_UTF8);
    }
    ~ConsoleSetup() {
        // The console belongs to the shell too: leave it as it was found.
        std::fflush(stdout);
        if (savedOutputCodePage != 0) SetConsoleOutputCP(savedOutputCodePage);
    }
};
const ConsoleSetup consoleSetup;

DWORD Attributes(const char* path) {
    return GetFileAttributesA(*path ? NativePath(path).c_str() : ".");
}

// The errno value Linux gives for the same failure, so that LastErrorText
// reads the same on both systems: a missing file or folder, a folder where a
// file is expected, a file where a folder is expected, no access. Windows
// refuses to open a folder as a file with ERROR_ACCESS_DENIED; the path tells
// the two apart. A code of 0 (the C library failed without a system call)
// keeps the C library's errno, with the same folder check.
void SetErrnoFromWindows(DWORD code, const char* path) {
    const DWORD attributes = path && *path ? Attributes(path) : INVALID_FILE_ATTRIBUTES;
    const bool isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    switch (code) {
    case 0:
        if (errno == EACCES && isFolder) errno = EISDIR;
        else if (errno == 0) errno = EIO;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
        // A file where a folder is expected (a scan of "a.zem") is "Not a
        // directory" on Linux.
        errno = attributes != INVALID_FILE_ATTRIBUTES && !isFolder ? ENOTDIR : ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        errno = isFolder ? EISDIR : EACCES;
        break;
    case ERROR_WRITE_PROTECT:
        errno = EROFS;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        errno = ENOMEM;
        break;
    case ERROR_TOO_MANY_OPEN_FILES:
        errno = EMFILE;
        break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    default:
        errno = EIO;
    }
}

}  // namespace

FILE* OpenFile(const char* path, const char* mode) {
    SetLastError(0);
    FILE* file = std::fopen(NativePath(path).c_str(), mode);
    if (!file) SetErrnoFromWindows(GetLastError(), path);
    return file;
}

bool ListFolder(const char* path, std::vector<FolderEntry>& out) {
    out.clear();
    if (!path) return false;
    std::string pattern = *path ? NativePath(path) : ".";
    if (pattern.back() != kNativeSeparator) pattern += kNativeSeparator;
    pattern += '*';
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // Only a drive's root can list nothing at all ("." and ".." are
        // missing there): an empty folder, as on Linux.
        if (code == ERROR_FILE_NOT_FOUND && FolderExists(path)) return true;
        SetErrnoFromWindows(code, path);
        return false;
    }
    do {
        const char* name = found.cFileName;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        FolderEntry entry;
        entry.name = name;
        entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.push_back(std::move(entry));
    } while (FindNextFileA(find, &found));
    FindClose(find);
    SortFolderEntries(out);
    return true;
}

bool FolderIdentity(const char* path, uint64_t& device, uint64_t& inode) {
    if (!path) return false;
    // A folder opens only with backup semantics; nothing is read or written.
    HANDLE handle = CreateFileA(*path ? NativePath(path).c_str() : ".", 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!ok) return false;
    device = info.dwVolumeSerialNumber;
    inode = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

bool MatchesOneMask(const char* path, const std::string& mask) {
    // PathMatchSpecA itself would split at ";" and skip blanks; the common
    // part has done that already, so the two platforms agree on alternatives.
    return PathMatchSpecA(path, mask.c_str()) != FALSE;
}

bool FolderExists(const char* path) {
    if (!path) return false;
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void TryMakeFolder(const std::string& nativePath) { CreateDirectoryA(nativePath.c_str(), nullptr); }

bool ReplaceFile(const char* source, const char* target) {
    // rename() on Windows refuses an existing target; this replaces it.
    if (source && target &&
        MoveFileExA(NativePath(source).c_str(), NativePath(target).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    // The message of a failed save reads errno.
    SetErrnoFromWindows(GetLastError(), target);
    return false;
}

void SleepMilliseconds(unsigned ms) { Sleep(ms); }

bool IsDebuggerAttached() { return IsDebuggerPresent() != FALSE; }
