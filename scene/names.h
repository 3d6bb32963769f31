// Every node, mesh and material name of the scene, one helper each. The names
// carry the game's data in the bracketed grammar "KIND[value]_Key[value]...".
#pragma once

#include <cstdint>
#include <string>

#include "model/model.h"

struct Scene;

// "KIND[value]".
std::string Bracketed(const char* kind, const std::string& value);

std::string LodRootName(size_t level);                 // "ROOT_LOD[<level>]"
// The fixed names of the scene's holder nodes.
extern const char kSubParamsName[];   // "SUB_PARAMS": the further groups of a long name
extern const char kHoldAnimName[];    // "HOLD_ANIM": one node per clip
extern const char kHoldParamsName[];  // "HOLD_PARAMS": the materials' colour parameters
extern const char kHoldDockName[];    // "HOLD_DOCK": the dock paths
extern const char kRootColName[];     // "ROOT_COL": the collision meshes
extern const char kRootInfoName[];    // "ROOT_INFO": the model's facts
std::string VersionInfoName(int32_t version);  // "Class[MultiMesh]_Version[<version>]"
extern const char kUvSetsName[];               // "UVSets[1]"
std::string JointNodeName(const std::string& joint);   // "JNT[<joint>]"
std::string AxisNodeName(const std::string& joint);    // "AXIS[<joint>]"
// The node an animation curve of a joint drives: the joint "Root" (any
// letter case) is ROOT_LOD[0] itself, every other joint its JNT node.
std::string AnimationTargetName(const std::string& joint);

std::string MultiMeshName(const MultiMesh& mesh, int32_t lod);  // "MULT[<name>]_LOD[<lod>]"
std::string GoblinMeshName(const MultiMesh& mesh);              // "GOBG[<name>]"
std::string GlowName(const Glow& glow);                         // "GLOW[<name>]_LOD[<lod>]"
// The inverses of the three above (false when the text is not such a name):
// the name is everything between the kind's bracket and the last group, so
// it may hold brackets; a glow's LOD reads back as the bits "%d" printed.
bool ParseMultiMeshName(const std::string& text, std::string& name, int32_t& lod);
bool ParseGoblinMeshName(const std::string& text, std::string& name);
bool ParseGlowName(const std::string& text, std::string& name, uint32_t& lod);
std::string CollisionName(const std::string& joint);            // "COL[<joint>]"
std::string MaterialName(const Material& material);             // "MAT[<name>]_SHD[<shader>]"
extern const char kGlowMaterialName[];                          // "MATGLOW[TALVE_Glow]"

// The full bracketed names of the model's other objects, before any split
// into "SUB_PARAMS": "NAVL[...]" with its optional groups,
// "MAT[...]_PARAM[...]_Type[RGBA]_Data[...]", "DOCK[...]", "SEG[<position>]...",
// "MARK[...]", "ETSH[...]", "BURN[...]", "Flame[f]_Div[d]", "ANIM[...]".
std::string NavLightName(const NavLight& light);
std::string ColourParamName(const Material& material, const MaterialParam& param);
std::string DockPathName(const DockPath& path);
std::string DockSegmentName(const DockSegment& segment, int32_t position);
std::string MarkerName(const Marker& marker);
std::string EngineShapeName(const EngineShape& shape);
std::string EngineBurnName(const EngineBurn& burn);
std::string FlamePointName(uint32_t flame, uint32_t division);
std::string ClipName(const AnimationClip& clip);

// A name over 60 characters with bracket groups is cut to its first group;
// the further groups are returned in order (none for a shorter name).
std::vector<std::string> SplitLongName(std::string& name);

// Number text, byte-identical to the C library's printf in the "C" locale.
void AppendF6(std::string& out, double v);    // "%f"
void AppendG(std::string& out, double v);     // "%g"
void AppendInt(std::string& out, int64_t v);  // "%d"
// The shortest text that reads back as v exactly (from_chars of a double,
// or of a float for the float form): "0.1", "1e-07", "-0", "inf", "nan".
void AppendExact(std::string& out, double v);
void AppendExact(std::string& out, float v);
std::string FormatF6(double v);
std::string FormatG(double v);
// Writes "%f" of v at p (room for 400 characters); returns the end.
char* PrintF6(char* p, double v);

// ---- Reading the names back ------------------------------------------------

// The groups of a bracketed name "KIND[value]_Key[text]...": the value of the
// kind and the text of each key present, in the order of keys (each group is
// optional, a missing one empty with `present` false).
struct NameGroups {
    std::string value;
    std::vector<std::string> texts;
    std::vector<bool> present;
    const std::string* Get(size_t key) const { return key < present.size() && present[key] ? &texts[key] : nullptr; }
};
// False when name is not of that kind. The groups are found from the end, so
// the kind's value (a name) may hold any byte.
bool ParseGroups(const std::string& name, const char* kind, const std::vector<const char*>& keys, NameGroups& out);
// The words of a "Flags[...]" text.
std::vector<std::string> FlagWords(const std::string& text);
// The name SplitLongName cut, joined again from its first group and the rest.
std::string JoinLongName(const std::string& first, const std::vector<std::string>& groups);

bool ParseLodRootName(const std::string& name, size_t& level);
// The root node standing for ROOT_LOD[0]: the root of that name or, renamed
// by the light of the joint "Root", the first root named "NAVL[...]"; -1
// when there is none.
int32_t LodRootNode(const Scene& scene);
bool ParseVersionInfoName(const std::string& name, int32_t& version);
bool ParseJointNodeName(const std::string& name, std::string& joint);
bool ParseAxisNodeName(const std::string& name, std::string& joint);
bool ParseCollisionName(const std::string& name, std::string& joint);
bool ParseMaterialName(const std::string& name, std::string& material, std::string& shader);
bool ParseMarkerName(const std::string& name, std::string& marker);
bool ParseEngineShapeName(const std::string& name, std::string& shape);
bool ParseEngineBurnName(const std::string& name, std::string& burn);
bool ParseFlamePointName(const std::string& name, uint32_t& flame, uint32_t& division);
// Keys in the order of the enums below.
enum { kClipStart, kClipEnd, kClipLoopIn, kClipLoopOut };
bool ParseClipName(const std::string& name, NameGroups& out);
enum { kLightType, kLightSection, kLightSize, kLightPhase, kLightFrequency, kLightColour, kLightDistance, kLightFlags };
bool ParseNavLightName(const std::string& name, NameGroups& out);
// Material name, parameter name, the "Data" text.
bool ParseColourParamName(const std::string& name, std::string& material, std::string& param, std::string& data);
enum { kDockFamily, kDockLink, kDockTolerance, kDockFlags };
bool ParseDockPathName(const std::string& name, NameGroups& out);
enum { kSegmentTolerance, kSegmentSpeed, kSegmentFlags };
bool ParseDockSegmentName(const std::string& name, NameGroups& out);
