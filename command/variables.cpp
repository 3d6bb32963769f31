#include "command/variables.h"

#include <cstring>

#include "core/output.h"
#include "core/paths.h"

const char* GetVariable(const CommandContext& context, const char* name) {
    Core_QStr key(name ? name : "");
    if (const Variable* v = FindByName(context.variables, key)) return v->value.CStr();
    if (EqualNoCase(key.CStr(), "CR")) return "\n";
    return nullptr;
}

void SetVariable(CommandContext& context, const char* name, const char* value, bool expandFirst) {
    std::string expanded;
    if (expandFirst) {
        expanded = Expand(context, value);
        value = expanded.c_str();
    }
    if (!value) value = "";
    Core_QStr key(name ? name : "");
    auto& slots = context.variables;
    size_t freeSlot = slots.size();
    for (size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i]) {
            freeSlot = i;
            continue;
        }
        if (!NameMatch(slots[i]->name, key)) continue;
        if (*value)
            slots[i]->value.Set(value);
        else
            slots[i].reset();
        return;
    }
    if (!*value) return;
    auto v = std::make_unique<Variable>();
    v->name.Set(key.CStr());
    v->value.Set(value);
    if (freeSlot < slots.size())
        slots[freeSlot] = std::move(v);
    else
        slots.push_back(std::move(v));
}

std::string Expand(const CommandContext& context, const char* source) {
    std::string text = source ? source : "";
    int substitutions = 0;
    size_t work = 0;
    for (;;) {
        size_t start = text.find("$[");
        if (start == std::string::npos) return text;
        work += text.size();
        if (++substitutions > kMaxSubstitutions || text.size() > kMaxExpandedSize || work > kMaxExpansionWork) {
            OutProblem(Problem::kFailure, "Error - Variable expansion does not end, text dropped - %.200s\n",
                       source ? source : "");
            return std::string();
        }
        // Walk from the "[" counting brackets; the "]" that brings the depth
        // to zero closes the reference.
        size_t pos = start + 1;
        int depth = 0;
        size_t close = std::string::npos;
        for (; pos < text.size(); ++pos) {
            if (text[pos] == '[') ++depth;
            else if (text[pos] == ']' && --depth <= 0) {
                close = pos;
                break;
            }
        }
        size_t nameEnd = close == std::string::npos ? text.size() : close;
        std::string name = text.substr(start + 2, nameEnd - (start + 2));
        const char* value = GetVariable(context, name.c_str());
        std::string next;
        size_t valueLen = value ? std::strlen(value) : 0;
        size_t tail = close == std::string::npos ? text.size() : close + 1;
        next.reserve(start + valueLen + (text.size() - tail));
        next.append(text, 0, start);
        if (value) next.append(value, valueLen);
        next.append(text, tail, std::string::npos);
        text.swap(next);
    }
}

void SetThisPath(CommandContext& context, const char* path, std::string* saveTo) {
    if (saveTo) {
        const char* old = GetVariable(context, "THIS_PATH");
        // The built-in CR is the only fallback, so a null here means none.
        saveTo->assign(old ? old : "");
    }
    std::string p = path ? path : "";
    size_t cut = LastSeparator(p);
    if (cut == std::string::npos) cut = p.find_last_of(':');
    std::string folder = cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
    SetVariable(context, "THIS_PATH", folder.c_str(), false);
}
