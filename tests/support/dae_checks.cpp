#include "tests/support/dae_checks.h"

#include "tests/support/test_util.h"

#include <regex>
#include <sstream>

namespace {

const char kSchema[] = "/usr/lib/python3/dist-packages/collada/resources/schema-1.4.1.xml";
const char kXmlNamespaceSchema[] = "/usr/lib/python3/dist-packages/collada/resources/xsd.xml";
const char kPython[] = "/usr/bin/python3";

// The schema imports the xml namespace schema from w3.org, which the catalog
// maps to the copy python3-collada ships.
std::string CatalogText() {
    const std::string uri = std::string("uri=\"file://") + kXmlNamespaceSchema + "\"/>\n";
    return "<?xml version=\"1.0\"?>\n<catalog xmlns=\"urn:oasis:names:tc:entity:xmlns:xml:catalog\">\n"
           "  <system systemId=\"http://www.w3.org/2001/03/xml.xsd\" " + uri +
           "  <uri name=\"http://www.w3.org/2001/03/xml.xsd\" " + uri + "</catalog>\n";
}

const char kPyScript[] = R"PY(
import sys
try:
    import collada
    from collada import scene as S
    d = collada.Collada(sys.argv[1], ignore=[collada.common.DaeUnsupportedError,
                                            collada.common.DaeBrokenRefError])
except Exception as e:
    print("failed", type(e).__name__, str(e).replace("\n", " "))
    sys.exit(0)
def walk(nodes):
    n = 0
    for x in nodes:
        if isinstance(x, S.Node):
            n += 1 + walk(x.children)
    return n
def anims(a):
    return sum(1 + anims(x.children) for x in a)
print("nodes", sum(walk(vs.nodes) for vs in d.scenes))
print("geometries", len(d.geometries))
print("triangles", sum(len(p) for g in d.geometries for p in g.primitives))
print("positions", sum(len(src) for g in d.geometries for sid, src in g.sourceById.items()
                       if sid.endswith("-POSITION")))
print("animations", anims(d.animations))
print("materials", len(d.materials))
# Primitives that name a material the instance binds to none.
print("unbound", sum(1 for vs in d.scenes for g in vs.objects('geometry') for p in g.primitives()
                     if p.original.material and p.material is None))
print("errors", len(d.errors))
print("loaded", 1)
)PY";

// Every node writes its "extra" before its child nodes, and xmllint checks
// nothing inside an element that comes after the place the schema allows:
// the subtrees would go unchecked. The check therefore validates a copy in
// which each node's "extra" elements are moved behind its other children.
const char kReorderScript[] = R"PY(
import sys
from lxml import etree
ns = "{http://www.collada.org/2005/11/COLLADASchema}"
tree = etree.parse(sys.argv[1], etree.XMLParser(huge_tree=True, remove_blank_text=False))
for node in tree.iter(ns + "node"):
    extras = [c for c in node if c.tag == ns + "extra"]
    for e in extras:
        tail = e.tail
        node.remove(e)
        e.tail = tail
        node.append(e)
tree.write(sys.argv[2], xml_declaration=True, encoding="utf-8")
)PY";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace

