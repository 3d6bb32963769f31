// Every call to the operating system goes through here; nothing else includes
// OS headers. Files themselves are read and written with the C library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

// Every path below may separate folders with "/" or "\" on every platform;
// the platform module turns them into the native form before the OS sees them.

// Opens a file like fopen.
FILE* OpenFile(const char* path, const char* mode);

// Reads a whole file into memory. False when it cannot be opened or read (a
// folder cannot be read: LastErrorText then says so).
bool ReadFileBytes(const char* path, std::vector<unsigned char>& out);

// The length of an open file, and `length` bytes of it from `offset` into
// out (offsets past 2 GB too). False when the length cannot be told or the
// file gives fewer bytes.
bool FileLength(FILE* file, uint64_t& length);
bool ReadFileAt(FILE* file, uint64_t offset, size_t length, unsigned char* out);

// The operating system's words for why the last failed call of this module
// failed ("No such file or directory", "Is a directory", "Permission
// denied", "No space left on device", ...). Read it right after the failure.
std::string LastErrorText();

// True when a file, folder or anything else exists at path.
bool PathExists(const char* path);

// Lists the entries of one folder ("." and ".." left out), sorted by name with
// an ASCII case-insensitive compare (ties by raw bytes) so runs are
// reproducible. False when the folder cannot be opened.
bool ListFolder(const char* path, std::vector<FolderEntry>& out);

// A stable identity for a folder (device and inode), so a walk can refuse to
// enter the same folder twice through links. False when it cannot be found.
bool FolderIdentity(const char* path, uint64_t& device, uint64_t& inode);

// Wildcard match of a whole path against a mask text: "*" any run of
// characters (separators included), "?" exactly one character, letters
// compared without regard to ASCII case, ";" separates alternative masks.
bool MatchesMask(const char* path, const char* mask);

// Creates a folder and every missing folder above it; an existing folder is
// not an error. "/" and "\" both separate. An empty path is the current
// folder and succeeds. Prints nothing.
bool MakeFolderTree(const std::string& folder);

// True when a directory exists at path.
bool FolderExists(const char* path);

// Replaces target with source in one step (rename). False on failure.
[[nodiscard]] bool ReplaceFile(const char* source, const char* target);

// Writes a file through "<target>.saving": write() fills the open file, and
// only when it returns true, no stream error occurred and the close succeeded
// is the temporary file renamed over target. On any failure the temporary file
// is removed and an existing target stays as it was.
[[nodiscard]] bool SaveFileReplacing(const std::string& target, const std::function<bool(FILE*)>& write);

// Several files saved as one (a model and the animation file beside it):
// each is written through "<target>.saving" as above, and only when every one
// is written are the targets replaced, in order, the old file of each but
// the last kept as "<target>.replaced" until the last is in place. On any
// failure every target is as it was (an old file back, a new one removed),
// no temporary is left, *failed names the target that failed and
// LastErrorText gives the reason.
struct FileToSave {
    std::string target;
    std::function<bool(FILE*)> write;
};
[[nodiscard]] bool SaveFilesReplacing(const std::vector<FileToSave>& files, std::string* failed);

void SleepMilliseconds(unsigned ms);

// Prints a press-Enter prompt and waits for one line on standard input; end of
// input returns at once. Line ends may be "\n" or "\r\n".
void WaitForEnter();

// True when a tracer (debugger) is attached to this process.
bool IsDebuggerAttached();
