// Why reading a document failed: the file at fault (the document itself, or
// the .bin, PNG or TGA it names) and the reason in words.
#pragma once

#include <string>

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
