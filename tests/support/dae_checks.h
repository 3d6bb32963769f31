// Test-only checks of a written DAE file with outside tools: the COLLADA 1.4.1
// schema (xmllint and opencolladavalidator), the assimp importer and
// pycollada. Each runs a child process; none of them needs the network.
#pragma once

#include <map>
#include <string>
#include <vector>

// Validates the file against the COLLADA 1.4.1 schema that python3-collada
// ships, with the xml namespace schema it imports mapped to the local copy by
// an XML catalog. Returns the schema errors the document's fixed format does
// not account for (each as xmllint printed it); empty means the file is valid
// apart from those. A tool or schema that cannot run is reported as an error.
//
// Accounted for (the format writes them on purpose):
// - empty library_images / _materials / _effects / _geometries / _animations;
// - empty "animation" elements whose id ends in "-anim";
// - bracketed names ("JNT[Gun]", "MAT[a]_SHD[b]", "IMG[a_DIFF]-image") in
//   attributes of NCName or ID type, which they are not, and as the text of
//   the effects' sampler "source" (NCName) and surface "init_from" (IDREF);
// - the id "SUB_PARAMS", repeated by every node whose long name is split;
// - child nodes after a node's "extra" (every node carries its extra first):
//   the check validates a copy with each node's "extra" moved behind its
//   other children, so that the subtrees are checked too (xmllint skips the
//   content of an element it did not expect). Line numbers in the messages
//   are those of that copy.
// Then opencolladavalidator checks the file as it is: anything short of its
// "is valid" verdict is returned as one more error.
// `all`, when given, receives every schema error line, accounted for or not.
std::vector<std::string> DaeSchemaErrors(const std::string& daePath, std::vector<std::string>* all = nullptr);

// `assimp info` (optionally with --raw, which keeps one vertex per triangle
// corner) parsed into its counts. ok is false when the import failed.
struct AssimpInfo {
    bool ok = false;
    long nodes = -1;
    long meshes = -1;
    long materials = -1;
    long animations = -1;
    long vertices = -1;
    long faces = -1;
    std::string output;  // everything the tool printed, for failure messages
};
AssimpInfo RunAssimpInfo(const std::string& daePath, bool raw = false);

// pycollada (through /usr/bin/python3) loading the file with broken references
// and unsupported features tolerated. Counts: "nodes" (every scene node,
// nested ones included), "geometries", "triangles" (all primitives),
// "positions" (entries of every geometry's "-POSITION" source),
// "animations" (nested included), "materials", "errors" (load problems),
// "unbound" (scene primitives naming a material that no binding supplies).
struct PyColladaInfo {
    bool ok = false;
    std::map<std::string, long> counts;
    std::string output;
    long Count(const std::string& key) const {
        auto it = counts.find(key);
        return it == counts.end() ? -1 : it->second;
    }
};
PyColladaInfo RunPyCollada(const std::string& daePath);

// Imports the file into Blender and compares the scene with the document
// (blender_import_check.py says what). One line per element Blender did not
// take as written, or the whole output when the check did not finish.
std::vector<std::string> BlenderImportProblems(const std::string& daePath);
