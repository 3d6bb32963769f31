#include "core/output.h"

#include <cstdarg>
#include <cstring>

#include "core/platform.h"

namespace {
FILE* g_stream = nullptr;
ProblemCounts g_problems;
ProblemTally* g_tally = nullptr;  // the innermost live tally
inline FILE* Stream() { return g_stream ? g_stream : stdout; }
}  // namespace

void Out(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(Stream(), format, args);
    va_end(args);
}

void OutProblem(Problem kind, const char* format, ...) {
    if (kind == Problem::kDamage) ++g_problems.damages;
    else ++g_problems.failures;
    if (g_tally) g_tally->Count(kind);
    va_list args;
    va_start(args, format);
    std::vfprintf(Stream(), format, args);
    va_end(args);
}

ProblemCounts ProblemsSoFar() { return g_problems; }

ProblemTally::ProblemTally() : outer_(g_tally) { g_tally = this; }

ProblemTally::~ProblemTally() { g_tally = outer_; }

void ProblemTally::Count(Problem kind) {
    if (kind == Problem::kDamage) ++counts_.damages;
    else ++counts_.failures;
    if (outer_) outer_->Count(kind);
}

void OutText(const char* text) { std::fputs(text ? text : "", Stream()); }

void OutFlush() { std::fflush(Stream()); }

FILE* SetOutputStream(FILE* stream) {
    FILE* previous = g_stream;
    g_stream = stream;
    return previous;
}

CapturedOutput::CapturedOutput() {
    file_ = std::tmpfile();
    previous_ = SetOutputStream(file_);
}

CapturedOutput::~CapturedOutput() {
    SetOutputStream(previous_);
    if (file_) std::fclose(file_);
}

std::string CapturedOutput::Text() {
    std::string text;
    if (!file_) return text;
    std::fflush(file_);
    long end = std::ftell(file_);
    std::rewind(file_);
    text.resize(size_t(end > 0 ? end : 0));
    if (!text.empty()) text.resize(std::fread(&text[0], 1, text.size(), file_));
    std::fseek(file_, 0, SEEK_END);
    return text;
}

void ReportFailedWrite(const char* kind, const std::string& path) {
    const std::string reason = LastErrorText();
    if (std::strcmp(kind, "texture") == 0)
        OutProblem(Problem::kFailure, "ALERT: Unable to write texture file [%s]\n", path.c_str());
    else
        OutProblem(Problem::kFailure, "Error - Cannot write %s\n", path.c_str());
    Out("Error - Cannot write %s file %s - %s\n", kind, path.c_str(), reason.c_str());
}

void ProblemList::Add(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    problems.push_back(text);
}
