# Run inside Blender: blender -b --factory-startup --python <this> -- <file>
# Models a small ship from scratch, as a user new to the game's format would:
# an empty "Ship" that moves (a location animation), a UV sphere with an
# image-textured material under it and a cube with a plain-colour material,
# then exports it with Blender's default settings as new.glb and with
# Blender's COLLADA exporter as new.dae, in the folder of <file>. The painted
# picture is saved there as paint.png. Prints one "made <key> <value>" line per fact
# the test compares the converted model with.
import os
import sys

import bpy

folder = os.path.dirname(os.path.abspath(sys.argv[sys.argv.index("--") + 1]))
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.frame_start, scene.frame_end = 1, 31

bpy.ops.object.empty_add(location=(0, 0, 0))
ship = bpy.context.object
ship.name = "Ship"

bpy.ops.mesh.primitive_uv_sphere_add(segments=16, ring_count=8, radius=1, location=(0, 0, 2))
sphere = bpy.context.object
sphere.name = "Sphere"
sphere.parent = ship

# A painted picture: a colour gradient with a dark band, so that a map turned
# around or shifted shows.
size = 64
picture = bpy.data.images.new("paint", size, size)
pixels = []
for y in range(size):
    for x in range(size):
        band = 0.1 if 24 <= y < 32 else 1.0
        pixels += [band * x / (size - 1), band * y / (size - 1), band * 0.5, 1.0]
picture.pixels = pixels
picture.filepath_raw = os.path.join(folder, "paint.png")
picture.file_format = "PNG"
picture.save()

painted = bpy.data.materials.new("Painted")
painted.use_nodes = True
texture = painted.node_tree.nodes.new("ShaderNodeTexImage")
texture.image = picture
painted.node_tree.links.new(texture.outputs["Color"], painted.node_tree.nodes["Principled BSDF"].inputs["Base Color"])
sphere.data.materials.append(painted)

bpy.ops.mesh.primitive_cube_add(size=1, location=(2, 0, 0))
cube = bpy.context.object
cube.name = "Cube"
cube.parent = ship
plain = bpy.data.materials.new("Plain")
plain.use_nodes = True
plain.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = (0.8, 0.1, 0.1, 1)
cube.data.materials.append(plain)

for frame, y in ((1, 0.0), (31, 3.0)):
    ship.location = (0, y, 0)
    ship.keyframe_insert("location", frame=frame)

triangles = sum(len(p.vertices) - 2 for o in (sphere, cube) for p in o.data.polygons)
print("made triangles %d" % triangles)
print("made joints %s" % " ".join(sorted(o.name for o in bpy.data.objects)))
print("made meshes %s" % " ".join(sorted(o.name for o in bpy.data.objects if o.type == "MESH")))

bpy.ops.export_scene.gltf(filepath=os.path.join(folder, "new.glb"))
bpy.ops.wm.collada_export(filepath=os.path.join(folder, "new.dae"))