std::vector<std::string> DaeSchemaErrors(const std::string& daePath) {
    std::vector<std::string> disallowed;
    TempFolder t;
    const std::string copy = t.File("reordered.dae");
    RunResult run = RunProcess({kPython, "-c", kReorderScript, daePath, copy});
    if (run.status != 0) return {"cannot read " + daePath + ": " + run.output};
    run = RunShell("XML_CATALOG_FILES=" + ShellQuote(t.Write("catalog.xml", CatalogText())) +
                   " xmllint --nonet --noout --schema " + ShellQuote(kSchema) + " " + ShellQuote(copy));
    std::string output = run.output;
    // Line numbers below are those of the copy; messages name the original.
    const std::vector<std::string> daeLines = Lines(ReadText(copy));
    for (size_t at = output.find(copy); at != std::string::npos; at = output.find(copy, at + daePath.size()))
        output.replace(at, copy.size(), daePath);

    static const std::regex located(R"(^.*:(\d+): element (\w+): Schemas validity error : (.*)$)");
    static const std::regex emptyLibrary(
        R"(^Element '\{[^}]*\}library_(images|materials|effects|geometries|animations)': Missing child element\(s\)\..*)");
    static const std::regex emptyAnimation(R"(^Element '\{[^}]*\}animation': Missing child element\(s\)\..*)");
    static const std::regex bracketName(
        R"(^Element '[^']*', attribute '([\w:]+)': '([^']*)' is not a valid value of the atomic type 'xs:(NCName|ID)'\.$)");
    static const std::regex bracketText(
        R"(^Element '[^']*': '([^']*)' is not a valid value of the atomic type 'xs:(NCName|IDREF)'\.$)");
    static const std::regex nodeAfterExtra(
        R"(^Element '\{[^}]*\}node': This element is not expected\. Expected is \( \{[^}]*\}extra \)\.$)");

    bool sawVerdict = false;
    for (const std::string& line : Lines(output)) {
        if (line == daePath + " validates" || line == daePath + " fails to validate") {
            sawVerdict = true;
            continue;
        }
        std::smatch m;
        if (!std::regex_match(line, m, located)) {
            disallowed.push_back(line);  // anything else (schema load problems, parse errors) counts
            continue;
        }
        const size_t lineNumber = size_t(std::stoul(m[1].str()));
        const std::string message = m[3].str();
        std::smatch v;
        bool allowed = std::regex_match(message, emptyLibrary) || std::regex_match(message, nodeAfterExtra);
        if (!allowed && std::regex_match(message, emptyAnimation))
            allowed = lineNumber >= 1 && lineNumber <= daeLines.size() &&
                      daeLines[lineNumber - 1].find("-anim\"") != std::string::npos;
        if (!allowed && std::regex_match(message, v, bracketName))
            allowed = v[2].str().find('[') != std::string::npos ||
                      (v[1].str() == "id" && v[2].str() == "SUB_PARAMS");  // one per split name
        if (!allowed && std::regex_match(message, v, bracketText)) allowed = v[1].str().find('[') != std::string::npos;
        if (!allowed) disallowed.push_back(line);
    }
    if (!sawVerdict) disallowed.push_back("xmllint gave no verdict (status " + std::to_string(run.status) + "): " + output);

    // The validator built on the reader library of schema-checking importers
    // checks the original: it resolves every reference (effect textures to
    // samplers, for one) besides the schema.
    const std::string verdict = "\"" + daePath + "\" is valid against the COLLADA 1.4.1 schema.";
    run = RunProcess({"/usr/bin/opencolladavalidator", daePath});
    if (run.status != 0 || run.output.find(verdict) == std::string::npos)
        disallowed.push_back("opencolladavalidator (status " + std::to_string(run.status) + "): " + run.output);
    return disallowed;
}

AssimpInfo RunAssimpInfo(const std::string& daePath) {
    AssimpInfo info;
    const RunResult run = RunProcess({"/usr/bin/assimp", "info", daePath});
    info.output = run.output;
    auto field = [&](const std::string& label) {
        std::smatch m;
        return std::regex_search(info.output, m, std::regex("(^|\n)" + label + "[^0-9\n]*([0-9]+)")) ? std::stol(m[2])
                                                                                                  : -1L;
    };
    info.nodes = field("Nodes:");
    info.animations = field("Animations:");
    info.faces = field("Faces:");
    info.ok = run.status == 0 && info.output.find("Importing file ...                   OK") != std::string::npos &&
              info.faces >= 0;
    return info;
}

std::vector<std::string> BlenderImportProblems(const std::string& daePath) {
    std::vector<std::string> problems;
    const RunResult run =
        RunProcess({"/usr/bin/blender", "-b", "--factory-startup", "--python", VORDA_BLENDER_CHECK, "--", daePath});
    bool finished = false;
    for (const std::string& line : Lines(run.output)) {
        if (line.compare(0, 9, "MISSING: ") == 0) problems.push_back(line.substr(9));
        if (line.compare(0, 8, "CHECKED ") == 0) finished = true;
    }
    if (!finished) problems.push_back("the check did not finish (status " + std::to_string(run.status) + "): " + run.output);
    return problems;
}

PyColladaInfo RunPyCollada(const std::string& daePath) {
    PyColladaInfo info;
    info.output = RunProcess({kPython, "-c", kPyScript, daePath}).output;
    for (const std::string& line : Lines(info.output)) {
        std::istringstream in(line);
        std::string key;
        long value = 0;
        if (in >> key >> value) info.counts[key] = value;
    }
    info.ok = info.Count("loaded") == 1;
    return info;
}
