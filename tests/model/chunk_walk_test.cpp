// The model file container: byte orders, the top-level forms, the dispatch of
// form children, info entries, and damaged headers.
#include <gtest/gtest.h>

#include "model/chunk_walk.h"
#include "tests/model/read_checked.h"

namespace {

void PutForm(ByteWriter& w, const char* type, const std::string& content) {
    size_t at = BeginForm(w, type);
    PutBytes(w, content.data(), content.size());
    EndChunk(w, at);
}

void PutVersion(ByteWriter& w, uint32_t version) {
    size_t at = BeginForm(w, "VERS");
    PutU32(w, version);
    EndChunk(w, at);
}

// An "HVMD" form holding one version-2 material with the given name.
void PutMaterialForm(ByteWriter& w, const char* name) {
    size_t form = BeginForm(w, "HVMD");
    size_t at = BeginNrml(w, "STAT", 2);
    PutCounted(w, name);
    PutCounted(w, "shader");
    PutU32(w, 0);
    EndChunk(w, at);
    EndChunk(w, form);
}

std::vector<std::string> MaterialNames(const Model& model) {
    std::vector<std::string> names;
    for (const auto& m : model.materials) names.push_back(m->name.value);
    return names;
}

}  // namespace

// The smallest model file, laid out byte by byte: lengths big-endian, the
// version inside "VERS" little-endian.
TEST(ModelFile, ByteOrdersOfHandBuiltHeader) {
    const unsigned char bytes[] = {
        'F', 'O', 'R', 'M', 0x00, 0x00, 0x00, 0x08, 'V', 'E', 'R', 'S', 0x00, 0x02, 0x00, 0x00,
        'F', 'O', 'R', 'M', 0x00, 0x00, 0x00, 0x1E, 'N', 'A', 'M', 'E', 'D', 'r', 'e', 'l', 'm', 'a',
        'r', 'c', 'h', '2', ' ', 'M', 'u', 'l', 't', 'i', ' ', 'M', 'e', 's', 'h', ' ', 'F', 'i', 'l', 'e',
    };
    auto model = ReadZemChecked(std::vector<unsigned char>(bytes, bytes + sizeof bytes));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->type, 0);
    EXPECT_EQ(model->version, 512u);
    EXPECT_EQ(model->typeName.value, "Drelmarch2 Multi Mesh File");
}

