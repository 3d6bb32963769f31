// Helpers of the model tests. Every whole-file read works on its own
// exact-size heap copy, so AddressSanitizer sees a read of even one byte past
// the input, and the invariant checker runs on whatever was read.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model/byte_reader.h"
#include "model/read_model.h"
#include "tests/support/check_model.h"
#include "tests/support/fixture_writer.h"

using Bytes = std::vector<unsigned char>;

template <typename T, typename Read, typename Check>
std::unique_ptr<T> ReadCopy(const Bytes& bytes, Read read, Check check) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    std::unique_ptr<T> out = read(bytes.empty() ? nullptr : copy.get(), bytes.size());
    if (out)
        for (const std::string& problem : check(*out)) ADD_FAILURE() << problem;
    return out;
}

inline std::unique_ptr<Model> ReadZemChecked(const Bytes& bytes) {
    return ReadCopy<Model>(bytes, ReadModelFile, CheckModel);
}

inline std::unique_ptr<AnimationSet> ReadMadChecked(const Bytes& bytes) {
    return ReadCopy<AnimationSet>(bytes, ReadMad, CheckAnimationSet);
}

inline ByteReader ReaderOf(const Bytes& bytes) { return MakeByteReader(bytes.data(), bytes.size()); }

// Runs the invariant checker on a model filled by a reader called directly.
inline void ExpectClean(const Model& model) {
    for (const std::string& problem : CheckModel(model)) ADD_FAILURE() << problem;
}

// Ends the chunk begun at `at` after fill() wrote its body:
// Chunk(w, BeginBare(w, "JUNK"), [&] { PutU32(w, 1); }).
template <typename Fill>
void Chunk(ByteWriter& w, size_t at, Fill&& fill) {
    fill();
    EndChunk(w, at);
}

inline void PutF32s(ByteWriter& w, std::initializer_list<float> values) {
    for (float v : values) PutF32(w, v);
}

inline Bytes Words(std::initializer_list<uint32_t> words) {
    ByteWriter w;
    for (uint32_t v : words) PutU32(w, v);
    return w.bytes;
}

// A whole model file: the "VERS" 512 and multi mesh "NAME" header forms, then
// an "HVMD" form holding exactly the given child bytes.
inline Bytes ZemWithHvmd(const Bytes& children) {
    ByteWriter w;
    Chunk(w, BeginForm(w, "VERS"), [&] { PutU32(w, 512); });
    Chunk(w, BeginForm(w, "NAME"), [&] { PutText(w, "Drelmarch2 Multi Mesh File"); });
    Chunk(w, BeginForm(w, "HVMD"), [&] { PutBytes(w, children.data(), children.size()); });
    return w.bytes;
}
