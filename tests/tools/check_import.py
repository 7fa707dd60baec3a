#!/usr/bin/env python3
"""Imports the sample model and every motion with mascot-inspect and checks that nothing was
reported and that the importer built what the generator wrote: the joints in document order,
every triangle, and per motion its length and one key per key time on every joint.
Usage: check_import.py MASCOT_INSPECT MASCOT_DIR"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

NS = "{http://www.collada.org/2005/11/COLLADASchema}"
MOTIONS = ["stand", "walk", "turn", "wave", "sit", "dangle", "fall", "land"]


def expected_model(path):
    doc = ET.parse(path).getroot()
    joints = [n.get("name") for n in doc.iter(NS + "node") if n.get("type") == "JOINT"]
    vcount = [int(x) for x in doc.find(".//%spolylist/%svcount" % (NS, NS)).text.split()]
    return joints, sum(n - 2 for n in vcount if n >= 3)


def expected_motion(path):
    doc = ET.parse(path).getroot()
    times = doc.find(".//%sanimation/%ssource/%sfloat_array" % (NS, NS, NS)).text.split()
    return float(times[-1]), len(times)


def main(inspect, folder):
    model = os.path.join("model", "momo.dae")
    motions = [os.path.join("motion", m + ".dae") for m in MOTIONS]
    run = subprocess.run([os.path.abspath(inspect), model] + motions, cwd=folder, capture_output=True, text=True)
    out = run.stdout
    problems = []
    if run.returncode != 0 or "model %s: loaded" % model not in out:
        problems.append("the model did not load (exit %d)" % run.returncode)
    joints, triangles = expected_model(os.path.join(folder, model))
    got_joints = re.findall(r"^joint \d+: (\S+) ", out, re.M)
    if got_joints != joints:
        problems.append("joints %s, expected %s" % (got_joints, joints))
    got_triangles = re.search(r"^triangles: (\d+)$", out, re.M)
    if not got_triangles or int(got_triangles.group(1)) != triangles:
        problems.append("triangles %s, expected %d" % (got_triangles and got_triangles.group(1), triangles))
    if "not loaded)" in out:
        problems.append("a texture did not load")
    for path in motions:
        length, keys = expected_motion(os.path.join(folder, path))
        head = re.search(r"^motion %s: length (\S+) s, (\d+) curves, \d+ with keys$" % re.escape(path), out, re.M)
        if not head or abs(float(head.group(1)) - length) > 1e-5 or int(head.group(2)) != len(joints):
            problems.append("%s: %s, expected length %g and %d curves" % (path, head and head.group(0), length, len(joints)))
            continue
        block = out[head.end():].split("\nmotion ")[0]
        counts = [int(k) for k in re.findall(r"^  curve \d+ \(\S+\): (\d+) keys$", block, re.M)]
        if counts != [keys] * len(joints):
            problems.append("%s: keys per curve %s, expected %d each" % (path, counts, keys))
    # The message window's "loading" texts are normal; anything else is a problem.
    messages = out.split("\nmessages: ", 1)[-1].splitlines()[1:]
    problems += ["reported: " + m for m in messages if not m.startswith("message window: ")]
    for p in problems:
        print(p)
    if problems:
        print(out)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
