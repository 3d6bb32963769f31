# Imports a DAE and a GLB of the same model into Blender (background mode) and
# prints what a user finds: per import the object names, the triangle count,
# per material the images its base colour, emission and normal inputs read,
# and per action its name and key count. One "key value" line each.
import sys

import bpy
import numpy

# Debian's Blender 3.4 glTF importer still uses numpy.bool, which the numpy
# Debian ships no longer has.
if 'bool' not in numpy.__dict__:
    numpy.bool = bool


def reset():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def triangles():
    total = 0
    for obj in bpy.data.objects:
        if obj.type == 'MESH':
            obj.data.calc_loop_triangles()
            total += len(obj.data.loop_triangles)
    return total


def linked_image(socket):
    # The image node feeding a socket, through a normal map node if there is one.
    for link in socket.links:
        node = link.from_node
        if node.type == 'TEX_IMAGE' and node.image:
            return node.image.name
        for inner in node.inputs:
            found = linked_image(inner)
            if found:
                return found
    return ''


def report(kind):
    print('%s objects %s' % (kind, '|'.join(sorted(o.name for o in bpy.data.objects))))
    print('%s triangles %d' % (kind, triangles()))
    # Where a mesh without animation lands and how large it is, in metres.
    bpy.context.view_layer.update()
    for obj in sorted(bpy.data.objects, key=lambda o: o.name):
        if obj.name.startswith('MULT[') and obj.type == 'MESH':
            corners = [obj.matrix_world @ v.co for v in obj.data.vertices]
            low = [min(c[i] for c in corners) for i in range(3)]
            high = [max(c[i] for c in corners) for i in range(3)]
            print('%s box %s %s' % (kind, obj.name, ' '.join('%.3f' % (round(v, 3) + 0.0) for v in low + high)))
    for mat in sorted(bpy.data.materials, key=lambda m: m.name):
        if not mat.use_nodes:
            continue
        bsdf = next((n for n in mat.node_tree.nodes if n.type == 'BSDF_PRINCIPLED'), None)
        if not bsdf:
            continue
        emission = bsdf.inputs.get('Emission')
        print('%s material %s base=%s emission=%s normal=%s' % (
            kind, mat.name, linked_image(bsdf.inputs['Base Color']),
            linked_image(emission) if emission else '', linked_image(bsdf.inputs['Normal'])))
    for action in sorted(bpy.data.actions, key=lambda a: a.name):
        keys = sum(len(c.keyframe_points) for c in action.fcurves)
        print('%s action %s keys %d' % (kind, action.name, keys))


dae, glb = sys.argv[sys.argv.index('--') + 1:][:2]
reset()
try:
    bpy.ops.wm.collada_import(filepath=dae)
    report('dae')
except RuntimeError as error:
    print('dae failed %s' % str(error).splitlines()[0])
reset()
bpy.ops.import_scene.gltf(filepath=glb)
report('glb')
