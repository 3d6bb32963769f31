#include "model/finite_numbers.h"

#include <cmath>
#include <cstddef>

namespace {

// Calls visit(kind, name, values, count) for each array of numbers of every
// object ("multi mesh", "hull", ...); values is float* or double* (const
// with a const model). Matrices the joints get when resolved are left out:
// they are made from the numbers visited here.
template <typename M, typename Visit>
void VisitModelNumbers(M& model, Visit&& visit) {
    for (auto& m : model.materials)
        if (m)
            for (auto& p : m->params) visit("material", m->name.value, p.colour, size_t(4));
    auto meshNumbers = [&](const char* kind, const std::string& name, auto& mesh) {
        for (auto& part : mesh.parts) visit(kind, name, part.vertices.data(), part.vertices.size());
    };
    for (auto& mm : model.multiMeshes)
        if (mm)
            for (auto& mesh : mm->meshes)
                if (mesh) meshNumbers(mm->kind == 0 ? "multi mesh" : "goblin mesh", mm->name.value, *mesh);
    for (auto& mm : model.goblinMeshes)
        if (mm)
            for (auto& mesh : mm->meshes)
                if (mesh) meshNumbers("goblin mesh", mm->name.value, *mesh);
    for (auto& j : model.joints) {
        if (!j) continue;
        visit("joint", j->name.value, j->position, size_t(3));
        visit("joint", j->name.value, j->rotation, size_t(3));
        visit("joint", j->name.value, j->scale, size_t(3));
        visit("joint", j->name.value, j->axis, size_t(3));
    }
    for (auto& s : model.engineShapes)
        if (s) visit("engine shape", s->name.value, s->vertices.data(), s->vertices.size());
    for (auto& b : model.engineBurns)
        if (b) visit("engine burn", b->name.value, b->vertices.data(), b->vertices.size());
    for (auto& g : model.glows)
        if (g && g->mesh) meshNumbers("glow", g->name.value, *g->mesh);
    for (auto& l : model.navLights) {
        if (!l) continue;
        visit("navigation light", l->name.value, &l->size, size_t(1));
        visit("navigation light", l->name.value, &l->phase, size_t(1));
        visit("navigation light", l->name.value, &l->frequency, size_t(1));
        visit("navigation light", l->name.value, l->colour, size_t(4));
        visit("navigation light", l->name.value, &l->distance, size_t(1));
    }
    for (auto& d : model.dockPaths) {
        if (!d) continue;
        visit("dock path", d->name.value, &d->tolerance, size_t(1));
        for (auto& s : d->segments) {
            visit("dock path", d->name.value, s.position, size_t(3));
            visit("dock path", d->name.value, s.rotation, size_t(3));
            visit("dock path", d->name.value, &s.tolerance, size_t(1));
            visit("dock path", d->name.value, &s.speed, size_t(1));
        }
    }
    for (auto& m : model.markers) {
        if (!m) continue;
        visit("marker", m->name.value, m->headValues, size_t(2));
        visit("marker", m->name.value, m->position, size_t(3));
        visit("marker", m->name.value, m->rotation, size_t(3));
    }
    for (auto& c : model.collisionMeshes) {
        if (!c) continue;
        const std::string& name = c->parentName.value;
        visit("collision mesh of joint", name, c->bounds.boxMin, size_t(3));
        visit("collision mesh of joint", name, c->bounds.boxMax, size_t(3));
        visit("collision mesh of joint", name, c->bounds.sphereCentre, size_t(3));
        visit("collision mesh of joint", name, &c->bounds.sphereRadius, size_t(1));
        visit("collision mesh of joint", name, &c->bounds.sphereRadiusSq, size_t(1));
        visit("collision mesh of joint", name, c->vertices.data(), c->vertices.size());
    }
}

// The same for the clips and curves of an animation set.
template <typename S, typename Visit>
void VisitAnimationNumbers(S& set, Visit&& visit) {
    for (auto& clip : set.clips) {
        if (!clip) continue;
        visit("clip", clip->name.value, &clip->start, size_t(1));
        visit("clip", clip->name.value, &clip->end, size_t(1));
        visit("clip", clip->name.value, &clip->loopStart, size_t(1));
        visit("clip", clip->name.value, &clip->loopEnd, size_t(1));
    }
    for (auto& curve : set.curves) {
        if (!curve) continue;
        for (auto& key : curve->keys) {
            visit("curve", curve->name.value, &key.time, size_t(1));
            visit("curve", curve->name.value, &key.value, size_t(1));
            visit("curve", curve->name.value, &key.inTangentX, size_t(1));
            visit("curve", curve->name.value, &key.inTangentY, size_t(1));
            visit("curve", curve->name.value, &key.outTangentX, size_t(1));
            visit("curve", curve->name.value, &key.outTangentY, size_t(1));
        }
    }
}


// Visits every number array of the owner, the model's or the set's.
template <typename Visit>
void VisitNumbers(Model& model, Visit&& visit) { VisitModelNumbers(model, visit); }
template <typename Visit>
void VisitNumbers(const Model& model, Visit&& visit) { VisitModelNumbers(model, visit); }
template <typename Visit>
void VisitNumbers(AnimationSet& set, Visit&& visit) { VisitAnimationNumbers(set, visit); }
template <typename Visit>
void VisitNumbers(const AnimationSet& set, Visit&& visit) { VisitAnimationNumbers(set, visit); }

template <typename T>
void ZeroAll(T& owner, Damage& damage) {
    // The arrays of one object come one after another: it is noted once.
    const std::string* noted = nullptr;
    auto visit = [&](const char* kind, const std::string& name, auto* values, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (std::isfinite(values[i])) continue;
            values[i] = 0;
            if (noted != &name) NoteDamage(damage, std::string(kind) + " [" + name + "]");
            noted = &name;
        }
    };
    VisitNumbers(owner, visit);
}

template <typename T>
std::string FirstOf(const T& owner) {
    std::string first;
    auto visit = [&first](const char* kind, const std::string& name, const auto* values, size_t count) {
        for (size_t i = 0; i < count && first.empty(); ++i)
            if (!std::isfinite(values[i])) first = std::string(kind) + " [" + name + "]";
    };
    VisitNumbers(owner, visit);
    return first;
}

}  // namespace

void ZeroNonFiniteNumbers(Model& model) { ZeroAll(model, model.damage); }
void ZeroNonFiniteNumbers(AnimationSet& set) { ZeroAll(set, set.damage); }
std::string FirstNonFiniteNumber(const Model& model) { return FirstOf(model); }
std::string FirstNonFiniteNumber(const AnimationSet& set) { return FirstOf(set); }
