# Run inside Blender: blender -b --factory-startup --python <this> -- <in.glb> <edited.glb> <plain.glb> [edit ...]
# Imports the tool's GLB, makes the edits a modder would make, and exports
# it twice: with "Custom Properties" (the extras) on, and with Blender's
# default settings. An edit is "move <object> <x> <y> <z>" (the object's
# location, in its parent's units), "vertex <object> <index> <x> <y> <z>"
# (one vertex of the object's mesh moved by that much) or "action <action>
# <x> <y> <z>" (every location key of the action moved by that much).
import sys

import numpy

# Debian's Blender 3.4 glTF add-on still uses numpy.bool, gone from Debian's numpy.
if "bool" not in numpy.__dict__:
    numpy.bool = bool
import bpy

args = sys.argv[sys.argv.index("--") + 1:]
source, edited, plain = args[:3]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=source)
for edit in args[3:]:
    words = edit.split()
    if words[0] == "action":
        for curve in bpy.data.actions[words[1]].fcurves:
            if curve.data_path == "location":
                for key in curve.keyframe_points:
                    key.co[1] += float(words[2 + curve.array_index])
                    key.handle_left[1] += float(words[2 + curve.array_index])
                    key.handle_right[1] += float(words[2 + curve.array_index])
        continue
    obj = bpy.data.objects[words[1]]
    if words[0] == "move":
        for i in range(3):
            obj.location[i] += float(words[2 + i])
    elif words[0] == "vertex":
        vertex = obj.data.vertices[int(words[2])]
        for i in range(3):
            vertex.co[i] += float(words[3 + i])
        obj.data.update()
    else:
        raise SystemExit("unknown edit: " + edit)
bpy.ops.export_scene.gltf(filepath=edited, export_format="GLB", export_extras=True)
bpy.ops.export_scene.gltf(filepath=plain, export_format="GLB")
