#include "model/object_readers.h"

// name count, parent count, four float triples, three flag bytes.
static const size_t kMinJointRecord = 4 + 4 + 4 * 12 + 3;

// A list chunk (ReadRecordList): a joint cut short would get a scale of 0
// among its missing fields, so it is dropped.
void ReadJoints(ByteReader body, Model& model) {
    const bool whole = ReadRecordList(body, kMinJointRecord, model.joints, [](ByteReader& r, Joint& joint) {
        ReadCountedString(r, joint.name);
        ReadCountedString(r, joint.parentName);
        float* triples[4] = {joint.position, joint.rotation, joint.scale, joint.axis};
        for (float* t : triples)
            for (int k = 0; k < 3; ++k) t[k] = ReadF32LE(r);
        for (int k = 0; k < 3; ++k) joint.flags[k] = ReadU8(r);
        return !r.failed;
    });
    if (!whole) NoteDamage(model.damage, "the joint list");
}
