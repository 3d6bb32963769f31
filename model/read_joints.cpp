#include "model/object_readers.h"

// name count, parent count, four float triples, three flag bytes.
static const size_t kMinJointRecord = 4 + 4 + 4 * 12 + 3;

// Records are taken whole: a record cut short by the end of the chunk is
// dropped (its missing fields would read as zeros, a scale of 0 among them),
// and the records before it are kept. A count with the top bit set reads as
// negative and gives no joints.
void ReadJoints(ByteReader body, Model& model) {
    const int32_t count = ReadI32LE(body);
    const size_t fits = ClipCount(body, count, kMinJointRecord);
    if (count < 0 || size_t(count) > fits) model.damaged = true;
    model.joints.reserve(model.joints.size() + fits);
    for (size_t i = 0; i < fits; ++i) {
        auto joint = std::make_unique<Joint>();
        joint->index = int32_t(i);
        ReadCountedString(body, joint->name);
        ReadCountedString(body, joint->parentName);
        float* triples[4] = {joint->position, joint->rotation, joint->scale, joint->axis};
        for (float* t : triples)
            for (int k = 0; k < 3; ++k) t[k] = ReadF32LE(body);
        for (int k = 0; k < 3; ++k) joint->flags[k] = ReadU8(body);
        if (body.failed) {
            model.damaged = true;
            break;
        }
        model.joints.push_back(std::move(joint));
    }
}
