"""COLLADA 1.4.1 writer for the sample character, laid out as common exporters write it:
Y up, joint nodes with translate and rotateZ/Y/X elements, a skin controller over one mesh with
a polylist, and animations with one channel per component of those elements."""

import rig

NS = "http://www.collada.org/2005/11/COLLADASchema"
STAMP = "2026-01-01T00:00:00Z"  # fixed, so that the files are reproducible
ROTATIONS = (("rotateZ", (0, 0, 1), 2), ("rotateY", (0, 1, 0), 1), ("rotateX", (1, 0, 0), 0))


def num(x):
    """Fixed formatting: at most six decimals, no trailing zeros, never "-0"."""
    text = "%.6f" % x
    text = text.rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def nums(values):
    return " ".join(num(v) for v in values)


def ints(values):
    return " ".join(str(v) for v in values)


class Writer:
    def __init__(self):
        self.lines = ['<?xml version="1.0" encoding="utf-8"?>']
        self.depth = 0

    def open(self, tag, **attrs):
        self.lines.append("  " * self.depth + "<%s%s>" % (tag, attributes(attrs)))
        self.depth += 1

    def close(self, tag):
        self.depth -= 1
        self.lines.append("  " * self.depth + "</%s>" % tag)

    def leaf(self, tag, text=None, **attrs):
        pad = "  " * self.depth
        if text is None:
            self.lines.append("%s<%s%s/>" % (pad, tag, attributes(attrs)))
        else:
            self.lines.append("%s<%s%s>%s</%s>" % (pad, tag, attributes(attrs), text, tag))

    def text(self):
        return "\n".join(self.lines) + "\n"


def attributes(attrs):
    # Python keywords and dashes cannot be keyword arguments: a trailing "_" is dropped.
    return "".join(' %s="%s"' % (k.rstrip("_"), v) for k, v in attrs.items())


def header(w, title):
    w.open("COLLADA", xmlns=NS, version="1.4.1")
    w.open("asset")
    w.open("contributor")
    w.leaf("author", "make-sample")
    w.leaf("authoring_tool", "make-sample (tools/make-sample)")
    w.leaf("comments", title)
    w.close("contributor")
    w.leaf("created", STAMP)
    w.leaf("modified", STAMP)
    w.leaf("unit", name="meter", meter="1")
    w.leaf("up_axis", "Y_UP")
    w.close("asset")


