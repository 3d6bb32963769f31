#include "scene/mesh_facts.h"

#include <algorithm>
#include <charconv>

#include "scene/names.h"

const char kMeshJointFact[] = "joint";
const char kMeshLevelFact[] = "level";
const char kMeshLodFact[] = "lod";
const char kMeshPartsFact[] = "parts";
const char kMeshHiddenPartsFact[] = "hidden_parts";
const char kEmptyMeshesFact[] = "empty_meshes";

std::string UnplacedMeshFactKey(size_t mesh, const char* key) {
    return "mesh" + std::to_string(mesh) + "_" + key;
}

namespace {

// Reads the numbers of a text one by one: separated by one character each
// (a space, or the tab or line end the caller looks at).
class NumberCursor {
public:
    NumberCursor(const char* begin, const char* end) : p_(begin), end_(end) {}
    template <typename T>
    bool Next(T& value) {
        if (p_ < end_ && started_) {
            if (*p_ != ' ') return false;
            ++p_;
        }
        started_ = true;
        const auto read = std::from_chars(p_, end_, value);
        if (read.ec != std::errc()) return false;
        p_ = read.ptr;
        return true;
    }
    bool AtEnd() const { return p_ == end_; }

private:
    const char* p_;
    const char* end_;
    bool started_ = false;
};

// Calls line(begin, end) for every '\n' separated line; false as soon as one
// returns false.
template <typename Line>
bool ForEachLine(const std::string& text, Line&& line) {
    size_t at = 0;
    while (at < text.size()) {
        size_t stop = text.find('\n', at);
        if (stop == std::string::npos) stop = text.size();
        if (!line(text.data() + at, text.data() + stop)) return false;
        at = stop + 1;
    }
    return true;
}

void AppendHiddenPart(std::string& out, int32_t position, const MeshPart& part) {
    if (!out.empty()) out += '\n';
    const int64_t head[5] = {position, part.materialIndex, int64_t(part.format), part.stride, part.vertexCount};
    for (int i = 0; i < 5; ++i) {
        if (i) out += ' ';
        AppendInt(out, head[i]);
    }
    out += '\t';
    for (size_t i = 0; i < part.vertices.size(); ++i) {
        if (i) out += ' ';
        AppendExact(out, part.vertices[i]);
    }
    out += '\t';
    for (size_t g = 0; g < part.groups.size(); ++g) {
        if (g) out += ',';
        const PrimitiveGroup& group = part.groups[g];
        AppendInt(out, int64_t(group.type));
        for (uint16_t index : group.indices) {
            out += ' ';
            AppendInt(out, index);
        }
    }
}

}  // namespace

SceneFacts MeshFacts(const MeshLevelFacts& level) {
    SceneFacts facts;
    if (level.joint) SetFact(facts, kMeshJointFact, level.joint->value);
    if (level.level != level.shownLevel) SetFact(facts, kMeshLevelFact, std::to_string(level.level));
    if (!level.lodShown) SetFact(facts, kMeshLodFact, std::to_string(level.lod));
    if (!level.mesh) return facts;
    const std::vector<MeshPart>& parts = level.mesh->parts;
    std::string listed;
    for (int32_t p : level.listedParts) {
        const MeshPart& part = parts[size_t(p)];
        if (!listed.empty()) listed += '\n';
        AppendInt(listed, p);
        listed += ' ';
        AppendInt(listed, part.materialIndex);
        listed += ' ';
        AppendInt(listed, int64_t(part.format));
        if (level.components == 0) {
            listed += ' ';
            AppendInt(listed, part.vertexCount);
        }
    }
    std::vector<char> isListed(parts.size(), 0);
    for (int32_t p : level.listedParts) isListed[size_t(p)] = 1;
    std::string hidden;
    for (size_t p = 0; p < parts.size(); ++p)
        if (!isListed[p]) AppendHiddenPart(hidden, int32_t(p), parts[p]);
    if (!level.listedParts.empty()) SetFact(facts, kMeshPartsFact, std::move(listed));
    if (!hidden.empty()) SetFact(facts, kMeshHiddenPartsFact, std::move(hidden));
    return facts;
}

