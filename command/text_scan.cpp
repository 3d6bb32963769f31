#include "command/text_scan.h"

#include <cstring>

namespace {
// White space as the C library's formatted reader skips it ("C" locale).
inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

bool NextLine(const char*& pos, const char* end, std::string& line, size_t maxChars) {
    while (pos < end && IsSpace(*pos)) ++pos;
    if (pos >= end) return false;
    const char* stop = static_cast<const char*>(std::memchr(pos, '\n', size_t(end - pos)));
    if (!stop) stop = end;
    bool cut = maxChars && size_t(stop - pos) > maxChars;
    if (cut) stop = pos + maxChars;
    line.assign(pos, stop);
    pos = stop;
    if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
    size_t zero = line.find('\0');
    if (zero != std::string::npos) line.resize(zero);
    return true;
}

bool NextItem(const char*& pos, std::string& item) {
    while (*pos && IsSpace(*pos)) ++pos;
    const char* start = pos;
    while (*pos && *pos != ',') ++pos;
    if (pos == start) return false;
    item.assign(start, pos);
    if (*pos == ',') ++pos;
    return true;
}
