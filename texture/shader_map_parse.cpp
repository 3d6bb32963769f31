// The parser of the shader map language.
//
// Lines end at CR or LF; white space before a line is skipped; "#" starts a
// comment. A line beginning "^" ends the text, "+" starts an entry (a comma
// list of shader names, "*" or nothing for a wildcard), "!" sets the entry's
// flags, "$" starts a source map, anything else is an output line of the
// current source map. Source and output lines are "key = v v v v".
#include <cstdio>
#include <cstring>

#include "texture/shader_map.h"

namespace {

enum : size_t { kMaxLine = 1020, kMaxValue = 62 };

// The entry being built: its name list, flag text and source maps.
struct PendingEntry {
    bool started = false;
    std::string names;
    std::string flags;
    uint8_t normalFlag = 0;
    std::vector<SourceMap> maps;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The first word after the line's first character (ends at a blank).
std::string FirstWord(const std::string& line) {
    size_t i = 1;
    while (i < line.size() && IsBlank(line[i])) ++i;
    size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    return line.substr(i, end - i);
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

// "$glow.G*" -> source "$glow", code 2 | 0x40000. The last "." splits the
// source name from the channel letters; the first letter picks the channel,
// later ones add flags.
ChannelSpec ParseValue(const char* value) {
    ChannelSpec spec;
    const char* letters = value;
    if (const char* dot = std::strrchr(value, '.')) {
        spec.sourceName.assign(value, size_t(dot - value));
        letters = dot + 1;
    }
    uint32_t code = 0;
    switch (letters[0]) {
        case '5': code = 0x8000; break;
        case '1': case 'z': code = 0xFF00; break;
        case 'R': code = 1; break;
        case 'G': code = 2; break;
        case 'B': code = 3; break;
        case 'A': code = 4; break;
        case 'r': code = 0x11; break;
        case 'g': code = 0x12; break;
        case 'b': code = 0x13; break;
        case 'a': code = 0x14; break;
        default: code = 0; break;  // "0", "Z" and anything unknown: constant 0
    }
    if (letters[0] != '\0') {
        for (const char* c = letters + 1; *c; ++c) {
            if (*c == '*') code += 0x40000;
            else if (*c == 'S') code += 0x20000;
            else if (*c == 'T') code += 0x10000;
        }
    }
    spec.code = code;
    return spec;
}

// "key = v0 v1 v2 v3": false when the line does not hold a key, "=" and four
// values. Each value is at most 62 characters; a longer run of characters
// is read as two values, as the scanner always has.
bool ParseKeyValues(const std::string& line, std::string& key, ChannelSpec values[4]) {
    char k[kMaxValue + 1] = {}, v[4][kMaxValue + 1] = {};
    if (std::sscanf(line.c_str(), " %62[^ \t=] = %62s %62s %62s %62s", k, v[0], v[1], v[2], v[3]) != 5) return false;
    key = k;
    for (int i = 0; i < 4; ++i) values[i] = ParseValue(v[i]);
    return true;
}

// Splits "NAME[inside]" into the name and the text after "[" (without "]").
void SplitKey(const std::string& key, std::string& name, std::string& inside) {
    const size_t open = key.find('[');
    if (open == std::string::npos) {
        name = key;
        inside.clear();
        return;
    }
    name = key.substr(0, open);
    inside = key.substr(open + 1);
    const size_t close = inside.find(']');
    if (close != std::string::npos) inside.resize(close);
}

int32_t ResolveSource(const std::vector<SourceMap>& maps, const std::string& sourceName, int32_t own) {
    if (sourceName.empty()) return own;
    const Core_QStr wanted(sourceName.c_str());
    for (size_t j = 0; j < maps.size(); ++j)
        if (NameMatch(maps[j].name, wanted)) return int32_t(j);
    return own;
}

void ResolveSources(std::vector<SourceMap>& maps) {
    for (size_t i = 0; i < maps.size(); ++i) {
        for (int k = 0; k < 4; ++k)
            maps[i].defaultSources[k] = ResolveSource(maps, maps[i].defaults[k].sourceName, int32_t(i));
        for (OutputMap& line : maps[i].lines)
            for (int k = 0; k < 4; ++k) line.sources[k] = ResolveSource(maps, line.channels[k].sourceName, int32_t(i));
    }
}

void CompleteEntry(PendingEntry& pending, ShaderMapSet& set) {
    if (!pending.started) return;
    if (!pending.maps.empty() && pending.maps.back().lines.empty()) pending.maps.pop_back();
    ResolveSources(pending.maps);

    uint8_t scars = 1;
    for (const std::string& word : SplitCommas(pending.flags)) {
        if (IsPrefixNoCase(word, "NoScars")) scars = 0;
        else if (IsPrefixNoCase(word, "DoScars")) scars = 1;
    }

    // "*" or nothing: one wildcard entry. Otherwise one entry per name, last first.
    std::vector<std::string> names;
    if (pending.names.empty() || pending.names[0] == '*') names.push_back("");
    else names = SplitCommas(pending.names);
    for (size_t i = names.size(); i-- > 0;) {
        auto entry = std::make_unique<ShaderMap>();
        entry->name.Set(names[i].c_str());
        entry->normalFlag = pending.normalFlag;
        entry->scars = scars;
        entry->maps = pending.maps;
        set.entries.push_back(std::move(entry));
    }
    pending = PendingEntry();
}

void AddSourceMap(PendingEntry& pending, const std::string& key, const ChannelSpec values[4]) {
    std::string name, inside;
    SplitKey(key, name, inside);
    // A map that got no output line before the next "$" line gives way to it.
    if (pending.maps.empty() || !pending.maps.back().lines.empty()) pending.maps.emplace_back();
    SourceMap& map = pending.maps.back();
    map = SourceMap();
    map.name.Set(name.c_str());
    map.format = inside.substr(0, 4);
    for (int k = 0; k < 4; ++k) map.defaults[k] = values[k];
}

void AddOutputLine(PendingEntry& pending, const std::string& key, const ChannelSpec values[4]) {
    if (pending.maps.empty()) return;  // before the entry's first "$" line
    SourceMap& map = pending.maps.back();
    if (map.lines.size() >= size_t(kMaxOutputLines)) return;
    std::string name, inside;
    SplitKey(key, name, inside);
    OutputMap line;
    line.name.Set(name.c_str());
    if (inside.find('B') != std::string::npos) pending.normalFlag = 1;
    for (int k = 0; k < 4; ++k) line.channels[k] = values[k];
    map.lines.push_back(std::move(line));
}

}  // namespace

std::unique_ptr<ShaderMapSet> ParseShaderMapText(const char* text) {
    auto set = std::make_unique<ShaderMapSet>();
    PendingEntry pending;
    const char* p = text ? text : "";
    for (;;) {
        while (*p && IsBlank(*p)) ++p;
        if (!*p) break;
        size_t n = 0;
        while (p[n] && p[n] != '\r' && p[n] != '\n' && n < kMaxLine) ++n;
        std::string line(p, n);  // a longer line goes on as the next one
        p += n;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        if (line.empty()) continue;

        const char first = line[0];
        if (first == '^') break;
        if (first == '+') {
            CompleteEntry(pending, *set);
            pending.started = true;
            pending.names = FirstWord(line);
            continue;
        }
        if (!pending.started) continue;  // text before the first "+" belongs to no entry
        if (first == '!') {
            pending.flags = FirstWord(line);
            continue;
        }
        std::string key;
        ChannelSpec values[4];
        if (!ParseKeyValues(line, key, values)) continue;
        const bool full = pending.maps.size() >= size_t(kMaxSourceMaps);
        if (first == '$' && !full) AddSourceMap(pending, key, values);
        else AddOutputLine(pending, key, values);
    }
    CompleteEntry(pending, *set);
    if (set->entries.empty()) return nullptr;
    return set;
}

std::unique_ptr<ShaderMapSet> ParseShaderMaps() { return ParseShaderMapText(kDefaultShaderMapText); }
