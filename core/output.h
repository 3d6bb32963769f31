// Every line the tool prints goes through here, so tests can capture exactly
// what a word or a conversion printed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#if defined(__GNUC__)
#ifdef __MINGW32__
// The Windows build prints through MinGW's C99 printf, not msvcrt's.
#define VORDA_PRINTF(a, b) __attribute__((format(gnu_printf, a, b)))
#else
#define VORDA_PRINTF(a, b) __attribute__((format(printf, a, b)))
#endif
#else
#define VORDA_PRINTF(a, b)
#endif

// printf-style output to the current stream (standard output by default).
void Out(const char* format, ...) VORDA_PRINTF(1, 2);
// A line that reports a problem: printed as Out prints it, and counted, so
// the run can end with a closing line and an exit status that tell the truth.
// A failure is something not done (a file not read or not written, a word
// not understood); damage is input converted only as far as it could be read.
enum class Problem { kFailure, kDamage };
void OutProblem(Problem kind, const char* format, ...) VORDA_PRINTF(2, 3);

// A save of path that failed, as a failure: the tool's own line for its kind
// ("ALERT: Unable to write texture file [...]" for a "texture", "Error -
// Cannot write ..." for anything else), then "Error - Cannot write <kind>
// file <path> - <the system's reason>". Call it right after the failure.
void ReportFailedWrite(const char* kind, const std::string& path);

// How many problems of each kind were printed so far in this process.
struct ProblemCounts {
    long failures = 0;
    long damages = 0;
};
ProblemCounts ProblemsSoFar();

// Counts the problems printed while it lives, so a step can say what it came
// to (tallies nest: every live one counts each problem).
class ProblemTally {
public:
    ProblemTally();
    ~ProblemTally();
    ProblemTally(const ProblemTally&) = delete;
    ProblemTally& operator=(const ProblemTally&) = delete;
    const ProblemCounts& Counts() const { return counts_; }
    void Count(Problem kind);

private:
    ProblemTally* outer_;
    ProblemCounts counts_;
};

// Problems found by a check of invariants, one formatted line each.
struct ProblemList {
    std::vector<std::string> problems;
    void Add(const char* format, ...) VORDA_PRINTF(2, 3);
};

// Raw text, no formatting.
void OutText(const char* text);
void OutFlush();

// Redirects output (null restores standard output). Returns the previous stream.
FILE* SetOutputStream(FILE* stream);

// Test helper: collects everything printed while it lives.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    // Everything printed so far.
    std::string Text();

private:
    FILE* file_ = nullptr;
    FILE* previous_ = nullptr;
};
