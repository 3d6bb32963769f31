// The state every command word works on: action, levels, the variable table
// and the file masks. One context lives for the whole run; script rows with a
// word-list column work on private deep copies of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/str.h"
#include "texture/tga_writer.h"

struct Variable {
    Core_QStr name;
    Core_Str value;  // never empty while the variable exists
};

// How deep params files, scripts and word lists are nested right now. Shared
// (not copied) by a context and its private copies, so a chain that runs
// itself through a script row is still counted as one chain.
struct NestingState {
    int depth = 0;
    bool unwinding = false;  // the limit was hit: every nested run stops at once
};

// What the conversions of one run came to, for the closing line, and the
// texture files they wrote. Shared (not copied) by a context and its private
// copies, like the nesting state.
struct RunRecord {
    int conversions = 0;
    int converted = 0;  // written, nothing reported
    int damaged = 0;    // written as far as the input could be read
    int failed = 0;     // not written, or a file of it could not be written
    WrittenTextures textures;
};

struct CommandContext {
    int32_t action = 0;  // 0 = none, 1 = convert (checked after each script row)
    int32_t logLevel = -1;
    int32_t dumpLevel = -1;
    OwnedList<Variable> variables;  // slots may be null after a removal
    OwnedList<std::string> masks;
    std::shared_ptr<NestingState> nesting = std::make_shared<NestingState>();
    std::shared_ptr<RunRecord> run = std::make_shared<RunRecord>();
};

// Makes target a deep copy of source: fields, every variable (null slots stay
// null at the same index) and every mask. The nesting state and the run
// record are shared.
void CopyContext(CommandContext& target, const CommandContext& source);

// Deepest nesting of params files, scripts and word lists. A chain that runs
// itself would otherwise recurse until the stack overflows.
constexpr int kMaxNesting = 64;

// Enters one nesting level for the run named by `what`. Entered() is false
// when the limit is reached (one "Error - " line is printed) or when the chain
// is already unwinding after such an error; the caller then runs nothing.
class NestingGuard {
public:
    NestingGuard(CommandContext& context, const char* what);
    ~NestingGuard();
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    bool Entered() const { return entered_; }

private:
    std::shared_ptr<NestingState> state_;
    bool entered_ = false;
};

// True while a nesting error unwinds the chain: loops over lines, rows and
// words stop early.
bool IsUnwinding(const CommandContext& context);
