// The parts every platform shares, then the POSIX side. The Windows side of
// the OS calls is core/platform_win.cpp.
#include "core/platform.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform_os.h"
#include "core/str.h"

#ifndef _WIN32
#include <dirent.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

std::string NativePath(const char* path) {
    std::string native = path ? path : "";
    std::replace(native.begin(), native.end(), kForeignSeparator, kNativeSeparator);
    return native;
}

#ifndef _WIN32
FILE* OpenFile(const char* path, const char* mode) { return std::fopen(NativePath(path).c_str(), mode); }
#endif

namespace {

bool SeekTo(FILE* file, uint64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, int64_t(offset), whence) == 0;
#else
    return fseeko(file, off_t(offset), whence) == 0;
#endif
}

}  // namespace

bool FileLength(FILE* file, uint64_t& length) {
    if (!file || !SeekTo(file, 0, SEEK_END)) return false;
#ifdef _WIN32
    const int64_t at = _ftelli64(file);
#else
    const int64_t at = int64_t(ftello(file));
#endif
    if (at < 0) return false;
    length = uint64_t(at);
    return true;
}

bool ReadFileAt(FILE* file, uint64_t offset, size_t length, unsigned char* out) {
    if (!file || offset > uint64_t(INT64_MAX) || !SeekTo(file, offset, SEEK_SET)) return false;
    return length == 0 || std::fread(out, 1, length, file) == length;
}

bool ReadFileBytes(const char* path, std::vector<unsigned char>& out) {
    out.clear();
    if (!path) return false;
    FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    struct stat st;
    const bool stated = fstat(fileno(f), &st) == 0;
    if (stated && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return false;
    }
    // Read to the end rather than trusting the size: pipes and special files
    // have none, and a file may change. A regular file's size only sizes the
    // buffer, so a large model is read straight into it in one piece.
    size_t filled = 0;
    const size_t size = stated && S_ISREG(st.st_mode) && st.st_size > 0 ? size_t(st.st_size) + 1 : 65536;
#ifdef MADV_HUGEPAGE
    // A large model's buffer in huge pages where the system grants them:
    // one page fault per 2 MB instead of one per 4 KB.
    const size_t kHuge = size_t(2) << 20;
    if (size >= 4 * kHuge) {
        out.reserve(size);
        const uintptr_t at = (reinterpret_cast<uintptr_t>(out.data()) + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(out.data()) + size) & ~(kHuge - 1);
        if (end > at) madvise(reinterpret_cast<void*>(at), end - at, MADV_HUGEPAGE);
    }
#endif
    out.resize(size);
    bool ok = true;
    for (;;) {
        if (filled == out.size()) out.resize(out.size() * 2);
        const size_t wanted = out.size() - filled;
        const size_t n = std::fread(out.data() + filled, 1, wanted, f);
        filled += n;
        if (n < wanted) {
            ok = !std::ferror(f);
            break;
        }
    }
    out.resize(filled);
    const int error = errno;
    std::fclose(f);
    errno = error;
    return ok;
}

std::string LastErrorText() {
    // A failure that set no code (a short write the C library did not
    // explain) still gets words.
    return errno ? std::strerror(errno) : "Input/output error";
}

bool PathExists(const char* path) {
    struct stat st;
    return path && *path && stat(NativePath(path).c_str(), &st) == 0;
}

void SortFolderEntries(std::vector<FolderEntry>& entries) {
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        int c = CompareNoCase(a.name.c_str(), b.name.c_str());
        return c != 0 ? c < 0 : a.name < b.name;
    });
}

#ifndef _WIN32
bool ListFolder(const char* path, std::vector<FolderEntry>& out) {
    out.clear();
    if (!path) return false;
    std::string base = *path ? NativePath(path) : ".";
    DIR* dir = opendir(base.c_str());
    if (!dir) return false;
    while (struct dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        FolderEntry entry;
        entry.name = e->d_name;
        struct stat st;
        std::string full = base + "/" + entry.name;
        entry.isFolder = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        out.push_back(std::move(entry));
    }
    closedir(dir);
    SortFolderEntries(out);
    return true;
}

