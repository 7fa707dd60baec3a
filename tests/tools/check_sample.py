#!/usr/bin/env python3
"""Checks the committed sample character the way the importer will read it.
Usage: check_sample.py MASCOT_DIR (the folder holding model/ and motion/)."""

import os
import struct
import sys
import unittest
import xml.etree.ElementTree as ET
import zlib

NS = {"c": "http://www.collada.org/2005/11/COLLADASchema"}
MOTIONS = {  # name: whether playback loops it seamlessly
    "stand": True, "walk": True, "turn": True, "wave": True,
    "sit": True, "dangle": True, "fall": True, "land": False,
}
ROOT_MOTION = {"walk"}
FOLDER = None


def load(rel):
    return ET.parse(os.path.join(FOLDER, rel)).getroot()


def floats(element):
    return [float(x) for x in element.text.split()]


def ints(element):
    return [int(x) for x in element.text.split()] if element.text else []


def source_values(doc, ref):
    source = doc.find(".//c:source[@id='%s']" % ref.lstrip("#"), NS)
    array = source.find("c:float_array", NS)
    if array is None:
        array = source.find("c:Name_array", NS)
        return array.text.split()
    stride = int(source.find(".//c:accessor", NS).get("stride", "1"))
    values = floats(array)
    return [values[i:i + stride] for i in range(0, len(values), stride)]


def joint_nodes(doc):
    return [n for n in doc.iter("{%s}node" % NS["c"]) if n.get("type") == "JOINT"]


