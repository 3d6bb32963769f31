// Helpers of the hardening tests: running the built tool in a child with a
// memory limit and a time limit, checking documents with a strict XML parser,
// and laying out model files chunk by chunk.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"

struct ToolRun {
    std::string output;      // standard output and error together
    int status = -1;         // exit status; -1 when the tool did not exit normally
    bool timedOut = false;   // killed by the time limit
};

// Runs VORDA_BINARY with the words in folder, standard input empty. A
// non-zero memoryLimit caps the child's address space (setrlimit).
ToolRun RunToolLimited(const std::vector<std::string>& words, const std::string& folder, size_t memoryLimit = 0,
                       unsigned timeoutSeconds = 60);

// True when this build runs under AddressSanitizer, which reserves far more
// address space than any limit the tests set.
bool UnderAddressSanitizer();

// Parses every file with lxml (/usr/bin/python3), a strict XML 1.0 parser.
// Returns one line per file that fails ("path: reason"); empty when all parse.
std::string StrictXmlErrors(const std::vector<std::string>& paths);

// A ZEM file: "VERS" 512, the multi mesh "NAME", then one form of the given
// type whose children `fill` writes.
std::vector<unsigned char> ZemWithForm(const char* formType, const std::function<void(ByteWriter&)>& fill);

// A readable file's bytes; empty when it cannot be read.
std::vector<unsigned char> FileBytes(const std::string& path);
