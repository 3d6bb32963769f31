#include "collada/geometry.h"

GeometryResult WriteMeshGeometry(const Model&, const Mesh&, const std::string&, const char*, uint32_t) {
    return {};
}
TiXmlElement* WriteSimpleGeometry(const std::string&, const float*, int32_t, const uint16_t*, int32_t, uint32_t) {
    return nullptr;
}
