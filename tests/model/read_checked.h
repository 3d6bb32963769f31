// Reading helpers for the model tests: every read works on its own exact-size
// heap copy (so AddressSanitizer sees any read past the input) and runs the
// invariant checker on the result.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model/read_model.h"
#include "tests/support/check_model.h"
#include "tests/support/fixture_writer.h"

inline std::unique_ptr<Model> ReadZemChecked(const std::vector<unsigned char>& bytes) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    std::unique_ptr<Model> model = ReadModelFile(bytes.empty() ? nullptr : copy.get(), bytes.size());
    if (model)
        for (const std::string& problem : CheckModel(*model)) ADD_FAILURE() << problem;
    return model;
}

inline std::unique_ptr<AnimationSet> ReadMadChecked(const std::vector<unsigned char>& bytes) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    std::unique_ptr<AnimationSet> set = ReadMad(bytes.empty() ? nullptr : copy.get(), bytes.size());
    if (set)
        for (const std::string& problem : CheckAnimationSet(*set)) ADD_FAILURE() << problem;
    return set;
}

// The two header forms of a model file: "VERS" 512 and the multi mesh name.
inline void PutModelHeader(ByteWriter& w, uint32_t version = 512) {
    size_t at = BeginForm(w, "VERS");
    PutU32(w, version);
    EndChunk(w, at);
    at = BeginForm(w, "NAME");
    PutText(w, "Drelmarch2 Multi Mesh File");
    EndChunk(w, at);
}

// A whole model file whose "HVMD" form holds exactly the given child bytes.
inline std::vector<unsigned char> ZemWithHvmd(const std::vector<unsigned char>& children) {
    ByteWriter w;
    PutModelHeader(w);
    size_t at = BeginForm(w, "HVMD");
    PutBytes(w, children.data(), children.size());
    EndChunk(w, at);
    return w.bytes;
}
