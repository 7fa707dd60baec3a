#!/usr/bin/env python3
"""Writes small COLLADA documents in the styles of real exporters, for the import tests.

Every skinned document holds the same character: a textured bar 2 units tall with joints Bone
(at its foot) and Bone2 (half way up), whose motion bends Bone2 about the viewing axis from 0 to
90 degrees over one second. Only the way each exporter writes it differs (up axis, unit, node
layout, animation channels, material binding, texture references), so an importer that reads
them all right gets the same character from each.

Usage: make_fixtures.py OUT_DIR"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from paint import png_bytes  # noqa: E402

NS = "http://www.collada.org/2005/11/COLLADASchema"

# ---- Matrices (4 x 4, rows, column vectors as COLLADA writes them) ----------------------------


def mul(a, b):
    return [[sum(a[r][k] * b[k][c] for k in range(4)) for c in range(4)] for r in range(4)]


def identity():
    return [[1.0 if r == c else 0.0 for c in range(4)] for r in range(4)]


def translation(x, y, z):
    m = identity()
    m[0][3], m[1][3], m[2][3] = x, y, z
    return m


def rotation_z(degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    m = identity()
    m[0][0], m[0][1], m[1][0], m[1][1] = c, -s, s, c
    return m


def inverse_rigid(m):
    r = [[m[c][r_] for c in range(3)] for r_ in range(3)]
    t = [-sum(r[i][k] * m[k][3] for k in range(3)) for i in range(3)]
    return [r[0] + [t[0]], r[1] + [t[1]], r[2] + [t[2]], [0.0, 0.0, 0.0, 1.0]]


def num(v):
    v = round(v, 6)
    if v == 0:
        v = 0.0
    text = ("%.6f" % v).rstrip("0").rstrip(".")
    return text if text != "-0" else "0"


def cells(m):
    return " ".join(num(v) for row in m for v in row)


# ---- The document's frame ----------------------------------------------------------------------


class Frame:
    """How an exporter's frame differs from the design's (Y up, metres)."""

    def __init__(self, up, meter, unit_name):
        self.up, self.meter, self.unit_name = up, meter, unit_name
        # design (x, y, z) -> document: Z up puts design y on z and design z on -y.
        self.d = identity() if up == "Y_UP" else [[1, 0, 0, 0], [0, 0, -1, 0], [0, 1, 0, 0], [0, 0, 0, 1]]
        self.d_inv = identity() if up == "Y_UP" else [[1, 0, 0, 0], [0, 0, 1, 0], [0, -1, 0, 0], [0, 0, 0, 1]]

    def point(self, p):
        q = [sum(self.d[r][k] * p[k] for k in range(3)) for r in range(3)]
        return [v / self.meter for v in q]

    def direction(self, p):
        return [sum(self.d[r][k] * p[k] for k in range(3)) for r in range(3)]

    def matrix(self, m):
        out = mul(mul(self.d, m), self.d_inv)
        for r in range(3):
            out[r][3] /= self.meter
        return out

    def asset(self, tool):
        return ('<asset><contributor><authoring_tool>%s</authoring_tool></contributor>'
                '<unit name="%s" meter="%s"/><up_axis>%s</up_axis></asset>' % (tool, self.unit_name, num(self.meter), self.up))


# ---- The character (design frame) --------------------------------------------------------------

CORNERS = [(-0.2, -0.2), (0.2, -0.2), (0.2, 0.2), (-0.2, 0.2)]  # (x, z)
POSITIONS = [(x, float(ring), z) for ring in range(3) for (x, z) in CORNERS]
UVS = [(0.25 if k in (0, 3) else 0.75, ring / 2.0) for ring in range(3) for k in range(4)]
NORMALS = [(0, 0, -1), (1, 0, 0), (0, 0, 1), (-1, 0, 0), (0, -1, 0), (0, 1, 0)]
# Faces: (position indices, normal index); sides of both segments, then the caps.
FACES = [([s * 4 + k, s * 4 + (k + 1) % 4, (s + 1) * 4 + (k + 1) % 4, (s + 1) * 4 + k], k)
         for s in range(2) for k in range(4)] + [([0, 3, 2, 1], 4), ([8, 9, 10, 11], 5)]
# Influences per ring: (joint, weight index) pairs; weights 1 and 0.5.
RING_INFLUENCES = [[(0, 0)], [(0, 1), (1, 1)], [(1, 0)]]
BONE2_REST = translation(0, 1, 0)
KEY_TIMES = [0.0, 0.5, 1.0]
BEND = [0.0, 45.0, 90.0]


def bone2_local(degrees):
    return mul(BONE2_REST, rotation_z(degrees))


def float_source(id_, values, stride, params="X Y Z"):
    names = params.split()
    return ('<source id="%s"><float_array id="%s-array" count="%d">%s</float_array><technique_common>'
            '<accessor source="#%s-array" count="%d" stride="%d">%s</accessor></technique_common></source>'
            % (id_, id_, len(values), " ".join(num(v) for v in values), id_, len(values) // stride, stride,
               "".join('<param name="%s" type="float"/>' % n for n in names)))


def mesh(frame, geometry_id, material_symbol, offset=(0, 0, 0), primitive="polylist"):
    positions = [c for p in POSITIONS for c in frame.point([p[0] - offset[0], p[1] - offset[1], p[2] - offset[2]])]
    normals = [c for n in NORMALS for c in frame.direction(n)]
    uvs = [c for uv in UVS for c in uv]
    p = " ".join("%d %d %d" % (i, n, i) for (face, n) in FACES for i in face)
    inputs = ('<input semantic="VERTEX" source="#%s-vertices" offset="0"/><input semantic="NORMAL" source="#%s-normals" '
              'offset="1"/><input semantic="TEXCOORD" source="#%s-map" offset="2" set="0"/>' % ((geometry_id,) * 3))
    if primitive == "polylist":
        faces = ('<polylist material="%s" count="%d">%s<vcount>%s</vcount><p>%s</p></polylist>'
                 % (material_symbol, len(FACES), inputs, " ".join("4" for _ in FACES), p))
    else:
        faces = ('<polygons material="%s" count="%d">%s%s</polygons>'
                 % (material_symbol, len(FACES), inputs,
                    "".join("<p>%s</p>" % " ".join("%d %d %d" % (i, n, i) for i in face) for (face, n) in FACES)))
    return ('<geometry id="%s" name="%s"><mesh>%s%s%s<vertices id="%s-vertices"><input semantic="POSITION" '
            'source="#%s-positions"/></vertices>%s</mesh></geometry>'
            % (geometry_id, geometry_id, float_source(geometry_id + "-positions", positions, 3),
               float_source(geometry_id + "-normals", normals, 3), float_source(geometry_id + "-map", uvs, 2, "S T"),
               geometry_id, geometry_id, faces))


def skin(frame, controller_id, geometry_id, joint_names, bind_shape=None, names="Name_array"):
    binds = [identity(), BONE2_REST]
    inverse = [c for m in binds for row in frame.matrix(inverse_rigid(m)) for c in row]
    counts, v = [], []
    for ring in range(3):
        for _ in range(4):
            counts.append(len(RING_INFLUENCES[ring]))
            v += [c for pair in RING_INFLUENCES[ring] for c in pair]
    shape = cells(frame.matrix(bind_shape or identity()))
    return ('<controller id="%s"><skin source="#%s"><bind_shape_matrix>%s</bind_shape_matrix>'
            '<source id="%s-joints"><%s id="%s-joints-array" count="2">%s</%s><technique_common><accessor '
            'source="#%s-joints-array" count="2" stride="1"><param name="JOINT" type="name"/></accessor>'
            '</technique_common></source>%s%s<joints><input semantic="JOINT" source="#%s-joints"/><input '
            'semantic="INV_BIND_MATRIX" source="#%s-bind_poses"/></joints><vertex_weights count="12"><input '
            'semantic="JOINT" source="#%s-joints" offset="0"/><input semantic="WEIGHT" source="#%s-weights" '
            'offset="1"/><vcount>%s</vcount><v>%s</v></vertex_weights></skin></controller>'
            % (controller_id, geometry_id, shape, controller_id, names, controller_id, " ".join(joint_names), names,
               controller_id, float_source(controller_id + "-bind_poses", inverse, 16, "TRANSFORM"),
               float_source(controller_id + "-weights", [1.0, 0.5], 1, "WEIGHT"), controller_id, controller_id,
               controller_id, controller_id, " ".join(map(str, counts)), " ".join(map(str, v))))


def effect(effect_id, diffuse_texture, params=""):
    return ('<effect id="%s"><profile_COMMON>%s<technique sid="common"><phong><emission><color>0 0 0 1</color>'
            '</emission><ambient><color>0.3 0.3 0.3 1</color></ambient><diffuse><texture texture="%s" '
            'texcoord="UVMap"/></diffuse><specular><color>0.2 0.2 0.2 1</color></specular><shininess><float>20'
            '</float></shininess></phong></technique></profile_COMMON></effect>' % (effect_id, params, diffuse_texture))


def sampler_params(name, image_id):
    return ('<newparam sid="%s-surface"><surface type="2D"><init_from>%s</init_from></surface></newparam>'
            '<newparam sid="%s-sampler"><sampler2D><source>%s-surface</source></sampler2D></newparam>'
            % (name, image_id, name, name))


def materials(material_id, effect_id, image_id, init_from, effect_xml):
    return ('<library_images><image id="%s" name="%s"><init_from>%s</init_from></image></library_images>'
            '<library_effects>%s</library_effects><library_materials><material id="%s" name="%s">'
            '<instance_effect url="#%s"/></material></library_materials>'
            % (image_id, image_id, init_from, effect_xml, material_id, material_id, effect_id))


def instance_controller(controller_id, skeleton, symbol, target):
    return ('<instance_controller url="#%s"><skeleton>#%s</skeleton><bind_material><technique_common>'
            '<instance_material symbol="%s" target="#%s"><bind_vertex_input semantic="UVMap" '
            'input_semantic="TEXCOORD" input_set="0"/></instance_material></technique_common></bind_material>'
            '</instance_controller>' % (controller_id, skeleton, symbol, target))


def matrix_animation(id_, target, frame, locals_, nested_in=None):
    out = [c for m in locals_ for c in (v for row in frame.matrix(m) for v in row)]
    body = ('<animation id="%s">%s%s<source id="%s-interpolation"><Name_array id="%s-interpolation-array" count="%d">'
            '%s</Name_array></source><sampler id="%s-sampler"><input semantic="INPUT" source="#%s-input"/><input '
            'semantic="OUTPUT" source="#%s-output"/><input semantic="INTERPOLATION" source="#%s-interpolation"/>'
            '</sampler><channel source="#%s-sampler" target="%s"/></animation>'
            % (id_, float_source(id_ + "-input", KEY_TIMES, 1, "TIME"), float_source(id_ + "-output", out, 16,
               "TRANSFORM"), id_, id_, len(KEY_TIMES), " ".join("LINEAR" for _ in KEY_TIMES), id_, id_, id_, id_,
               id_, target))
    return body


def scalar_animation(id_, target, times, values):
    return ('<animation id="%s">%s%s<sampler id="%s-sampler"><input semantic="INPUT" source="#%s-input"/><input '
            'semantic="OUTPUT" source="#%s-output"/></sampler><channel source="#%s-sampler" target="%s"/></animation>'
            % (id_, float_source(id_ + "-input", times, 1, "TIME"), float_source(id_ + "-output", values, 1, "ANGLE"),
               id_, id_, id_, id_, target))


def document(asset, libraries, scene_nodes):
    return ('<?xml version="1.0" encoding="utf-8"?>\n<COLLADA xmlns="%s" version="1.4.1">%s%s<library_visual_scenes>'
            '<visual_scene id="Scene" name="Scene">%s</visual_scene></library_visual_scenes><scene>'
            '<instance_visual_scene url="#Scene"/></scene></COLLADA>\n' % (NS, asset, libraries, scene_nodes))


# ---- Styles --------------------------------------------------------------------------------------


def blender(version):
    """Blender's built-in exporter: Z up, joints with one matrix each, whole-matrix channels (2.8+ nests
    them in an action container), a skin placed by its bind shape, not by its node."""
    frame = Frame("Z_UP", 1.0, "meter")
    offset = (0, 0.5, 0) if version >= 2.8 else (0, 0, 0)
    joints = ('<node id="Armature" name="Armature" type="NODE"><matrix sid="transform">%s</matrix>'
              '<node id="Armature_Bone" name="Bone" sid="Bone" type="JOINT"><matrix sid="transform">%s</matrix>'
              '<node id="Armature_Bone2" name="Bone2" sid="Bone2" type="JOINT"><matrix sid="transform">%s</matrix>'
              '</node></node></node>' % (cells(identity()), cells(identity()), cells(frame.matrix(BONE2_REST))))
    bar = ('<node id="Bar" name="Bar" type="NODE"><matrix sid="transform">%s</matrix>%s</node>'
           % (cells(frame.matrix(translation(*offset))),
              instance_controller("Armature_Bar-skin", "Armature_Bone", "Material-material", "Material-material")))
    animations = (matrix_animation("Armature_Bone_pose_matrix", "Armature_Bone/transform", frame, [identity()] * 3)
                  + matrix_animation("Armature_Bone2_pose_matrix", "Armature_Bone2/transform", frame,
                                     [bone2_local(a) for a in BEND]))
    if version >= 2.8:
        animations = '<animation id="action_container-Armature" name="Armature">%s</animation>' % animations
    libs = (materials("Material-material", "Material-effect", "checker_png", "checker.png",
                      effect("Material-effect", "checker_png-sampler", sampler_params("checker_png", "checker_png")))
            + '<library_geometries>%s</library_geometries>' % mesh(frame, "Bar-mesh", "Material-material", offset)
            + '<library_controllers>%s</library_controllers>'
            % skin(frame, "Armature_Bar-skin", "Bar-mesh", ["Bone", "Bone2"], translation(*offset))
            + '<library_animations>%s</library_animations>' % animations)
    tool = "Blender 2.79.0" if version < 2.8 else "Blender 2.93.0"
    return document(frame.asset(tool), libs, joints + bar)


def maya():
    """OpenCOLLADA for Maya: Y up in centimetres, joints as translate and rotate elements with one channel
    per animated component, the mesh node before the skeleton, materials bound by their shading group's
    symbol, and a texture path from the artist's machine."""
    frame = Frame("Y_UP", 0.01, "centimeter")

    def joint(id_, translate, children=""):
        rotates = "".join('<rotate sid="%s">%s</rotate>' % (sid, axis) for sid, axis in [
            ("jointOrientZ", "0 0 1 0"), ("jointOrientY", "0 1 0 0"), ("jointOrientX", "1 0 0 0"),
            ("rotateZ", "0 0 1 0"), ("rotateY", "0 1 0 0"), ("rotateX", "1 0 0 0")])
        return ('<node id="%s" name="%s" sid="%s" type="JOINT"><translate sid="translate">%s</translate>%s%s</node>'
                % (id_, id_, id_, " ".join(num(v) for v in frame.point(translate)), rotates, children))

    bar = ('<node id="pCube1" name="pCube1" type="NODE"><translate sid="translate">0 0 0</translate>%s</node>'
           % instance_controller("pCubeShape1-skin", "joint1", "lambert2SG", "lambert2"))
    skeleton = joint("joint1", (0, 0, 0), joint("joint2", (0, 1, 0)))
    animations = (scalar_animation("joint1_rotateZ.ANGLE", "joint1/rotateZ.ANGLE", [0.0, 1.0], [0.0, 0.0])
                  + scalar_animation("joint2_rotateZ.ANGLE", "joint2/rotateZ.ANGLE", KEY_TIMES, BEND))
    path = "file:///C:/Users/artist/Documents/maya/projects/default/sourceimages/checker.png"
    libs = (materials("lambert2", "lambert2-fx", "file1", path,
                      effect("lambert2-fx", "file1-sampler", sampler_params("file1", "file1")))
            + '<library_geometries>%s</library_geometries>' % mesh(frame, "pCubeShape1", "lambert2SG")
            + '<library_controllers>%s</library_controllers>'
            % skin(frame, "pCubeShape1-skin", "pCubeShape1", ["joint1", "joint2"])
            + '<library_animations>%s</library_animations>' % animations)
    return document(frame.asset("OpenCOLLADA for Autodesk Maya;  Version: 1.6.68"), libs, bar + skeleton)