bool FolderIdentity(const char* path, uint64_t& device, uint64_t& inode) {
    struct stat st;
    if (!path || stat(*path ? NativePath(path).c_str() : ".", &st) != 0) return false;
    device = static_cast<uint64_t>(st.st_dev);
    inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

namespace {

inline unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// Iterative wildcard match with single-star backtracking: linear in practice
// and never recursive, whatever the mask holds.
bool MatchOne(const char* text, size_t tlen, const char* mask, size_t mlen) {
    size_t t = 0, m = 0, starM = std::string::npos, starT = 0;
    while (t < tlen) {
        if (m < mlen && mask[m] == '*') {
            starM = m++;
            starT = t;
        } else if (m < mlen && (mask[m] == '?' || Fold(mask[m]) == Fold(text[t]))) {
            ++m;
            ++t;
        } else if (starM != std::string::npos) {
            m = starM + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (m < mlen && mask[m] == '*') ++m;
    return m == mlen;
}

}  // namespace

bool MatchesOneMask(const char* path, const std::string& mask) {
    return MatchOne(path, std::strlen(path), mask.data(), mask.size());
}
#endif  // !_WIN32

bool MatchesMask(const char* path, const char* mask) {
    if (!path || !mask) return false;
    const char* start = mask;
    for (;;) {
        const char* end = std::strchr(start, ';');
        size_t mlen = end ? size_t(end - start) : std::strlen(start);
        // Blanks around alternatives are not part of them.
        const char* s = start;
        while (mlen && (*s == ' ')) { ++s; --mlen; }
        while (mlen && s[mlen - 1] == ' ') --mlen;
        if (mlen && MatchesOneMask(path, std::string(s, mlen))) return true;
        if (!end) return false;
        start = end + 1;
    }
}

#ifndef _WIN32
bool FolderExists(const char* path) {
    struct stat st;
    return path && stat(*path ? NativePath(path).c_str() : ".", &st) == 0 && S_ISDIR(st.st_mode);
}

void TryMakeFolder(const std::string& nativePath) { mkdir(nativePath.c_str(), 0777); }

bool ReplaceFile(const char* source, const char* target) {
    return source && target && std::rename(NativePath(source).c_str(), NativePath(target).c_str()) == 0;
}
#endif  // !_WIN32

bool MakeFolderTree(const std::string& folder) {
    if (folder.empty()) return true;
    std::string path = NativePath(folder.c_str());
    while (path.size() > 1 && path.back() == kNativeSeparator) path.pop_back();
    if (FolderExists(path.c_str())) return true;
    // A level that cannot be made may be there all the same (a drive "C:", a
    // network share "\\server\share"): the check of the whole path decides.
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != kNativeSeparator) continue;
        TryMakeFolder(path.substr(0, i));
    }
    return FolderExists(path.c_str());
}

namespace {

// Writes one temporary file; on failure it is removed and errno holds the
// reason of the failure, not of the clean-up.
bool WriteTemporary(const std::string& temp, const std::function<bool(FILE*)>& write) {
    errno = 0;
    FILE* file = OpenFile(temp.c_str(), "wb");
    if (!file) return false;
    bool ok = write(file);
    ok = std::ferror(file) == 0 && ok;
    int error = errno;
    // fclose flushes the last buffered bytes; its failure is a failed write.
    const bool closed = std::fclose(file) == 0;
    if (ok && !closed) error = errno;
    ok = closed && ok;
    if (!ok) {
        std::remove(NativePath(temp.c_str()).c_str());
        errno = error;
    }
    return ok;
}

void RemoveFile(const std::string& path) { std::remove(NativePath(path.c_str()).c_str()); }

}  // namespace

bool SaveFilesReplacing(const std::vector<FileToSave>& files, std::string* failed) {
    const size_t count = files.size();
    size_t at = 0;
    for (; at < count; ++at)
        if (!WriteTemporary(files[at].target + ".saving", files[at].write)) break;
    int error = errno;
    if (at == count) {
        // Every old file but the last target's goes aside before its new one
        // takes its place: a later failure can put it back.
        std::vector<uint8_t> aside(count, 0);
        for (at = 0; at < count; ++at) {
            const std::string& target = files[at].target;
            if (at + 1 < count && PathExists(target.c_str()) && !FolderExists(target.c_str())) {
                if (!ReplaceFile(target.c_str(), (target + ".replaced").c_str())) break;
                aside[at] = 1;
            }
            if (!ReplaceFile((target + ".saving").c_str(), target.c_str())) break;
        }
        if (at == count) {
            for (size_t i = 0; i < count; ++i)
                if (aside[i]) RemoveFile(files[i].target + ".replaced");
            return true;
        }
        error = errno;
        for (size_t i = 0; i <= at; ++i) {
            const std::string& target = files[i].target;
            if (aside[i]) (void)ReplaceFile((target + ".replaced").c_str(), target.c_str());
            else if (i < at) RemoveFile(target);
        }
        for (size_t i = at; i < count; ++i) RemoveFile(files[i].target + ".saving");
    } else {
        for (size_t i = 0; i < at; ++i) RemoveFile(files[i].target + ".saving");
    }
    if (failed) *failed = files[at].target;
    // The reason of the first failure, not of the clean-up.
    errno = error;
    return false;
}

bool SaveFileReplacing(const std::string& target, const std::function<bool(FILE*)>& write) {
    return SaveFilesReplacing({{target, write}}, nullptr);
}

#ifndef _WIN32
void SleepMilliseconds(unsigned ms) {
    while (ms > 0) {
        unsigned chunk = ms > 1000 ? 1000 : ms;
        usleep(chunk * 1000u);
        ms -= chunk;
    }
}

bool IsDebuggerAttached() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return false;
    char line[256];
    bool attached = false;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            attached = std::atoi(line + 10) != 0;
            break;
        }
    }
    std::fclose(f);
    return attached;
}
#endif  // !_WIN32

void WaitForEnter() {
    std::fputs("Press Enter to continue . . . ", stdout);
    std::fflush(stdout);
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
}
