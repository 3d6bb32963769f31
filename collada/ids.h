// The ids and URIs of the document, one helper each.
#pragma once

#include <string>

inline std::string Uri(const std::string& id) { return "#" + id; }
inline std::string GeometryId(const std::string& mesh) { return mesh + "-lib"; }
inline std::string GeometryName(const std::string& mesh) { return mesh + "Mesh"; }
inline std::string ImageSymbol(const std::string& key) { return "IMG[" + key + "]"; }
inline std::string ImageId(const std::string& key) { return ImageSymbol(key) + "-image"; }
inline std::string ImageName(const std::string& key, const std::string& format) {
    return "IMG[" + key + "]_FMT[" + format + "]";
}
inline std::string EffectId(const std::string& material) { return material + "-fx"; }
inline std::string ArrayId(const std::string& source) { return source + "-array"; }