def max_opencollada():
    """OpenCOLLADA for 3ds Max: Z up in inches, joints named with spaces whose sids the skin names,
    whole-matrix channels, a material symbol unlike its id, and a diffuse texture that names its image
    directly."""
    frame = Frame("Z_UP", 0.0254, "inch")
    joints = ('<node id="node-Bone001" name="Bone 001" sid="Bone001" type="JOINT"><matrix sid="matrix">%s</matrix>'
              '<node id="node-Bone002" name="Bone 002" sid="Bone002" type="JOINT"><matrix sid="matrix">%s</matrix>'
              '</node></node>' % (cells(identity()), cells(frame.matrix(BONE2_REST))))
    bar = ('<node id="node-Box001" name="Box001"><matrix sid="matrix">%s</matrix>%s</node>'
           % (cells(identity()), instance_controller("geom-Box001-skin1", "node-Bone001", "_1_-_Default_1",
                                                     "_1_-_Default-material")))
    animations = (matrix_animation("node-Bone001_matrix", "node-Bone001/matrix", frame, [identity()] * 3)
                  + matrix_animation("node-Bone002_matrix", "node-Bone002/matrix", frame,
                                     [bone2_local(a) for a in BEND]))
    libs = (materials("_1_-_Default-material", "_1_-_Default", "checker_png", "checker.png",
                      effect("_1_-_Default", "checker_png"))
            + '<library_geometries>%s</library_geometries>' % mesh(frame, "geom-Box001", "_1_-_Default_1")
            + '<library_controllers>%s</library_controllers>'
            % skin(frame, "geom-Box001-skin1", "geom-Box001", ["Bone001", "Bone002"])
            + '<library_animations>%s</library_animations>' % animations)
    return document(frame.asset("OpenCOLLADA for 3ds Max;  Version: 1.6;  Revision: 68"), libs, joints + bar)