class Model(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.doc = load("model/momo.dae")
        cls.joints = [n.get("name") for n in joint_nodes(cls.doc)]

    def test_joint_hierarchy(self):
        self.assertTrue(15 <= len(self.joints) <= 30, len(self.joints))
        self.assertEqual(len(set(self.joints)), len(self.joints), "joint names must be unique")
        root = joint_nodes(self.doc)[0]
        self.assertEqual(root.find("c:translate", NS).text.split(), ["0", "0", "0"],
                         "the root joint stays at the origin, or playback would shift the skin")

    def test_triangles_after_fan_triangulation(self):
        polylists = self.doc.findall(".//c:mesh/c:polylist", NS)
        self.assertEqual(len(polylists), 1, "one polygon set, so one prim and one texture")
        triangles = sum(n - 2 for n in ints(polylists[0].find("c:vcount", NS)) if n >= 3)
        self.assertTrue(3000 <= triangles <= 8000, triangles)

    def test_polylist_indices(self):
        mesh = self.doc.find(".//c:mesh", NS)
        poly = mesh.find("c:polylist", NS)
        inputs = {i.get("semantic"): i for i in poly.findall("c:input", NS)}
        self.assertEqual(set(inputs), {"VERTEX", "NORMAL", "TEXCOORD"})
        stride = 1 + max(int(i.get("offset")) for i in inputs.values())
        vcount, p = ints(poly.find("c:vcount", NS)), ints(poly.find("c:p", NS))
        self.assertEqual(len(p), sum(vcount) * stride)
        self.assertEqual(int(poly.get("count")), len(vcount))
        position_ref = mesh.find("c:vertices/c:input[@semantic='POSITION']", NS).get("source")
        sizes = {"VERTEX": len(source_values(self.doc, position_ref)),
                 "NORMAL": len(source_values(self.doc, inputs["NORMAL"].get("source"))),
                 "TEXCOORD": len(source_values(self.doc, inputs["TEXCOORD"].get("source")))}
        for semantic, element in inputs.items():
            indices = p[int(element.get("offset"))::stride]
            self.assertLess(max(indices), sizes[semantic], semantic)
            self.assertGreaterEqual(min(indices), 0, semantic)

    def test_skin_weights(self):
        skin = self.doc.find(".//c:controller/c:skin", NS)
        names = source_values(self.doc, skin.find("c:joints/c:input[@semantic='JOINT']", NS).get("source"))
        self.assertTrue(set(names) <= set(self.joints), "every skin joint names a joint node")
        vw = skin.find("c:vertex_weights", NS)
        weights = [w[0] for w in source_values(self.doc, vw.find("c:input[@semantic='WEIGHT']", NS).get("source"))]
        vcount, v = ints(vw.find("c:vcount", NS)), ints(vw.find("c:v", NS))
        positions = source_values(self.doc, self.doc.find(".//c:vertices/c:input", NS).get("source"))
        self.assertEqual(len(vcount), len(positions), "one influence list per position")
        self.assertEqual(len(v), 2 * sum(vcount))
        cursor, blended = 0, 0
        for vertex, count in enumerate(vcount):
            self.assertTrue(1 <= count <= 4, "vertex %d has %d influences" % (vertex, count))
            pairs = [(v[cursor + 2 * k], weights[v[cursor + 2 * k + 1]]) for k in range(count)]
            cursor += 2 * count
            self.assertAlmostEqual(sum(w for _, w in pairs), 1.0, delta=1e-6, msg="vertex %d" % vertex)
            self.assertTrue(all(w > 0.0 and 0 <= j < len(names) for j, w in pairs), vertex)
            blended += count > 1
        self.assertGreater(blended, len(vcount) // 5, "joints blend smoothly over several influences")

    def test_texture(self):
        init = self.doc.find(".//c:library_images/c:image/c:init_from", NS).text
        with open(os.path.join(FOLDER, "model", init), "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        pos, idat = 8, b""
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            chunk = data[pos + 8:pos + 8 + length]
            crc = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0]
            self.assertEqual(zlib.crc32(kind + chunk) & 0xFFFFFFFF, crc, kind)
            if kind == b"IHDR":
                width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            idat += chunk if kind == b"IDAT" else b""
            pos += 12 + length
        self.assertEqual((depth, colour), (8, 2), "8-bit RGB: an opaque body needs no alpha")
        self.assertEqual(len(zlib.decompress(idat)), height * (1 + 3 * width))


class Motions(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.model_joints = {n.get("name") for n in joint_nodes(load("model/momo.dae"))}

    def curves(self, doc):
        """{(node, sid, component): (times, values)} of every channel."""
        out = {}
        for anim in doc.iter("{%s}animation" % NS["c"]):
            for channel in anim.findall("c:channel", NS):
                node, rest = channel.get("target").split("/")
                sid, component = rest.split(".")
                sampler = anim.find("c:sampler[@id='%s']" % channel.get("source").lstrip("#"), NS)
                get = lambda sem: [x[0] for x in source_values(
                    doc, sampler.find("c:input[@semantic='%s']" % sem, NS).get("source"))]
                out[node, sid, component] = (get("INPUT"), get("OUTPUT"))
        return out

    def test_every_motion(self):
        for name, loops in MOTIONS.items():
            with self.subTest(motion=name):
                doc = load("motion/%s.dae" % name)
                root = joint_nodes(doc)[0].get("id")
                curves = self.curves(doc)
                self.assertEqual({k[0] for k in curves}, self.model_joints, "every joint animated")
                for (node, sid, component), (times, values) in curves.items():
                    self.assertIn((sid, component), [("translate", c) for c in "XYZ"]
                                  + [("rotate" + a, "ANGLE") for a in "XYZ"])
                    # A key's translation and rotation are merged per time: all channels of a
                    # joint must share their times, or keys lose their translation.
                    self.assertEqual(times, curves[node, "translate", "X"][0], (node, sid))
                    self.assertEqual(times, sorted(set(times)), (node, sid))
                    self.assertEqual(times[0], 0.0)
                    if node == root and sid == "translate":
                        self.check_root(name, component, values)
                    elif loops:
                        self.assertAlmostEqual(values[0], values[-1], delta=1e-5,
                                               msg="%s %s.%s does not close its loop" % (node, sid, component))

    def check_root(self, name, component, values):
        if name in ROOT_MOTION and component == "Z":
            self.assertEqual(values[0], 0.0)
            self.assertGreater(values[-1], 0.0, "walking carries the character forward")
            self.assertEqual(values, sorted(values), "forward only")
        else:
            self.assertEqual(set(values), {0.0}, "%s: the root moves only in walk" % name)


if __name__ == "__main__":
    FOLDER = sys.argv.pop(1)
    unittest.main(verbosity=1)