bool ReadPartFacts(const std::string& text, std::vector<PartFact>& parts) {
    parts.clear();
    return ForEachLine(text, [&](const char* begin, const char* end) {
        NumberCursor numbers(begin, end);
        PartFact part;
        if (!numbers.Next(part.position) || !numbers.Next(part.material) || !numbers.Next(part.format)) return false;
        if (!numbers.AtEnd() && !numbers.Next(part.vertexCount)) return false;
        if (!numbers.AtEnd() || part.position < 0) return false;
        parts.push_back(part);
        return true;
    });
}

bool ReadHiddenParts(const std::string& text, std::vector<HiddenPart>& parts) {
    parts.clear();
    return ForEachLine(text, [&](const char* begin, const char* end) {
        const char* tab1 = std::find(begin, end, '\t');
        const char* tab2 = tab1 == end ? end : std::find(tab1 + 1, end, '\t');
        if (tab2 == end) return false;
        HiddenPart hidden;
        MeshPart& part = hidden.part;
        NumberCursor head(begin, tab1);
        if (!head.Next(hidden.position) || !head.Next(part.materialIndex) || !head.Next(part.format) ||
            !head.Next(part.stride) || !head.Next(part.vertexCount) || !head.AtEnd())
            return false;
        if (hidden.position < 0 || part.stride < 0 || part.vertexCount < 0) return false;
        NumberCursor values(tab1 + 1, tab2);
        float value = 0;
        while (!values.AtEnd()) {
            if (!values.Next(value)) return false;
            part.vertices.push_back(value);
        }
        const char* at = tab2 + 1;
        while (at < end) {
            const char* stop = std::find(at, end, ',');
            NumberCursor numbers(at, stop);
            PrimitiveGroup group;
            group.index = int32_t(part.groups.size());
            if (!numbers.Next(group.type)) return false;
            uint16_t index = 0;
            while (!numbers.AtEnd()) {
                if (!numbers.Next(index)) return false;
                group.indices.push_back(index);
            }
            group.indexCount = int32_t(group.indices.size());
            part.groups.push_back(std::move(group));
            at = stop == end ? end : stop + 1;
        }
        part.index = hidden.position;
        parts.push_back(std::move(hidden));
        return true;
    });
}

// One line each: "<kind> <position> <lod> <n>:<name><m>:<joint>", the names
// counted in bytes, so they may hold any byte.
void AddEmptyMesh(SceneFacts& facts, const EmptyMesh& mesh) {
    const std::string* before = FindFact(facts, kEmptyMeshesFact);
    std::string text = before ? *before : std::string();
    if (!text.empty()) text += '\n';
    for (int64_t n : {int64_t(mesh.kind), int64_t(mesh.position), int64_t(mesh.lod)}) {
        AppendInt(text, n);
        text += ' ';
    }
    for (const std::string* name : {&mesh.name, &mesh.joint}) {
        AppendInt(text, int64_t(name->size()));
        text += ':';
        text += *name;
    }
    SetFact(facts, kEmptyMeshesFact, std::move(text));
}

bool ReadEmptyMeshes(const std::string& text, std::vector<EmptyMesh>& meshes) {
    meshes.clear();
    const char* p = text.data();
    const char* const end = p + text.size();
    auto number = [&](auto& value, char after) {
        const auto read = std::from_chars(p, end, value);
        if (read.ec != std::errc() || read.ptr == end || *read.ptr != after) return false;
        p = read.ptr + 1;
        return true;
    };
    auto counted = [&](std::string& value) {
        size_t length = 0;
        if (!number(length, ':') || length > size_t(end - p)) return false;
        value.assign(p, length);
        p += length;
        return true;
    };
    while (p < end) {
        EmptyMesh mesh;
        if (!number(mesh.kind, ' ') || !number(mesh.position, ' ') || !number(mesh.lod, ' ') || !counted(mesh.name) ||
            !counted(mesh.joint) || mesh.kind < 0 || mesh.kind > 2)
            return false;
        if (p < end && *p++ != '\n') return false;
        meshes.push_back(std::move(mesh));
    }
    return true;
}