def float_source(w, ident, values, stride, params, param_type="float"):
    w.open("source", id=ident)
    w.leaf("float_array", nums(values), id=ident + "-array", count=len(values))
    accessor(w, ident, len(values) // stride, stride, params, param_type)
    w.close("source")


def name_source(w, ident, names, param):
    w.open("source", id=ident)
    w.leaf("Name_array", " ".join(names), id=ident + "-array", count=len(names))
    accessor(w, ident, len(names), 1, [param], "name" if param == "JOINT" else "Name")
    w.close("source")


def accessor(w, ident, count, stride, params, param_type):
    w.open("technique_common")
    w.open("accessor", source="#" + ident + "-array", count=count, stride=stride)
    for p in params:
        if p:
            w.leaf("param", name=p, type=param_type)
        else:
            w.leaf("param", type=param_type)
    w.close("accessor")
    w.close("technique_common")


def joint_nodes(w, pose=None):
    """The skeleton: one node per joint with its (rest) translation and three rotations."""
    children = {}
    for name, parent, _ in rig.JOINTS:
        children.setdefault(parent, []).append(name)

    def node(name):
        translate, euler = pose[name] if pose else (rig.local_offset(name), (0.0, 0.0, 0.0))
        w.open("node", id=name, name=name, sid=name, type="JOINT")
        w.leaf("translate", nums(translate), sid="translate")
        for sid, axis, k in ROTATIONS:
            w.leaf("rotate", nums(axis + (euler[k],)), sid=sid)
        for child in children.get(name, []):
            node(child)
        w.close("node")
    node(rig.NAMES[0])


def model_document(mesh, name, texture_file):
    w = Writer()
    header(w, "The sample character '%s': skinned mesh, %d joints" % (name, len(rig.NAMES)))
    mat, fx, img = name + "-material", name + "-effect", name + "-image"
    w.open("library_images")
    w.open("image", id=img, name=img)
    w.leaf("init_from", texture_file)
    w.close("image")
    w.close("library_images")
    effect(w, fx, img)
    w.open("library_materials")
    w.open("material", id=mat, name=name)
    w.leaf("instance_effect", url="#" + fx)
    w.close("material")
    w.close("library_materials")
    geometry(w, mesh, name, mat)
    controller(w, mesh, name)
    w.open("library_visual_scenes")
    w.open("visual_scene", id="Scene", name="Scene")
    joint_nodes(w)
    w.open("node", id=name + "-body", name=name, type="NODE")
    w.open("instance_controller", url="#" + name + "-skin")
    w.leaf("skeleton", "#" + rig.NAMES[0])
    w.open("bind_material")
    w.open("technique_common")
    w.open("instance_material", symbol=mat, target="#" + mat)
    w.leaf("bind_vertex_input", semantic="UVMap", input_semantic="TEXCOORD", input_set="0")
    w.close("instance_material")
    w.close("technique_common")
    w.close("bind_material")
    w.close("instance_controller")
    w.close("node")
    w.close("visual_scene")
    w.close("library_visual_scenes")
    scene(w)
    return w.text()


def effect(w, fx, img):
    w.open("library_effects")
    w.open("effect", id=fx)
    w.open("profile_COMMON")
    w.open("newparam", sid=img + "-surface")
    w.open("surface", type="2D")
    w.leaf("init_from", img)
    w.close("surface")
    w.close("newparam")
    w.open("newparam", sid=img + "-sampler")
    w.open("sampler2D")
    w.leaf("source", img + "-surface")
    w.close("sampler2D")
    w.close("newparam")
    w.open("technique", sid="common")
    w.open("lambert")
    # With a white ambient light, the ambient colour is the shade of the side facing away.
    for tag, rgba in (("emission", "0 0 0 1"), ("ambient", "0.55 0.55 0.55 1")):
        w.open(tag)
        w.leaf("color", rgba, sid=tag)
        w.close(tag)
    w.open("diffuse")
    w.leaf("texture", texture=img + "-sampler", texcoord="UVMap")
    w.close("diffuse")
    w.close("lambert")
    w.close("technique")
    w.close("profile_COMMON")
    w.close("effect")
    w.close("library_effects")


def geometry(w, mesh, name, mat):
    gid = name + "-mesh"
    w.open("library_geometries")
    w.open("geometry", id=gid, name=name)
    w.open("mesh")
    float_source(w, gid + "-positions", [c for p in mesh.positions for c in p], 3, ["X", "Y", "Z"])
    float_source(w, gid + "-normals", [c for n in mesh.normals for c in n], 3, ["X", "Y", "Z"])
    float_source(w, gid + "-map", [c for t in mesh.uvs for c in t], 2, ["S", "T"])
    w.open("vertices", id=gid + "-vertices")
    w.leaf("input", semantic="POSITION", source="#" + gid + "-positions")
    w.close("vertices")
    w.open("polylist", material=mat, count=len(mesh.faces))
    w.leaf("input", semantic="VERTEX", source="#" + gid + "-vertices", offset=0)
    w.leaf("input", semantic="NORMAL", source="#" + gid + "-normals", offset=1)
    w.leaf("input", semantic="TEXCOORD", source="#" + gid + "-map", offset=2, set_=0)
    w.leaf("vcount", ints(len(f) for f in mesh.faces))
    w.leaf("p", ints(i for f in mesh.faces for i in f for _ in range(3)))
    w.close("polylist")
    w.close("mesh")
    w.close("geometry")
    w.close("library_geometries")


def controller(w, mesh, name):
    cid = name + "-skin"
    w.open("library_controllers")
    w.open("controller", id=cid, name=cid)
    w.open("skin", source="#" + name + "-mesh")
    w.leaf("bind_shape_matrix", "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1")
    name_source(w, cid + "-joints", rig.NAMES, "JOINT")
    inverse_binds = []
    for joint in rig.NAMES:
        x, y, z = rig.BIND[joint]
        inverse_binds += [1, 0, 0, -x, 0, 1, 0, -y, 0, 0, 1, -z, 0, 0, 0, 1]
    float_source(w, cid + "-bind_poses", inverse_binds, 16, ["TRANSFORM"], "float4x4")
    weights, vcount, v = [], [], []
    for influences in mesh.influences:
        vcount.append(len(influences))
        for joint, thousandths in influences:
            v += [rig.INDEX[joint], len(weights)]
            weights.append(thousandths / 1000.0)
    float_source(w, cid + "-weights", weights, 1, ["WEIGHT"])
    w.open("joints")
    w.leaf("input", semantic="JOINT", source="#" + cid + "-joints")
    w.leaf("input", semantic="INV_BIND_MATRIX", source="#" + cid + "-bind_poses")
    w.close("joints")
    w.open("vertex_weights", count=len(mesh.influences))
    w.leaf("input", semantic="JOINT", source="#" + cid + "-joints", offset=0)
    w.leaf("input", semantic="WEIGHT", source="#" + cid + "-weights", offset=1)
    w.leaf("vcount", ints(vcount))
    w.leaf("v", ints(v))
    w.close("vertex_weights")
    w.close("skin")
    w.close("controller")
    w.close("library_controllers")


def motion_document(motion, name):
    times = motion.times()
    poses = [motion.pose(t) for t in times]
    w = Writer()
    header(w, "Motion '%s' of the sample character '%s': %s s, %d keys%s" % (
        motion.name, name, num(motion.length), len(times), ", looping" if motion.loops else ""))
    w.open("library_animations")
    for joint in rig.NAMES:
        for k, axis in enumerate("XYZ"):
            channel(w, joint, "translate", axis, times, [p[joint][0][k] for p in poses])
        for sid, _, k in ROTATIONS:
            channel(w, joint, sid, "ANGLE", times, [p[joint][1][k] for p in poses])
    w.close("library_animations")
    w.open("library_visual_scenes")
    w.open("visual_scene", id="Scene", name="Scene")
    joint_nodes(w, poses[0])
    w.close("visual_scene")
    w.close("library_visual_scenes")
    scene(w)
    return w.text()


def channel(w, joint, sid, component, times, values):
    aid = "%s-%s_%s" % (joint, sid, component)
    w.open("animation", id=aid)
    float_source(w, aid + "-input", times, 1, ["TIME"])
    float_source(w, aid + "-output", values, 1, [component])
    name_source(w, aid + "-interpolation", ["LINEAR"] * len(times), "INTERPOLATION")
    w.open("sampler", id=aid + "-sampler")
    w.leaf("input", semantic="INPUT", source="#" + aid + "-input")
    w.leaf("input", semantic="OUTPUT", source="#" + aid + "-output")
    w.leaf("input", semantic="INTERPOLATION", source="#" + aid + "-interpolation")
    w.close("sampler")
    w.leaf("channel", source="#" + aid + "-sampler", target="%s/%s.%s" % (joint, sid, component))
    w.close("animation")


def scene(w):
    w.open("scene")
    w.leaf("instance_visual_scene", url="#Scene")
    w.close("scene")
    w.close("COLLADA")
