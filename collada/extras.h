// What the scene holds that the document's own elements do not give back,
// kept in <extra><technique profile="VORDA"> on the element it belongs to, so
// that reading the document gives the scene written: the exact numbers where
// a "%f" or "%g" text reads back as another number, each triangle list's own
// vertex numbering, the curves' and clips' facts, the images' and materials'
// facts, the node numbering and the scene's facts (scene/fact_texts.h).
// Other readers skip the technique; a document without it reads as the text
// says (import/dae_scene.cpp).
#pragma once

#include <tinyxml.h>

#include "scene/scene.h"

// The technique, in a new <extra> as the element's last child.
TiXmlElement* AddVordaTechnique(TiXmlElement* element);

void AddGeometryExtra(TiXmlElement* geometry, const Scene& scene, const SceneMesh& mesh);
// A placed node whose translation or angles the text does not give back, and
// the node's facts (a name-only node with facts is marked "name_only").
void AddNodeExtra(TiXmlElement* node, const SceneNode& source);
// factor: what the values were multiplied by (degrees per radian for angles).
void AddCurveExtra(TiXmlElement* animation, const SceneCurve& curve, double factor);
void AddImageExtra(TiXmlElement* image, const SceneImage& source);
// The pictures with no <image> element (the decoded sources of the maps).
void AddImagesExtra(TiXmlElement* library, const Scene& scene);
void AddEffectExtra(TiXmlElement* effect, const SceneMaterial& material);
// The node numbering, the exact end time, the clips and the scene's facts.
void AddSceneExtra(TiXmlElement* visualScene, const Scene& scene);
