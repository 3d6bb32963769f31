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
// Paths are kept inside the private folder by refusing "/" and "\".
#include <unistd.h>

#include <cctype>
#include <cstdio>
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

void ResetFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(".", ec))
        std::filesystem::remove_all(entry.path(), ec);
    SaveBytes("m.zem", ModelBytes());
}

bool WriteText(const char* path, const unsigned char* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static FILE* sink = std::fopen("/dev/null", "w");
    if (sink) SetOutputStream(sink);
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vorda_fuzz_command_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size > kMaxInput || Refused(data, size)) return 0;
    const unsigned char* end = data + size;
    const unsigned char* firstZero = static_cast<const unsigned char*>(std::memchr(data, 0, size));
    const unsigned char* paramsEnd = firstZero ? firstZero : end;
    const unsigned char* scriptBegin = firstZero ? firstZero + 1 : end;
    const unsigned char* secondZero =
        static_cast<const unsigned char*>(std::memchr(scriptBegin, 0, size_t(end - scriptBegin)));
    const unsigned char* scriptEnd = secondZero ? secondZero : end;
    const unsigned char* wordsBegin = secondZero ? secondZero + 1 : end;

    ResetFolder();
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