TEST(ModelFile, HeaderFormsInEveryOrder) {
    struct Row {
        const char* name;
        std::vector<unsigned char> bytes;
        bool made;
        uint32_t version;
        std::vector<std::string> materials;
    };
    std::vector<Row> rows;
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutForm(w, "NAME", "drelmarch2 multi mesh file");
        rows.push_back({"lower_case_name", w.bytes, true, 512, {}});
    }
    {
        ByteWriter w;
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutVersion(w, 512);
        PutMaterialForm(w, "a");
        rows.push_back({"name_before_vers_keeps_version_0", w.bytes, true, 0, {"a"}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutForm(w, "NAME", "Drelmarch2 Single Mesh File");
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutMaterialForm(w, "a");
        rows.push_back({"foreign_name_stops_before_any_model", w.bytes, false, 0, {}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutMaterialForm(w, "a");
        PutForm(w, "NAME", "something else");
        PutMaterialForm(w, "b");
        rows.push_back({"foreign_name_after_model_returns_it", w.bytes, true, 512, {"a"}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutMaterialForm(w, "a");
        PutVersion(w, 7);
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutMaterialForm(w, "b");
        rows.push_back({"second_name_keeps_first_model", w.bytes, true, 512, {"a", "b"}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutMaterialForm(w, "early");
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutMaterialForm(w, "a");
        rows.push_back({"data_form_before_name_skipped", w.bytes, true, 512, {"a"}});
    }
    {
        ByteWriter w;
        PutForm(w, "VERS", std::string("\x01\x02", 2));
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        rows.push_back({"short_vers_reads_0", w.bytes, true, 0, {}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutForm(w, "NAME", std::string("Drelmarch2 Multi Mesh File\0junk", 31));
        rows.push_back({"name_text_ends_at_zero_byte", w.bytes, true, 512, {}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        PutForm(w, "NAME", "Drelmarch2 Multi Mesh File");
        PutFourCC(w, "JUNK");
        PutU32BE(w, 0x80000004u);  // top bit set: would move the walk backwards
        PutU32(w, 0);
        PutMaterialForm(w, "after");
        rows.push_back({"negative_length_ends_walk", w.bytes, true, 512, {}});
    }
    {
        ByteWriter w;
        PutVersion(w, 512);
        size_t at = BeginBare(w, "NAME");  // a bare NAME is not the header form
        PutText(w, "Drelmarch2 Multi Mesh File");
        EndChunk(w, at);
        at = BeginNrml(w, "NAME", 1);
        EndChunk(w, at);
        rows.push_back({"bare_and_nrml_name_ignored", w.bytes, false, 0, {}});
    }
    rows.push_back({"empty_file", {}, false, 0, {}});

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto model = ReadZemChecked(row.bytes);
        ASSERT_EQ(bool(model), row.made);
        if (!model) continue;
        EXPECT_EQ(model->type, 0);
        EXPECT_EQ(model->version, row.version);
        EXPECT_EQ(MaterialNames(*model), row.materials);
    }
}

TEST(ModelFile, NrmlVersionCutOffCountsAsZero) {
    // The file ends two bytes into the version of the last NRML chunk: it is
    // still dispatched, with version 0 and nothing in its body.
    ByteWriter w;
    PutModelHeader(w);
    size_t form = BeginForm(w, "HVMD");
    PutFourCC(w, "NRML");
    PutU32BE(w, 100);
    PutFourCC(w, "STAT");
    PutU8(w, 0);
    PutU8(w, 0);
    EndChunk(w, form);
    auto model = ReadZemChecked(w.bytes);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 1u);
    EXPECT_EQ(model->materials[0]->version, 0u);
    EXPECT_TRUE(model->materials[0]->params.empty());
}

TEST(ModelFile, NrmlVersionIsBigEndian) {
    ByteWriter w;
    PutModelHeader(w);
    size_t form = BeginForm(w, "HVMD");
    PutFourCC(w, "NRML");
    PutU32BE(w, 20);
    PutFourCC(w, "STAT");
    PutBytes(w, "\x00\x00\x03\xE9", 4);  // 1001
    PutCounted(w, "m");
    PutCounted(w, "s");
    PutU32(w, 0);
    EndChunk(w, form);
    auto model = ReadZemChecked(w.bytes);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 1u);
    EXPECT_EQ(model->materials[0]->version, 1001u);
}

TEST(ModelFile, TruncatedChildDoesNotStopTopLevelWalk) {
    ByteWriter w;
    PutModelHeader(w);
    size_t form = BeginForm(w, "HVMD");
    size_t at = BeginNrml(w, "STAT", 2);
    PutCounted(w, "kept");
    PutCounted(w, "s");
    PutU32(w, 0);
    EndChunk(w, at);
    PutText(w, "LMI");  // a child header cut after three bytes
    EndChunk(w, form);
    form = BeginForm(w, "INFO");
    at = BeginBare(w, "AUTH");
    PutCounted(w, "after");
    EndChunk(w, at);
    EndChunk(w, form);

    auto model = ReadZemChecked(w.bytes);
    ASSERT_TRUE(model);
    EXPECT_EQ(MaterialNames(*model), std::vector<std::string>{"kept"});
    ASSERT_EQ(model->infoEntries.size(), 1u);
    EXPECT_EQ(model->infoEntries[0]->value.value, "after");
}

TEST(ModelFile, ChildOverrunningItsFormStaysInside) {
    // The material claims 1000 bytes inside a form that holds far fewer: its
    // reader sees only the form's bytes, and the INFO form after it is read.
    ByteWriter w;
    PutModelHeader(w);
    size_t form = BeginForm(w, "HVMD");
    PutFourCC(w, "NRML");
    PutU32BE(w, 1000);
    PutFourCC(w, "STAT");
    PutU32BE(w, 2);
    PutCounted(w, "m");
    PutU32(w, 500);  // shader name past the form
    EndChunk(w, form);
    form = BeginForm(w, "INFO");
    size_t at = BeginBare(w, "AUTH");
    PutCounted(w, "x");
    EndChunk(w, at);
    EndChunk(w, form);
    auto model = ReadZemChecked(w.bytes);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->materials.size(), 1u);
    EXPECT_EQ(model->materials[0]->name.value, "m");
    EXPECT_EQ(model->materials[0]->shader.value, "");
    ASSERT_EQ(model->infoEntries.size(), 1u);
}

TEST(ModelFile, InfoEntriesInFileOrder) {
    ByteWriter w;
    PutModelHeader(w);
    size_t form = BeginForm(w, "INFO");
    size_t at = BeginBare(w, "AUTH");
    PutCounted(w, "Jane");
    EndChunk(w, at);
    at = BeginBare(w, "DATE");
    PutCounted(w, "2004");
    EndChunk(w, at);
    at = BeginBare(w, "CMNT");  // the string claims more than its chunk holds
    PutU32(w, 40);
    PutText(w, "ab");
    EndChunk(w, at);
    at = BeginBare(w, "EMPT");  // not even a count
    EndChunk(w, at);
    EndChunk(w, form);

    auto model = ReadZemChecked(w.bytes);
    ASSERT_TRUE(model);
    const std::pair<const char*, const char*> want[] = {
        {"AUTH", "Jane"}, {"DATE", "2004"}, {"CMNT", "ab"}, {"EMPT", ""}};
    ASSERT_EQ(model->infoEntries.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(want[i].first);
        EXPECT_EQ(model->infoEntries[i]->key.value, want[i].first);
        EXPECT_EQ(model->infoEntries[i]->value.value, want[i].second);
        EXPECT_EQ(model->infoEntries[i]->value.hash, NameHash(want[i].second));
    }
}

TEST(ChunkWalk, EveryStepMovesForward) {
    // A FORM whose length does not even cover its type: the next chunk starts
    // right after its 8-byte header, where the type was read from.
    ByteWriter w;
    PutFourCC(w, "FORM");
    PutU32BE(w, 0);
    PutFourCC(w, "ABCD");
    PutU32BE(w, 0);
    PutFourCC(w, "NEXT");
    PutU32BE(w, 0);
    std::vector<std::string> seen;
    ByteReader r = MakeByteReader(w.bytes.data(), w.bytes.size());
    WalkChunks(r, [&](const ChunkHeader& h, ByteReader body) {
        seen.push_back(h.kind);
        EXPECT_EQ(Remaining(body), 0u);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"FORM", "ABCD", "NEXT"}));
}

namespace {

// The walk tells whether its chunks filled the block exactly; the readers
// turn a false into the model's damage flag.
TEST(WalkChunks, ReportsWhetherTheChunksFillTheBlock) {
    ByteWriter good;
    size_t at = BeginBare(good, "ABCD");
    PutU32(good, 7);
    EndChunk(good, at);
    at = BeginNrml(good, "NAME", 3);
    PutU32(good, 1);
    EndChunk(good, at);
    const std::vector<unsigned char> whole = good.bytes;
    auto with = [&](std::vector<unsigned char> tail) {
        std::vector<unsigned char> b = whole;
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    struct Row {
        const char* name;
        std::vector<unsigned char> bytes;
        bool whole;
        int visits;
    };
    const std::vector<Row> rows = {
        {"exact", whole, true, 2},
        {"empty", {}, true, 0},
        {"header_cut_short", with({'X', 'Y', 'Z', 'W', 0, 0}), false, 2},
        {"length_with_top_bit", with({'X', 'Y', 'Z', 'W', 0x80, 0, 0, 4, 1, 2, 3, 4}), false, 2},
        {"chunk_past_the_end", with({'X', 'Y', 'Z', 'W', 0, 0, 0, 9, 1, 2}), false, 3},
        {"nrml_version_cut_short", with({'N', 'R', 'M', 'L', 0, 0, 0, 8, 'H', 'E', 'A', 'D', 0}), false, 3},
        {"form_shorter_than_its_type", with({'F', 'O', 'R', 'M', 0, 0, 0, 2, 'T', 'Y', 'P', 'E'}), false, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<unsigned char> copy(row.bytes);  // own allocation: ASan sees over-reads
        int visits = 0;
        const bool result = WalkChunks(MakeByteReader(copy.data(), copy.size()),
                                       [&](const ChunkHeader&, ByteReader) { ++visits; });
        EXPECT_EQ(result, row.whole);
        EXPECT_EQ(visits, row.visits);
    }
}

}  // namespace