def fcollada():
    """Feeling ColladaMax (FCollada): Z up, one channel per matrix cell (constant cells keyed only at the
    ends), a scene that shows the skeleton posed away from its bind pose, images whose ids look like file
    names with absolute paths from the exporting machine."""
    frame = Frame("Z_UP", 1.0, "meter")
    scene_pose = bone2_local(30)
    joints = ('<node id="Bone01" name="Bone01" sid="Bone01" type="JOINT"><matrix sid="transform">%s</matrix>'
              '<node id="Bone02" name="Bone02" sid="Bone02" type="JOINT"><matrix sid="transform">%s</matrix>'
              '</node></node>' % (cells(identity()), cells(frame.matrix(scene_pose))))
    bar = ('<node id="Box01-node" name="Box01">%s</node>'
           % instance_controller("Box01-skin", "Bone01", "Material01", "Material01"))
    animations = []
    for bone, locals_ in [("Bone01", [identity()] * 3), ("Bone02", [bone2_local(a) for a in BEND])]:
        matrices = [frame.matrix(m) for m in locals_]
        for r in range(4):
            for c in range(4):
                values = [m[r][c] for m in matrices]
                times, keyed = (KEY_TIMES, values) if len(set(round(v, 6) for v in values)) > 1 else \
                    ([0.0, 1.0], [values[0], values[0]])
                animations.append(scalar_animation("%s-transform_%d_%d" % (bone, r, c),
                                                   "%s/transform(%d)(%d)" % (bone, r, c), times, keyed))
    libs = (materials("Material01", "Material01-fx", "checker.png", "file:///C:/Documents/textures/checker.png",
                      effect("Material01-fx", "checker_png-sampler", sampler_params("checker_png", "checker.png")))
            + '<library_geometries>%s</library_geometries>' % mesh(frame, "Box01-mesh", "Material01")
            + '<library_controllers>%s</library_controllers>'
            % skin(frame, "Box01-skin", "Box01-mesh", ["Bone01", "Bone02"], names="IDREF_array")
            + '<library_animations>%s</library_animations>' % "".join(animations))
    return document(frame.asset("3dsMax 9 - Feeling ColladaMax v3.05B."), libs, joints + bar)


