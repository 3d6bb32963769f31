// What the scene build records of the model's objects for the way back, and
// the texts those facts are written in. Node facts sit on the object's node;
// the model's lists (materials, images, information entries, the animation
// file's header) sit in Scene::facts.
//
// Keys on nodes: full_name (any node); joint_name, joint_parent, joint_position, joint_rotation,
// joint_axis, joint_scale, joint_flags (a joint, the tree's root joint on
// ROOT_LOD[0]); light_type, light_values, light_bytes, light_order (a navigation light, on
// its joint's node); marker_parent, marker_head, marker_position,
// marker_rotation; dock_parent, dock_words, dock_tolerance; seg_words,
// seg_values; shape_parent; burn_parent, burn_counts; col_parent,
// col_indices; clip_times, clip_tracks.
// Keys of the scene: type_name, info (a line per entry: key, value),
// materials (a line per material in the model's order: its scene material,
// version, name, shader, then four fields per parameter: name, type, image
// index, colour), images (a line per image: name, format, level 0 width and
// height, level count, and "cut" when its first level was stored without
// all its bytes), animation (version, info words 0, 3 and 4),
// animation_name; unplaced_joints, unplaced_lights, unplaced_markers,
// unplaced_shapes, unplaced_burns (objects whose joint has no node, each
// line led by the object's place in the model's list).
#pragma once

#include <string>
#include <vector>

#include "scene/build.h"

// Lists of fields: lines separated by '\n', fields by '\t'; a field's '\\',
// '\n' and '\t' are escaped ("\\\\", "\\n", "\\t"), so a name of any bytes
// reads back as it was.
std::string FactField(const std::string& text);
std::vector<std::vector<std::string>> FactLines(const std::string& text);

// Space-separated exact numbers (AppendExact): they read back bit for bit.
std::string ExactFloats(const float* v, size_t n);
std::string ExactDoubles(const double* v, size_t n);
std::string Words(const uint32_t* v, size_t n);
// False unless text holds exactly n numbers.
bool ReadFloats(const std::string& text, float* v, size_t n);
bool ReadDoubles(const std::string& text, double* v, size_t n);
bool ReadWords(const std::string& text, uint32_t* v, size_t n);
bool ReadInts(const std::string& text, std::vector<int32_t>& v);
bool ReadFloatList(const std::string& text, std::vector<float>& v);

// A joint's rotation from its node's angle and its axis: the float whose sum
// with the axis gives the angle exactly, nearest to the difference.
float JointRotationFrom(float angle, float axis);

// A long name whose groups do not join back to it (a "]" inside a name).
void RecordFullName(SceneFacts& facts, const std::string& name, const std::vector<std::string>& groups);
void RecordJointFacts(SceneFacts& facts, const Model& model, const Joint& joint, bool root);
void RecordNavLightFacts(SceneFacts& facts, const NavLight& light, size_t order, const Joint& joint);
void RecordMarkerFacts(SceneFacts& facts, const Marker& marker, const Joint& joint);
void RecordDockPathFacts(SceneFacts& facts, const DockPath& path);
void RecordSegmentFacts(SceneFacts& facts, const DockSegment& segment);
void RecordShapeFacts(SceneFacts& facts, const EngineShape& shape, const Joint& joint);
void RecordBurnFacts(SceneFacts& facts, const EngineBurn& burn, const Joint& joint);
void RecordCollisionFacts(SceneFacts& facts, const CollisionMesh& col, const char* jointName,
                          const SceneTriangles& shown);
void RecordClipFacts(SceneFacts& facts, const AnimationClip& clip);
// The model-wide facts (Scene::facts), once the scene's materials are built.
void RecordModelFacts(SceneBuild& build);
