// Reading a ZEM model file and the MAD animation file beside it. Readers print
// nothing; they return what they could read. Every reader is bounds-safe over
// any input bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/model.h"

// Walks the file's top-level chunks and returns the Model made when the
// "NAME" form was accepted, or null (no such form, or a name of another file
// type before any model was made).
std::unique_ptr<Model> ReadModelFile(const unsigned char* data, size_t size);

// Names each track's links from its curve indices, as a read gives them: the
// curve's name and connected, or "DISCONNECTED" for an index past the curves.
void LinkClips(AnimationSet& set);

// Reads a MAD file held in memory; null when it is not a MAD file.
std::unique_ptr<AnimationSet> ReadMad(const unsigned char* data, size_t size);

// Byte count of one stored level of an image of the given format and size:
// what the reader takes from the file, and what the writer must store.
uint64_t LevelByteCount(const Core_QStr& format, int32_t width, int32_t height);
