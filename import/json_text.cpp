#include "import/json_text.h"

#include <rapidjson/reader.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using rapidjson::SizeType;

// Forwards every event to the document, numbers converted here.
struct ExactNumbers {
    rapidjson::Document& doc;

    bool Null() { return doc.Null(); }
    bool Bool(bool b) { return doc.Bool(b); }
    bool Int(int i) { return doc.Int(i); }
    bool Uint(unsigned u) { return doc.Uint(u); }
    bool Int64(int64_t i) { return doc.Int64(i); }
    bool Uint64(uint64_t u) { return doc.Uint64(u); }
    bool Double(double d) { return doc.Double(d); }
    bool String(const char* s, SizeType n, bool copy) { return doc.String(s, n, copy); }
    bool StartObject() { return doc.StartObject(); }
    bool Key(const char* s, SizeType n, bool copy) { return doc.Key(s, n, copy); }
    bool EndObject(SizeType members) { return doc.EndObject(members); }
    bool StartArray() { return doc.StartArray(); }
    bool EndArray(SizeType elements) { return doc.EndArray(elements); }

    // The text is a number by JSON's grammar (the reader checked it).
    bool RawNumber(const char* s, SizeType n, bool) {
        const char* end = s + n;
        bool integer = true;
        for (const char* p = s; p != end; ++p) integer = integer && *p != '.' && *p != 'e' && *p != 'E';
        if (integer && *s == '-') {
            int64_t v = 0;
            const std::from_chars_result r = std::from_chars(s, end, v);
            if (r.ec == std::errc() && r.ptr == end) return v == 0 ? doc.Double(-0.0) : doc.Int64(v);
        } else if (integer) {
            uint64_t v = 0;
            const std::from_chars_result r = std::from_chars(s, end, v);
            if (r.ec == std::errc() && r.ptr == end) return doc.Uint64(v);
        }
        double d = 0;
        const std::from_chars_result r = std::from_chars(s, end, d);
        if (r.ec == std::errc() && r.ptr == end) return doc.Double(d);
        // Out of range: strtod tells underflow (a zero or subnormal, kept)
        // from overflow (refused). The text is short-lived: copy it.
        const std::string text(s, n);
        d = std::strtod(text.c_str(), nullptr);
        return std::isfinite(d) && doc.Double(d);
    }
};

template <unsigned kFlags>
struct Generator {
    const char* text;
    size_t length;
    rapidjson::ParseResult result;

    bool operator()(rapidjson::Document& doc) {
        rapidjson::MemoryStream memory(text, length);
        rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> in(memory);
        rapidjson::Reader reader;
        ExactNumbers handler{doc};
        result = reader.Parse<kFlags | rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(in, handler);
        return !result.IsError();
    }
};

}  // namespace

rapidjson::ParseResult ParseJsonText(rapidjson::Document& doc, const char* text, size_t length, bool validateEncoding) {
    if (validateEncoding) {
        Generator<rapidjson::kParseValidateEncodingFlag> generator{text, length, {}};
        doc.Populate(generator);
        return generator.result;
    }
    Generator<rapidjson::kParseNoFlags> generator{text, length, {}};
    doc.Populate(generator);
    return generator.result;
}
