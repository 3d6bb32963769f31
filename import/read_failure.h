// Why reading a document failed: the file at fault (the document itself, or
// the .bin, PNG or TGA it names) and the reason in words.
#pragma once

#include <string>

// Node trees nested deeper than this are refused by every reader: the
// game's joints nest no deeper than 200, the scene's encoders walk the tree
// by recursion, and readers built on libxml2 refuse a DAE nested deeper
// than 256 elements, so a deeper tree could make no file others read.
constexpr int kMaxNodeNesting = 256;
// The refusal, in one wording: "nodes nested deeper than 256".
inline std::string NestingTooDeep() { return "nodes nested deeper than " + std::to_string(kMaxNodeNesting); }

struct ReadFailure {
    std::string file;
    std::string reason;

    // "<file> - <reason>", the form of the tool's other failure lines.
    std::string Text() const { return file + " - " + reason; }
    // Records a failure and returns false, so readers can `return fail.Set(...)`.
    bool Set(const std::string& atFile, const std::string& why) {
        file = atFile;
        reason = why;
        return false;
    }
};
