// libFuzzer target: the command language. The bytes hold a params file, a
// script file and command-line words, separated by the first two zero bytes
// (words one per line). They run through ProcessArgument in a private folder
// holding a small model, with CONVERT_IN and CONVERT_OUT pointing at it, so
// do=convert, scans and scripts reach the real convert path.
//
// Words that wait by design are kept out by filtering the input: `pause` and
// `debugger` sleep for as long as they are told, so an input able to spell
// either (its letters all present, in any case, since variables can join
// pieces) is refused. `wait` reads standard input, which is empty here.
//
// The run stays inside its private folder, in two layers, both here and none
// in the tool: inputs holding "/" or "\" are refused, and ".." and drive
// letters ("C:") are rewritten ("._", "C_") before they run. Variables can
// still join pieces into ".." or take a scan's full path, so the file calls
// the tool makes while an input runs are wrapped as well (the link option
// --wrap): a path that is absolute outside the folder or climbs with ".." is
// refused as if access were denied, before the system sees it.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "command/context.h"
#include "command/process_argument.h"
#include "core/output.h"
#include "model/write_model.h"

namespace {

constexpr size_t kMaxInput = 1 << 14;

std::vector<unsigned char>& ModelBytes() {
    static std::vector<unsigned char> bytes = [] {
        Model model;
        model.version = 512;
        auto joint = std::make_unique<Joint>();
        joint->name.Set("Root");
        model.joints.push_back(std::move(joint));
        auto marker = std::make_unique<Marker>();
        marker->name.Set("m");
        marker->parentName.Set("Root");
        model.markers.push_back(std::move(marker));
        return BuildZem(model);
    }();
    return bytes;
}

bool CanSpell(const std::string& lower, const char* word) {
    for (const char* c = word; *c; ++c)
        if (lower.find(*c) == std::string::npos) return false;
    return true;
}

bool Refused(const unsigned char* data, size_t size) {
    std::string lower(reinterpret_cast<const char*>(data), size);
    for (char& c : lower) {
        if (c == '/' || c == '\\') return true;
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return CanSpell(lower, "pause") || CanSpell(lower, "debugger");
}

// "..": the second dot becomes "_"; "C:": the colon does. What the tool then
// sees never climbs out of its folder or names a drive as written.
std::string Confined(const unsigned char* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == ':' || (text[i] == '.' && i > 0 && text[i - 1] == '.')) text[i] = '_';
    return text;
}

// The private folder (absolute, ending in "/") and the places libFuzzer
// writes a failing input to, which stay open while an input runs.
std::string folderPath;
std::vector<std::string> artifactPrefixes;
bool confining = false;

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// A path the running input may use: relative without a ".." part, or inside
// the folder.
bool Allowed(const char* path) {
    if (!confining || !path) return true;
    const std::string p = path;
    for (const std::string& prefix : artifactPrefixes)
        if (StartsWith(p, prefix)) return true;
    if (p.empty()) return true;
    if (p[0] == '/' && !StartsWith(p, folderPath)) return false;
    for (size_t start = 0; start <= p.size();) {
        size_t end = p.find('/', start);
        if (end == std::string::npos) end = p.size();
        if (p.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

// Marks the running input: only its file calls are confined.
struct Confinement {
    Confinement() { confining = true; }
    ~Confinement() { confining = false; }
};

void ResetFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(".", ec))
        std::filesystem::remove_all(entry.path(), ec);
    if (!SaveBytes("m.zem", ModelBytes())) {
        std::fprintf(stderr, "cannot write m.zem in the fuzz folder\n");
        std::abort();
    }
}

bool WriteText(const char* path, const unsigned char* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

// The file calls the tool makes, wrapped at link time.
extern "C" {
FILE* __real_fopen(const char* path, const char* mode);
DIR* __real_opendir(const char* path);
int __real_mkdir(const char* path, mode_t mode);
int __real_rename(const char* from, const char* to);
int __real_remove(const char* path);

FILE* __wrap_fopen(const char* path, const char* mode) {
    if (Allowed(path)) return __real_fopen(path, mode);
    errno = EACCES;
    return nullptr;
}
DIR* __wrap_opendir(const char* path) {
    if (Allowed(path)) return __real_opendir(path);
    errno = EACCES;
    return nullptr;
}
int __wrap_mkdir(const char* path, mode_t mode) {
    if (Allowed(path)) return __real_mkdir(path, mode);
    errno = EACCES;
    return -1;
}
int __wrap_rename(const char* from, const char* to) {
    if (Allowed(from) && Allowed(to)) return __real_rename(from, to);
    errno = EACCES;
    return -1;
}
int __wrap_remove(const char* path) {
    if (Allowed(path)) return __real_remove(path);
    errno = EACCES;
    return -1;
}
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i)
        for (const char* option : {"-artifact_prefix=", "-exact_artifact_path="})
            if (StartsWith((*argv)[i], option)) artifactPrefixes.push_back((*argv)[i] + std::strlen(option));
    static FILE* sink = std::fopen("/dev/null", "w");
    if (sink) SetOutputStream(sink);
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vorda_fuzz_command_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    folderPath = std::filesystem::current_path().string() + "/";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size > kMaxInput || Refused(data, size)) return 0;
    const std::string text = Confined(data, size);
    data = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = data + size;
    const unsigned char* firstZero = static_cast<const unsigned char*>(std::memchr(data, 0, size));
    const unsigned char* paramsEnd = firstZero ? firstZero : end;
    const unsigned char* scriptBegin = firstZero ? firstZero + 1 : end;
    const unsigned char* secondZero =
        static_cast<const unsigned char*>(std::memchr(scriptBegin, 0, size_t(end - scriptBegin)));
    const unsigned char* scriptEnd = secondZero ? secondZero : end;
    const unsigned char* wordsBegin = secondZero ? secondZero + 1 : end;

    ResetFolder();
    const Confinement confinement;
    if (!WriteText("p.txt", data, size_t(paramsEnd - data))) std::abort();
    if (!WriteText("s.csv", scriptBegin, size_t(scriptEnd - scriptBegin))) std::abort();

    CommandContext context;
    ProcessArgument(context, "$CONVERT_IN=m.zem");
    ProcessArgument(context, "$CONVERT_OUT=out.dae");
    std::string words(reinterpret_cast<const char*>(wordsBegin), size_t(end - wordsBegin));
    size_t pos = 0;
    bool going = true;
    while (going && pos <= words.size()) {
        size_t nl = words.find('\n', pos);
        if (nl == std::string::npos) nl = words.size();
        going = ProcessArgument(context, words.substr(pos, nl - pos).c_str());
        pos = nl + 1;
    }
    if (going) going = ProcessArgument(context, "params=p.txt");
    if (going) ProcessArgument(context, "script=s.csv");
    return 0;
}
