// JSON text parsed into a RapidJSON document with every number converted by
// the standard library: integers that fit 64 bits stay integers, any other
// number becomes the double nearest its text. RapidJSON's own full-precision
// conversion reads out of bounds on long digit strings (a mantissa of twenty
// digits with a small exponent, hundreds of zeros), so the glTF readers
// never let it see a number.
#pragma once

#include <rapidjson/document.h>

#include <cstddef>

// Parses text (UTF-8 checked when validateEncoding) into doc; the result
// tells a failure and its offset. A number beyond a double's range fails as
// a handler error at its place.
rapidjson::ParseResult ParseJsonText(rapidjson::Document& doc, const char* text, size_t length, bool validateEncoding);
