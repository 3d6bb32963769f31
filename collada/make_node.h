#pragma once

#include <tinyxml.h>

#include <string>

// The one way every COLLADA node is made: translate, rotateZ, rotateY, rotateX
// (angles given in radians, written in degrees), the FCOLLADA visibility extra,
// then "name", "id", "sid" all equal to the (possibly shortened) name.
// translation / rotation may be null (written as 0 0 0).
TiXmlElement* MakeNode(TiXmlElement* parent, const std::string& name, const float* translation,
                       const float* rotation);

// For a name over 60 characters with bracket groups: cuts name to its first
// group and adds a "SUB_PARAMS" child holding one node per further group.
void SplitLongName(TiXmlElement* node, std::string& name);

// Sets "name", "id" and "sid" of node to name (after SplitLongName).
void NameNode(TiXmlElement* node, std::string name);

// Degrees from radians, in single precision: angle * 57.2957763671875f.
float ToDegrees(float radians);
