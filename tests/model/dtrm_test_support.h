// Helpers shared by the tests of the "DTRM" readers: the body of one built
// chunk, and every truncated prefix of a body in an allocation of its own.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model/byte_reader.h"
#include "tests/support/check_model.h"
#include "tests/support/fixture_writer.h"

// The body of the first chunk in bytes: after the FORM type, after the NRML
// name and version, or straight after a bare header.
inline std::vector<unsigned char> ChunkBody(const std::vector<unsigned char>& chunk) {
    size_t skip = 8;
    if (chunk.size() >= 4 && std::memcmp(chunk.data(), "FORM", 4) == 0) skip = 12;
    if (chunk.size() >= 4 && std::memcmp(chunk.data(), "NRML", 4) == 0) skip = 16;
    if (chunk.size() < skip) return {};
    return std::vector<unsigned char>(chunk.begin() + long(skip), chunk.end());
}

// Calls read(reader) for every proper prefix of body (length 0 to size - 1).
// Each prefix is copied into a heap block of exactly its length, so the
// address sanitizer reports a read of even one byte past it.
template <typename Read>
void ForEachTruncation(const std::vector<unsigned char>& body, Read&& read) {
    for (size_t len = 0; len < body.size(); ++len) {
        std::unique_ptr<unsigned char[]> copy(new unsigned char[len]);
        if (len) std::memcpy(copy.get(), body.data(), len);
        read(len, MakeByteReader(copy.get(), len));
    }
}

inline ByteReader ReaderOf(const std::vector<unsigned char>& bytes) {
    return MakeByteReader(bytes.data(), bytes.size());
}

// Every invariant the readers promise holds; the broken ones are listed.
inline std::string ModelProblems(const Model& model) {
    std::string all;
    for (const std::string& line : CheckModel(model)) all += line + "\n";
    return all;
}
