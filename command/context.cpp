#include "command/context.h"

#include "core/output.h"

void CopyContext(CommandContext& target, const CommandContext& source) {
    target.action = source.action;
    target.logLevel = source.logLevel;
    target.dumpLevel = source.dumpLevel;
    target.variables.clear();
    target.variables.reserve(source.variables.size());
    for (const auto& v : source.variables) {
        if (!v) {
            target.variables.emplace_back();
            continue;
        }
        auto copy = std::make_unique<Variable>();
        copy->name.Set(v->name.CStr());
        copy->value.Set(v->value.CStr());
        target.variables.push_back(std::move(copy));
    }
    target.masks.clear();
    target.masks.reserve(source.masks.size());
    for (const auto& m : source.masks)
        if (m) target.masks.push_back(std::make_unique<std::string>(*m));
    target.nesting = source.nesting;
    target.run = source.run;
}

NestingGuard::NestingGuard(CommandContext& context, const char* what) : state_(context.nesting) {
    if (state_->unwinding) return;
    if (state_->depth >= kMaxNesting) {
        OutProblem(Problem::kFailure, "Error - Nesting deeper than %d levels, not run - %.200s\n", kMaxNesting,
                   what ? what : "");
        state_->unwinding = true;
        return;
    }
    ++state_->depth;
    entered_ = true;
}

NestingGuard::~NestingGuard() {
    if (entered_) --state_->depth;
    // Back at the outermost level the next word starts a fresh chain.
    if (state_->depth == 0) state_->unwinding = false;
}

bool IsUnwinding(const CommandContext& context) { return context.nesting->unwinding; }