def godot():
    """The Godot "Better Collada" exporter for Blender: Z up, generated ids, polygons instead of a polylist,
    whole-matrix channels, a symbol unlike the material's id, and a concave face on a static part."""
    frame = Frame("Z_UP", 1.0, "meter")
    joints = ('<node id="id-bone-3" name="Bone" sid="id-bone-3-sid" type="JOINT"><matrix sid="transform">%s</matrix>'
              '<node id="id-bone-4" name="Bone2" sid="id-bone-4-sid" type="JOINT"><matrix sid="transform">%s</matrix>'
              '</node></node>' % (cells(identity()), cells(frame.matrix(BONE2_REST))))
    bar = ('<node id="id-node-2" name="Bar">%s</node>'
           % instance_controller("id-skin-5", "id-bone-3", "id-trimat-11", "id-material-9"))
    # An L-shaped flag, flat in the design's xy plane, standing beside the bar.
    outline = [(0, 0), (1, 0), (1, 0.4), (0.4, 0.4), (0.4, 1), (0, 1)]
    flag_points = [c for (x, y) in outline for c in frame.point([x, y, 0])]
    flag = ('<geometry id="id-flag-12"><mesh>%s<vertices id="id-flag-12-vertices"><input semantic="POSITION" '
            'source="#id-flag-12-positions"/></vertices><polygons material="id-trimat-11" count="1"><input '
            'semantic="VERTEX" source="#id-flag-12-vertices" offset="0"/><p>0 1 2 3 4 5</p></polygons></mesh></geometry>'
            % float_source("id-flag-12-positions", flag_points, 3))
    flag_node = ('<node id="id-node-13" name="Flag"><matrix sid="transform">%s</matrix><instance_geometry '
                 'url="#id-flag-12"><bind_material><technique_common><instance_material symbol="id-trimat-11" '
                 'target="#id-material-9"/></technique_common></bind_material></instance_geometry></node>'
                 % cells(frame.matrix(translation(1, 0, 0))))
    animations = (matrix_animation("id-anim-20", "id-bone-3/transform", frame, [identity()] * 3)
                  + matrix_animation("id-anim-21", "id-bone-4/transform", frame, [bone2_local(a) for a in BEND]))
    # The skin names its joints by the sids the exporter generates.
    libs = (materials("id-material-9", "id-fx-8", "id-image-7", "checker.png",
                      effect("id-fx-8", "id-7-sampler", sampler_params("id-7", "id-image-7")))
            + '<library_geometries>%s%s</library_geometries>' % (mesh(frame, "id-mesh-6", "id-trimat-11",
                                                                      primitive="polygons"), flag)
            + '<library_controllers>%s</library_controllers>'
            % skin(frame, "id-skin-5", "id-mesh-6", ["id-bone-3-sid", "id-bone-4-sid"])
            + '<library_animations>%s</library_animations>' % animations
            + '<library_animation_clips><animation_clip id="bend" start="0" end="1"><instance_animation url="#id-anim-21"/>'
            '</animation_clip></library_animation_clips>')
    return document(frame.asset("Collada Exporter for Blender 2.6+, by Juan Linietsky (juan@codenix.com)"), libs,
                    joints + bar + flag_node)


