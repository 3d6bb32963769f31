// Exact numbers beside their printed text. A document that prints floats as
// "%f" text gives back another float for most values below 10 or so; the
// document then carries, for each value, how far the exact value lies from
// the one its text reads back as, counted in float steps (units in the last
// place). Most of these differences are a few units, so the code spends one
// character on most values and less on runs of exact ones.
//
// The code of a value list: per value its difference d, as the number
// z = 2d (d >= 0) or -2d - 1 (d < 0) written in base 32, lowest digit first,
// each digit but the last from "WXYZabcdefghijklmnopqrstuvwxyz*+" and the
// last from "0123456789ABCDEFGHIJKLMNOPQRSTUV"; a run of n >= 3 values with
// no difference is "." and n written alike. Nothing else (no space) belongs
// to the code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The float a reader gets back from the "%f" text of v (as PrintF6 writes it
// and from_chars reads it), found without printing for most values.
float F6ReadsBackAs(float v);
// The same through the text itself: the reference the quick way is tested on.
float F6ReadsBackAsByText(float v);

// The code of values printed as "%f" text; empty when every text reads back
// as its value.
std::string F6Corrections(const float* values, size_t n);

// Sets values[i] right by the code; false (values unchanged) when the code is
// damaged or does not hold exactly n differences.
bool ApplyCorrections(const char* code, size_t length, float* values, size_t n);
