# Run inside Blender: blender -b --factory-startup --python <this> -- <file.dae> [<file.glb>]
# Imports the document with Blender's COLLADA importer and compares the scene
# with what the document holds. Prints one "MISSING: ..." line per element
# Blender did not take as the document says, then "CHECKED <n>" (the number
# of comparisons made). Blender itself says little when an import goes wrong,
# so every line names the element of the document. Given a GLB of the same
# model, then prints what a user finds in each import, one "dae|glb key value"
# line each: objects, triangles, mesh boxes in metres, material maps, actions.
import collections
import math
import os
import re
import sys
import xml.etree.ElementTree as ET

import bpy

NS = "{http://www.collada.org/2005/11/COLLADASchema}"
NAME_LIMIT = 63  # bytes Blender keeps of a name

problems = []
checked = 0


def check(ok, text):
    global checked
    checked += 1
    if not ok:
        problems.append(text)


def blender_name(name):
    raw = name.encode("utf-8")[:NAME_LIMIT]
    return raw.decode("utf-8", "ignore")


def base_name(name):
    # Blender tells repeated names apart with ".001", ".002", ...
    return re.sub(r"\.\d{3}$", "", name)


args = sys.argv[sys.argv.index("--") + 1:]
path = args[0]
root = ET.parse(path).getroot()

bpy.ops.wm.read_factory_settings(use_empty=True)
try:
    result = bpy.ops.wm.collada_import(filepath=path)
except RuntimeError as e:  # Blender raises when the importer gives up
    result = {str(e).strip().replace("\n", " ")}
check(result == {"FINISHED"}, "the import: Blender answered %s" % sorted(result))

# Objects: one per scene node, named as the node.
nodes = list(root.iter(NS + "node"))
want = collections.Counter(blender_name(n.get("name") or n.get("id") or "") for n in nodes)
have = collections.Counter(base_name(o.name) for o in bpy.data.objects)
for name, count in sorted(want.items()):
    check(have[name] == count, "node %s: %d in the document, %d Blender objects" % (name, count, have[name]))
check(sum(have.values()) == sum(want.values()),
      "objects: %d nodes in the document, %d Blender objects" % (sum(want.values()), sum(have.values())))

# Meshes: one per geometry, with every triangle.
geometries = root.findall(".//%slibrary_geometries/%sgeometry" % (NS, NS))
check(len(bpy.data.meshes) == len(geometries),
      "meshes: %d geometries in the document, %d Blender meshes" % (len(geometries), len(bpy.data.meshes)))
for g in geometries:
    name = blender_name(g.get("name") or g.get("id"))
    triangles = sum(int(t.get("count")) for t in g.iter(NS + "triangles"))
    mesh = bpy.data.meshes.get(name)
    if mesh is None:
        check(False, "geometry %s: no Blender mesh" % g.get("id"))
        continue
    check(len(mesh.polygons) == triangles,
          "geometry %s: %d triangles, the Blender mesh has %d" % (g.get("id"), triangles, len(mesh.polygons)))

# Bindings: every primitive's material symbol is bound by its instance, and
# the object carries the bound material.
material_names = {m.get("id"): m.get("name") or m.get("id") for m in root.iter(NS + "material")}
geometry_by_id = {g.get("id"): g for g in geometries}
for node in nodes:
    for instance in node.findall(NS + "instance_geometry"):
        geometry = geometry_by_id.get(instance.get("url", "").lstrip("#"))
        if geometry is None:
            continue
        bound = {i.get("symbol"): i.get("target", "").lstrip("#") for i in instance.iter(NS + "instance_material")}
        obj = bpy.data.objects.get(blender_name(node.get("name") or node.get("id")))
        slots = set(s.material.name for s in obj.material_slots if s.material) if obj else set()
        for symbol in sorted(set(t.get("material") for t in geometry.iter(NS + "triangles") if t.get("material"))):
            target = bound.get(symbol)
            check(target is not None, "node %s: no instance_material binds the symbol %s of its triangles" %
                  (node.get("name"), symbol))
            if target is not None:
                name = blender_name(material_names.get(target, target))
                check(name in slots, "node %s: material %s bound, the Blender object has %s" %
                      (node.get("name"), name, sorted(slots)))

# Materials: each with the image files its effect's textures name.
images = {i.get("id"): i.findtext(NS + "init_from") for i in root.iter(NS + "image")}
effects = {e.get("id"): e for e in root.iter(NS + "effect")}
for m in root.findall(".//%slibrary_materials/%smaterial" % (NS, NS)):
    name = m.get("name") or m.get("id")
    effect = effects.get(m.find(NS + "instance_effect").get("url", "").lstrip("#"))
    files = sorted(images.get(t.get("texture"), "?") for t in effect.iter(NS + "texture")) if effect is not None else []
    material = bpy.data.materials.get(blender_name(name))
    if material is None:
        check(False, "material %s: no Blender material" % name)
        continue
    got = sorted(os.path.basename(n.image.filepath) for n in (material.node_tree.nodes if material.node_tree else [])
                 if n.type == "TEX_IMAGE" and n.image)
    check(got == files, "material %s: image files %s, Blender has %s" % (name, files, got))

# Animation channels: the keys of each on the node's location or rotation.
PROPERTIES = {"translate.X": ("location", 0), "translate.Y": ("location", 1), "translate.Z": ("location", 2),
              "rotateX.ANGLE": ("rotation_euler", 0), "rotateY.ANGLE": ("rotation_euler", 1),
              "rotateZ.ANGLE": ("rotation_euler", 2)}