def sketchup():
    """SketchUp: Z up in inches, static geometry only, a component in library_nodes placed twice by
    instance_node under transformed nodes, triangles with SketchUp's edges as lines, every material bound
    to the one symbol "Material2", and a texture in a folder beside the document."""
    frame = Frame("Z_UP", 0.0254, "inch")
    # The bar's side faces as triangles, without a skin.
    tris = [i for (face, n) in FACES for i in (face[0], face[1], face[2], face[0], face[2], face[3])]
    positions = [c for p in POSITIONS for c in frame.point(p)]
    uvs = [c for uv in UVS for c in uv]
    geometry = ('<geometry id="ID3"><mesh>%s%s<vertices id="ID3-vertices"><input semantic="POSITION" source="#ID3-positions"/>'
                '</vertices><triangles count="%d" material="Material2"><input semantic="VERTEX" source="#ID3-vertices" '
                'offset="0"/><input semantic="TEXCOORD" source="#ID3-uv" offset="1" set="0"/><p>%s</p></triangles>'
                '<lines count="2" material="Material2"><input semantic="VERTEX" source="#ID3-vertices" offset="0"/>'
                '<p>0 1 1 2</p></lines></mesh></geometry>'
                % (float_source("ID3-positions", positions, 3), float_source("ID3-uv", uvs, 2, "S T"), len(tris) // 3,
                   " ".join("%d %d" % (i, i) for i in tris)))
    component = ('<library_nodes><node id="ID2" name="Bar"><instance_geometry url="#ID3"><bind_material>'
                 '<technique_common><instance_material symbol="Material2" target="#ID5"><bind_vertex_input '
                 'semantic="UVSET0" input_semantic="TEXCOORD" input_set="0"/></instance_material></technique_common>'
                 '</bind_material></instance_geometry></node></library_nodes>')
    nodes = ('<node name="SketchUp"><node id="ID1" name="left"><matrix>%s</matrix><instance_node url="#ID2"/></node>'
             '<node id="ID4" name="right"><matrix>%s</matrix><instance_node url="#ID2"/></node></node>'
             % (cells(frame.matrix(translation(-0.5, 0, 0))), cells(frame.matrix(translation(0.5, 0, 0)))))
    libs = (materials("ID5", "ID6", "ID7", "sketchup/checker.png",
                      effect("ID6", "ID8", '<newparam sid="ID9"><surface type="2D"><init_from>ID7</init_from></surface>'
                             '</newparam><newparam sid="ID8"><sampler2D><source>ID9</source></sampler2D></newparam>'))
            + '<library_geometries>%s</library_geometries>' % geometry + component)
    return document(frame.asset("Google SketchUp 8.0.4811"), libs, nodes)


STYLES = {
    "blender27_matrix.dae": lambda: blender(2.79),
    "blender28_nested.dae": lambda: blender(2.93),
    "maya_opencollada.dae": maya,
    "max_opencollada.dae": max_opencollada,
    "fcollada_cells.dae": fcollada,
    "godot_better_collada.dae": godot,
    "sketchup_instances.dae": sketchup,
}

# The checker: blue and green at the bar's foot, red and yellow at its top.
TEXTURE = [[(230, 40, 40), (240, 220, 40)], [(40, 80, 230), (40, 200, 80)]]


def main(out):
    os.makedirs(os.path.join(out, "sketchup"), exist_ok=True)
    for name, make in STYLES.items():
        with open(os.path.join(out, name), "w", newline="\n") as f:
            f.write(make())
    for path in ("checker.png", os.path.join("sketchup", "checker.png")):
        with open(os.path.join(out, path), "wb") as f:
            f.write(png_bytes(TEXTURE))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tests/motion/import/fixtures")
