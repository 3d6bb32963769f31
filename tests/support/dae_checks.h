// Test-only checks of a written DAE file with outside tools: the COLLADA 1.4.1
// schema (xmllint and opencolladavalidator), the assimp importer and
// pycollada. Each runs a child process; none of them needs the network.
#pragma once

#include <map>
#include <string>
#include <vector>

// Validates a copy of the file against the COLLADA 1.4.1 schema python3-collada
// ships (xmllint; each node's "extra" moved behind its child nodes so that
// xmllint checks the subtrees), then the file itself with opencolladavalidator.
// Returns the errors the format does not account for: it writes empty
// libraries and "-anim" animations, bracketed names where NCName/ID/IDREF is
// due, and "SUB_PARAMS" ids on purpose.
std::vector<std::string> DaeSchemaErrors(const std::string& daePath);

// `assimp info` parsed into its counts; ok is false when the import failed.
struct AssimpInfo {
    bool ok = false;
    long nodes = -1;
    long animations = -1;
    long faces = -1;
    std::string output;  // everything the tool printed, for failure messages
};
AssimpInfo RunAssimpInfo(const std::string& daePath);

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
