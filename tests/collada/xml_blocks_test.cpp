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
