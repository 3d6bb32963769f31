#include "core/platform.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/str.h"

bool ReadFileBytes(const char* path, std::vector<unsigned char>& out) {
    out.clear();
    if (!path) return false;
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        errno = EISDIR;
        return false;
    }
    // Read in blocks rather than trusting a size from seek: pipes and special
    // files have none.
    unsigned char buffer[65536];
    bool ok = true;
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, f);
        out.insert(out.end(), buffer, buffer + n);
        if (n < sizeof buffer) {
            ok = !std::ferror(f);
            break;
        }
    }
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
    return path && *path && stat(path, &st) == 0;
}

bool ListFolder(const char* path, std::vector<FolderEntry>& out) {
    out.clear();
    if (!path) return false;
    DIR* dir = opendir(*path ? path : ".");
    if (!dir) return false;
    std::string base = *path ? path : ".";
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
    std::sort(out.begin(), out.end(), [](const FolderEntry& a, const FolderEntry& b) {
        int c = CompareNoCase(a.name.c_str(), b.name.c_str());
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return true;
}

bool FolderIdentity(const char* path, uint64_t& device, uint64_t& inode) {
    struct stat st;
    if (!path || stat(*path ? path : ".", &st) != 0) return false;
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

bool MatchesMask(const char* path, const char* mask) {
    if (!path || !mask) return false;
    size_t tlen = std::strlen(path);
    const char* start = mask;
    for (;;) {
        const char* end = std::strchr(start, ';');
        size_t mlen = end ? size_t(end - start) : std::strlen(start);
        // Blanks around alternatives are not part of them.
        const char* s = start;
        while (mlen && (*s == ' ')) { ++s; --mlen; }
        while (mlen && s[mlen - 1] == ' ') --mlen;
        if (mlen && MatchOne(path, tlen, s, mlen)) return true;
        if (!end) return false;
        start = end + 1;
    }
}

bool FolderExists(const char* path) {
    struct stat st;
    return path && stat(*path ? path : ".", &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolderTree(const std::string& folder) {
    if (folder.empty()) return true;
    std::string path = folder;
    std::replace(path.begin(), path.end(), '\\', '/');
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (FolderExists(path.c_str())) return true;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return FolderExists(path.c_str());
}

bool ReplaceFile(const char* source, const char* target) {
    return source && target && std::rename(source, target) == 0;
}

bool SaveFileReplacing(const std::string& target, const std::function<bool(FILE*)>& write) {
    const std::string temp = target + ".saving";
    errno = 0;
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) return false;
    bool ok = write(file);
    ok = std::ferror(file) == 0 && ok;
    int error = errno;
    // fclose flushes the last buffered bytes; its failure is a failed write.
    const bool closed = std::fclose(file) == 0;
    if (ok && !closed) error = errno;
    ok = closed && ok;
    if (ok) {
        ok = ReplaceFile(temp.c_str(), target.c_str());
        if (!ok) error = errno;
    }
    if (!ok) {
        std::remove(temp.c_str());
        // The reason of the first failure, not of the clean-up.
        errno = error;
    }
    return ok;
}

void SleepMilliseconds(unsigned ms) {
    while (ms > 0) {
        unsigned chunk = ms > 1000 ? 1000 : ms;
        usleep(chunk * 1000u);
        ms -= chunk;
    }
}

void WaitForEnter() {
    std::fputs("Press Enter to continue . . . ", stdout);
    std::fflush(stdout);
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
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
