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
    const double inf = std::numeric_limits<double>::infinity();
    const double cases[] = {0.0, -0.0, 5e-7, -5e-7, 2.5e-6, 0.1, 2.0, 123.4567, 1e300, -1e38, 1.0 / 30,
                            3.4028234663852886e38, std::nan(""), -std::nan(""), inf, -inf};
    for (double v : cases) {
        SCOPED_TRACE(Printf("%.17g", v));
        EXPECT_EQ(FormatF6(v), Printf("%f", v));
        EXPECT_EQ(FormatG(v), Printf("%g", v));
    }
    std::string s;
    AppendInt(s, -2147483648LL);
    AppendInt(s, 4294967295LL);
    EXPECT_EQ(s, "-21474836484294967295");
}

TEST(FloatSource, ShapeAndEmpty) {
    TiXmlElement source("source");
    const float data[6] = {1.0f, -2.5f, -0.0f, 1e30f, 0.1f, 3.0f};
    const char* const names[3] = {"X", "Y", "Z"};
    WriteFloatSource(&source, 2, data, "P", 3, names);
    std::string text;
    for (float f : data) text += " " + Printf("%f", double(f));
    EXPECT_EQ(PrintXml(&source),
              "<source id=\"P\"><float_array id=\"P-array\" count=\"6\">" + text +
                  "</float_array><technique_common><accessor source=\"#P-array\" count=\"2\" stride=\"3\">"
                  "<param name=\"X\" type=\"float\" /><param name=\"Y\" type=\"float\" />"
                  "<param name=\"Z\" type=\"float\" /></accessor></technique_common></source>");

    TiXmlElement empty("source");
    WriteFloatSource(&empty, 0, nullptr, "E", 3, names);
    EXPECT_EQ(PrintXml(&empty),
              "<source id=\"E\"><float_array id=\"E-array\" count=\"0\"></float_array><technique_common>"
              "<accessor source=\"#E-array\" count=\"0\" stride=\"3\"><param name=\"X\" type=\"float\" />"
              "<param name=\"Y\" type=\"float\" /><param name=\"Z\" type=\"float\" /></accessor>"
              "</technique_common></source>");
}

TEST(TriangleIndices, ListsFansStripsMasksAndTables) {
    const uint16_t idx[7] = {2, 0, 1, 3, 4, 5, 6};
    // Five slots per vertex: position, normal, texture coordinates, then two
    // that are never written.
    std::vector<int32_t> table;
    for (int v = 0; v < 7; ++v) table.insert(table.end(), {10 + v, 20 + v, 30 + v, 98, 99});
    struct Row {
        const char* what;
        uint32_t type;
        int32_t count;
        uint32_t mask;
        bool withTable;
        const char* want;
    };
    const Row rows[] = {
        {"list of 7 writes two triangles", 0x0202, 7, 0x1, false, "2 0 1 3 4 5 "},
        {"fan of 5", 0x0205, 5, 0x1, false, "2 0 1 2 1 3 2 3 4 "},
        {"strip of 5 keeps one winding", 0x0206, 5, 0x1, false, "2 0 1 0 3 1 1 3 4 "},
        {"fan of 2 writes nothing", 0x0205, 2, 0x1, false, ""},
        {"unsupported type", 0x0203, 6, 0x1, false, ""},
        {"mask without position", 0x0202, 3, 0xA, false, ""},
        {"tangent bits are not inputs", 0x0202, 3, 0x6001, false, "2 0 1 "},
        {"mask 0x1 with table", 0x0202, 3, 0x1, true, "12 10 11 "},
        {"mask 0xB with table", 0x0202, 3, 0xB, true, "12 22 32 10 20 30 11 21 31 "},
        {"mask 0x9 with table", 0x0202, 3, 0x9, true, "12 32 10 30 11 31 "},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::string out = "x";
        WriteTriangleIndices(out, r.withTable ? table.data() : nullptr, idx, r.count, r.type, r.mask);
        EXPECT_EQ(out, std::string("x") + r.want);
    }
    std::string none;
    WriteTriangleIndices(none, nullptr, nullptr, 3, 0x0202, 0x1);
    EXPECT_EQ(none, "");
}

// Names from a model reach the file escaped exactly once, and whatever bytes
// they hold the file parses back.
TEST(XmlSafeText, RoundTripsThroughTheXmlLibrary) {
    struct Row {
        const char* what;
        std::string in, readBack;
    };
    const Row rows[] = {
        {"plain ASCII unchanged", "JNT[Gun]_Part[1,2]", "JNT[Gun]_Part[1,2]"},
        {"markup characters", "a<b>&\"c'", "a<b>&\"c'"},
        {"character reference lookalike", "x&#x41;y", "x&#x41;y"},
        {"control characters", std::string("a\x01" "b\x1f", 4), "a_b_"},
        {"valid UTF-8 kept", "caf\xc3\xa9", "caf\xc3\xa9"},
        {"Windows-1252 quotes", "\x93q\x94", "\xe2\x80\x9cq\xe2\x80\x9d"},
        {"unassigned 1252 byte", "a\x81", "a_"},
        {"latin-1 byte", "\xe9t", "\xc3\xa9t"},
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
    }
}

// Number texts are moved in without the escaping copy; whatever a text holds,
// the saved bytes must equal those of the library's own text node.
TEST(MovedTextSave, SameBytesAsTheLibraryText) {
    const std::string texts[] = {" 1.000000 -2.500000", "", "a<b & \"c\" 'd' >", "x\x01y", "caf\xc3\xa9"};
    auto save = [&](bool ours) {
        TiXmlDocument doc;
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
    EXPECT_EQ(save(true), save(false));
}
