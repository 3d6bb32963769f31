#include "collada/xml_blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "tests/collada/xml_query.h"

namespace {

std::string Printf(const char* format, double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

}  // namespace

TEST(NumberText, MatchesPrintf) {
    const double cases[] = {0.0,      -0.0,   5e-7,  -5e-7,         1.5e-6,  2.5e-6,
                            0.1,      2.0,    123.4567, 123456.789, 1e300,   -1e38,
                            1.0 / 30, 3.4028234663852886e38,        std::nan(""), -std::nan(""),
                            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double v : cases) {
        SCOPED_TRACE(Printf("%.17g", v));
        EXPECT_EQ(FormatF6(v), Printf("%f", v));
        EXPECT_EQ(FormatG(v), Printf("%g", v));
    }
    std::string s;
    AppendInt(s, -2147483648LL);
    AppendInt(s, 0);
    AppendInt(s, 4294967295LL);
    EXPECT_EQ(s, "-214748364804294967295");
}

TEST(FloatSource, ShapeAttributeOrderAndText) {
    TiXmlElement source("source");
    const float data[9] = {1.0f, -2.5f, 0.0f, -0.0f, 1e30f, 0.1f, 3.0f, 4.0f, 5.0f};
    const char* const names[3] = {"X", "Y", "Z"};
    WriteFloatSource(&source, 3, data, "P", 3, names);

    std::string text;
    for (float f : data) text += " " + Printf("%f", double(f));
    EXPECT_EQ(PrintXml(&source),
              "<source id=\"P\"><float_array id=\"P-array\" count=\"9\">" + text +
                  "</float_array><technique_common><accessor source=\"#P-array\" count=\"3\" stride=\"3\">"
                  "<param name=\"X\" type=\"float\" /><param name=\"Y\" type=\"float\" />"
                  "<param name=\"Z\" type=\"float\" /></accessor></technique_common></source>");
}

TEST(FloatSource, EmptyAndStrideTwo) {
    TiXmlElement empty("source");
    const char* const xyz[3] = {"X", "Y", "Z"};
    WriteFloatSource(&empty, 0, nullptr, "E", 3, xyz);
    const TiXmlElement* array = empty.FirstChildElement("float_array");
    EXPECT_EQ(Attr(array, "count"), "0");
    EXPECT_EQ(TextOf(array), "");
    EXPECT_EQ(Attr(empty.FirstChildElement("technique_common")->FirstChildElement("accessor"), "count"), "0");

    TiXmlElement uv("source");
    const float st[4] = {0.25f, 0.5f, 1.0f, 0.0f};
    const char* const names[2] = {"S", "T"};
    WriteFloatSource(&uv, 2, st, "U", 2, names);
    EXPECT_EQ(TextOf(uv.FirstChildElement("float_array")), " 0.250000 0.500000 1.000000 0.000000");
    EXPECT_EQ(Attr(uv.FirstChildElement("float_array"), "count"), "4");
    const TiXmlElement* accessor = uv.FirstChildElement("technique_common")->FirstChildElement("accessor");
    EXPECT_EQ(AttrNames(accessor), (std::vector<std::string>{"source", "count", "stride"}));
    EXPECT_EQ(Kids(accessor, "param").size(), 2u);
}

TEST(TriangleIndices, ListsFansStripsAndOthers) {
    const uint16_t idx[7] = {0, 1, 2, 3, 4, 5, 6};
    struct Row {
        const char* what;
        uint32_t type;
        int32_t count;
        uint32_t mask;
        const char* want;
    };
    const Row rows[] = {
        {"list of 7 writes two triangles", 0x0202, 7, 0x1, "0 1 2 3 4 5 "},
        {"list of 2 writes nothing", 0x0202, 2, 0x1, ""},
        {"fan of 5", 0x0205, 5, 0x1, "0 1 2 0 2 3 0 3 4 "},
        {"strip of 5 keeps one winding", 0x0206, 5, 0x1, "0 1 2 1 3 2 2 3 4 "},
        {"fan of 2 writes nothing", 0x0205, 2, 0x1, ""},
        {"strip of 1 writes nothing", 0x0206, 1, 0x1, ""},
        {"unsupported type", 0x0203, 6, 0x1, ""},
        {"mask without position", 0x0202, 3, 0xA, ""},
        {"zero indices", 0x0202, 0, 0x1, ""},
        {"tangent bits are not inputs", 0x0202, 3, 0x6001, "0 1 2 "},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::string out;
        WriteTriangleIndices(out, nullptr, idx, r.count, r.type, r.mask);
        EXPECT_EQ(out, r.want);
    }
    std::string none;
    WriteTriangleIndices(none, nullptr, nullptr, 3, 0x0202, 0x1);
    EXPECT_EQ(none, "");
}

TEST(TriangleIndices, TableSlotsPerCornerAndRunOn) {
    // Five slots per vertex: position, normal, texture coordinates, then two
    // that are never written.
    const int32_t table[15] = {10, 20, 30, 98, 99, 11, 21, 31, 98, 99, 12, 22, 32, 98, 99};
    const uint16_t idx[3] = {2, 0, 1};
    std::string out = "x";
    WriteTriangleIndices(out, table, idx, 3, 0x0202, 0x000B);
    EXPECT_EQ(out, "x12 22 32 10 20 30 11 21 31 ");
    WriteTriangleIndices(out, table, idx, 3, 0x0202, 0x0009);
    EXPECT_EQ(out, "x12 22 32 10 20 30 11 21 31 12 32 10 30 11 31 ");
    std::string plain;
    const uint16_t big[3] = {4, 5, 65535};
    WriteTriangleIndices(plain, nullptr, big, 3, 0x0202, 0x0001);
    EXPECT_EQ(plain, "4 5 65535 ");
}

TEST(ParamElement, ColourShape) {
    TiXmlElement parent("phong");
    TiXmlElement* outer = AddParamElement(&parent, "ambient", "color", "0.1 0.2 0.3 1");
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(PrintXml(&parent), "<phong><ambient><color sid=\"ambient\">0.1 0.2 0.3 1</color></ambient></phong>");
    EXPECT_EQ(AddChildElement(nullptr, "x"), nullptr);
}

// Names from a model reach the file through the XML library's own escaping
// exactly once, and whatever bytes they hold the file parses back.
TEST(XmlSafeText, RoundTripsThroughTheXmlLibrary) {
    struct Row {
        const char* what;
        std::string in;
        std::string readBack;
    };
    const Row rows[] = {
        {"markup characters", "a<b>&\"c'", "a<b>&\"c'"},
        {"character reference lookalike", "x&#x41;y", "x&#x41;y"},
        {"control characters", std::string("a\x01" "b\x1f", 4), "a_b_"},
        {"valid UTF-8 kept", "caf\xc3\xa9", "caf\xc3\xa9"},
        {"Windows-1252 quote", "\x93q\x94", "\xe2\x80\x9cq\xe2\x80\x9d"},
        {"unassigned 1252 byte", "a\x81", "a_"},
        {"latin-1 byte", "\xe9t\xe9", "\xc3\xa9t\xc3\xa9"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TiXmlDocument doc;
        TiXmlElement* e = AddChildElement(doc.LinkEndChild(new TiXmlElement("root"))->ToElement(), "n");
        SetAttr(e, "name", r.in);
        AddText(e, r.in.c_str());
        TiXmlPrinter printer;
        doc.Accept(&printer);
        TiXmlDocument back;
        back.Parse(printer.CStr());
        ASSERT_FALSE(back.Error()) << printer.Str();
        const TiXmlElement* n = back.RootElement()->FirstChildElement("n");
        EXPECT_EQ(Attr(n, "name"), r.readBack);
        EXPECT_EQ(TextOf(n), r.readBack);
        EXPECT_EQ(printer.Str().find("&amp;amp;"), std::string::npos);
    }
    EXPECT_EQ(XmlSafe("JNT[Gun]_Part[1,2]"), "JNT[Gun]_Part[1,2]");
}

// Number texts are written to the file without the escaping copy; whatever a
// text holds, the saved bytes must equal those of the library's own text node.
TEST(MovedTextSave, SameBytesAsTheLibraryText) {
    const std::string texts[] = {" 1.000000 -2.500000", "0 1 2 ", "", "a<b & \"c\" 'd' >", "tab\there", "x\x01y",
                                 "caf\xc3\xa9"};
    auto save = [&](bool ours) {
        TiXmlDocument doc;
        doc.LinkEndChild(new TiXmlDeclaration("1.0", "utf-8", "no"));
        TiXmlElement* root = doc.LinkEndChild(new TiXmlElement("r"))->ToElement();
        for (const std::string& t : texts) {
            TiXmlElement* e = AddChildElement(root, "t");
            if (ours) AddText(e, std::string(t));
            else e->LinkEndChild(new TiXmlText(t.c_str()));
        }
        FILE* f = std::tmpfile();
        doc.SaveFile(f);
        std::string bytes(size_t(std::ftell(f)), '\0');
        std::rewind(f);
        bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
        std::fclose(f);
        return bytes;
    };
    const std::string library = save(false);
    EXPECT_EQ(save(true), library);
    EXPECT_NE(library.find("a&lt;b &amp; &quot;c&quot; &apos;d&apos; &gt;"), std::string::npos);
}
