// Per-pixel channel composition: one output picture from up to four sources.
#pragma once

#include <cstddef>

#include "texture/pixel_image.h"

// Fills output (pixelCount pixels, usually zero-filled) in place: channel k
// (0 red .. 3 alpha) of every pixel is made by specs[k] from sources[k]:
// a constant, or a source byte (optionally inverted); an unset spec, or a
// source spec whose source is null, keeps the output's byte. Channels flagged
// kChannelMultiplyAlpha are then scaled by the composed alpha, red first and
// alpha last (so a flagged alpha is multiplied by itself). Every non-null
// source must hold at least pixelCount pixels.
// True when ComposeChannels would keep some output byte (an unset spec, or a
// source spec whose source is null): only then does the output's prior
// content matter.
bool ComposeKeepsBytes(const ChannelSpec specs[4], const unsigned char* const sources[4]);

void ComposeChannels(const ChannelSpec specs[4], const unsigned char* const sources[4], unsigned char* output,
                     size_t pixelCount);

// The way back of one channel: channel `from` of every source pixel (inverted,
// v -> 255 - v, when asked) into channel `to` of the output pixel at the same
// index, for the pixels both hold.
void CopyChannel(const PixelImage& source, int from, bool invert, PixelImage& output, int to);

// Sets channel `to` of every output pixel to value.
void FillChannel(PixelImage& output, int to, uint8_t value);
