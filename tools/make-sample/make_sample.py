#!/usr/bin/env python3
"""Generates the sample character into a mascot folder:

    make_sample.py OUTDIR     writes OUTDIR/model/momo.dae, OUTDIR/model/momo.png and
                              OUTDIR/motion/<name>.dae for every motion

The output depends on nothing but this code: running it again gives the same bytes."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import body  # noqa: E402
import collada  # noqa: E402
import motions  # noqa: E402
import paint  # noqa: E402
import rig  # noqa: E402

NAME = "momo"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode, **({} if mode == "wb" else {"encoding": "utf-8", "newline": "\n"})) as f:
        f.write(data)


def main(argv):
    if len(argv) != 2:
        print("usage: make_sample.py OUTDIR", file=sys.stderr)
        return 2
    out = argv[1]
    parts = body.parts()
    mesh = body.Mesh()
    for part in parts:
        mesh.add_part(part)
    write(os.path.join(out, "model", NAME + ".png"), paint.png_bytes(paint.paint_atlas(parts)))
    write(os.path.join(out, "model", NAME + ".dae"), collada.model_document(mesh, NAME, NAME + ".png"))
    for motion in motions.MOTIONS:
        write(os.path.join(out, "motion", motion.name + ".dae"), collada.motion_document(motion, NAME))
    print("%s: %d joints, %d vertices, %d triangles, %d motions" % (
        out, len(rig.NAMES), len(mesh.positions), mesh.triangle_count(), len(motions.MOTIONS)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