node_names = {n.get("id"): n.get("name") for n in nodes}


def accessor_values(source, param_names):
    """The values an accessor hands a reader, per key: by the named params
    only, as the format reads them (an unnamed param skips its value)."""
    accessor = source.find(".//" + NS + "accessor")
    stride = int(accessor.get("stride", "1"))
    params = accessor.findall(NS + "param")
    values = (source.findtext(NS + "float_array") or "").split()
    out = []
    for k in range(int(accessor.get("count"))):
        row = {}
        for offset, param in enumerate(params):
            if param.get("name") in param_names and k * stride + offset < len(values):
                row[param.get("name")] = float(values[k * stride + offset])
        out.append(row)
    return out


sources = {s.get("id"): s for s in root.iter(NS + "source")}
samplers = {s.get("id"): s for s in root.iter(NS + "sampler")}
for channel in root.iter(NS + "channel"):
    target = channel.get("target")
    node_id, transform = target.rsplit("/", 1)
    sampler = samplers[channel.get("source").lstrip("#")]
    inputs = {i.get("semantic"): sources[i.get("source").lstrip("#")] for i in sampler.iter(NS + "input")}
    keys = int(inputs["INPUT"].find(".//" + NS + "accessor").get("count"))
    kinds = set((inputs["INTERPOLATION"].findtext(NS + "Name_array") or "").split())
    prop, index = PROPERTIES[transform]
    component = transform.split(".")[1]
    times = [r.get("TIME") for r in accessor_values(inputs["INPUT"], {"TIME"})]
    values = [r.get(component) for r in accessor_values(inputs["OUTPUT"], {component})]
    check(None not in times + values, "channel %s: the input or output accessor names no TIME / %s param" %
          (target, component))
    for semantic in ("IN_TANGENT", "OUT_TANGENT"):
        if semantic in inputs:
            pairs = accessor_values(inputs[semantic], {"X", "Y"})
            check(all(len(p) == 2 for p in pairs),
                  "channel %s: the %s accessor does not name both values (X, Y) of each key" % (target, semantic))
    if len(kinds) > 1:
        # Blender 3.4 skips a curve whose keys mix interpolations ("MIXED
        # anim interpolation type is not supported yet"): nothing to compare.
        continue
    obj = bpy.data.objects.get(blender_name(node_names.get(node_id, node_id)))
    action = obj.animation_data.action if obj is not None and obj.animation_data else None
    curves = [c for c in action.fcurves if c.data_path == prop and c.array_index == index] if action else []
    got = len(curves[0].keyframe_points) if curves else 0
    check(got == keys, "channel %s: %d keys, Blender has %d on %s[%d] of %s" %
          (target, keys, got, prop, index, obj.name if obj else "no object"))
    if got == keys and None not in times + values:
        fps = bpy.context.scene.render.fps / bpy.context.scene.render.fps_base
        scale = math.radians(1) if prop == "rotation_euler" else 1.0
        have = [tuple(k.co) for k in curves[0].keyframe_points]
        want = [(t * fps, v * scale) for t, v in zip(times, values)]
        check(all(abs(a - c) < 1e-3 * max(1.0, abs(c)) and abs(b - d) < 1e-3 * max(1.0, abs(d))
                  for (a, b), (c, d) in zip(have, want)),
              "channel %s: keys (frame, value) %s, Blender has %s" % (target, want, have))

for p in problems:
    print("MISSING: " + p)
print("CHECKED %d" % checked)


def linked_image(socket):
    # The image node feeding a socket, through a normal map node if there is one.
    for link in socket.links:
        node = link.from_node
        if node.type == "TEX_IMAGE" and node.image:
            return node.image.name
        found = next((f for f in map(linked_image, node.inputs) if f), "")
        if found:
            return found
    return ""


def report(kind):
    meshes = sorted((o for o in bpy.data.objects if o.type == "MESH"), key=lambda o: o.name)
    for obj in meshes:
        obj.data.calc_loop_triangles()
    print("%s objects %s" % (kind, "|".join(sorted(o.name for o in bpy.data.objects))))
    print("%s triangles %d" % (kind, sum(len(o.data.loop_triangles) for o in meshes)))
    bpy.context.view_layer.update()
    for obj in (o for o in meshes if o.name.startswith("MULT[")):
        corners = [obj.matrix_world @ v.co for v in obj.data.vertices]
        box = [min(c[i] for c in corners) for i in range(3)] + [max(c[i] for c in corners) for i in range(3)]
        print("%s box %s %s" % (kind, obj.name, " ".join("%.3f" % (round(v, 3) + 0.0) for v in box)))
    for mat in sorted(bpy.data.materials, key=lambda m: m.name):
        bsdf = next((n for n in mat.node_tree.nodes if n.type == "BSDF_PRINCIPLED"), None) if mat.use_nodes else None
        if bsdf:
            emission = bsdf.inputs.get("Emission")
            print("%s material %s base=%s emission=%s normal=%s" % (
                kind, mat.name, linked_image(bsdf.inputs["Base Color"]),
                linked_image(emission) if emission else "", linked_image(bsdf.inputs["Normal"])))
    for action in sorted(bpy.data.actions, key=lambda a: a.name):
        print("%s action %s keys %d" % (kind, action.name, sum(len(c.keyframe_points) for c in action.fcurves)))


if len(args) > 1:
    import numpy
    # Debian's Blender 3.4 glTF importer still uses numpy.bool, gone from Debian's numpy.
    if "bool" not in numpy.__dict__:
        numpy.bool = bool
    report("dae")
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=args[1])
    report("glb")
sys.stdout.flush()
