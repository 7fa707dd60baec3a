"""The sample character's skeleton: joint names, hierarchy and bind positions, plus the small
vector helpers the mesh code uses.

Coordinates are the document's: right-handed, Y up, the character facing +Z, its left at +X,
its feet on y = 0 and about 1.0 tall. Every joint's bind orientation is the identity, so a
motion's rotations are exactly the turns away from the rest pose."""

import math

# (name, parent, bind position in world space). Parents come before their children; the first
# joint is the root, which stays at the origin so that playback can turn its translation into
# root motion without moving the skin.
JOINTS = [
    ("Root", None, (0.0, 0.0, 0.0)),
    ("Hips", "Root", (0.0, 0.36, 0.0)),
    ("Spine", "Hips", (0.0, 0.44, 0.0)),
    ("Chest", "Spine", (0.0, 0.52, 0.0)),
    ("Neck", "Chest", (0.0, 0.595, 0.0)),
    ("Head", "Neck", (0.0, 0.645, 0.0)),
    ("Eyelids", "Head", (0.0, 0.79, 0.0)),
    ("Tail_L", "Head", (0.155, 0.86, -0.04)),
    ("Tail_R", "Head", (-0.155, 0.86, -0.04)),
    ("Shoulder_L", "Chest", (0.045, 0.575, 0.0)),
    ("UpperArm_L", "Shoulder_L", (0.095, 0.57, 0.0)),
    ("LowerArm_L", "UpperArm_L", (0.12, 0.465, 0.0)),
    ("Hand_L", "LowerArm_L", (0.14, 0.37, 0.0)),
    ("Shoulder_R", "Chest", (-0.045, 0.575, 0.0)),
    ("UpperArm_R", "Shoulder_R", (-0.095, 0.57, 0.0)),
    ("LowerArm_R", "UpperArm_R", (-0.12, 0.465, 0.0)),
    ("Hand_R", "LowerArm_R", (-0.14, 0.37, 0.0)),
    ("UpperLeg_L", "Hips", (0.055, 0.33, 0.0)),
    ("LowerLeg_L", "UpperLeg_L", (0.058, 0.195, 0.0)),
    ("Foot_L", "LowerLeg_L", (0.06, 0.06, 0.0)),
    ("Toe_L", "Foot_L", (0.06, 0.02, 0.075)),
    ("UpperLeg_R", "Hips", (-0.055, 0.33, 0.0)),
    ("LowerLeg_R", "UpperLeg_R", (-0.058, 0.195, 0.0)),
    ("Foot_R", "LowerLeg_R", (-0.06, 0.06, 0.0)),
    ("Toe_R", "Foot_R", (-0.06, 0.02, 0.075)),
]

NAMES = [j[0] for j in JOINTS]
INDEX = {name: i for i, name in enumerate(NAMES)}
PARENT = {name: parent for name, parent, _ in JOINTS}
BIND = {name: pos for name, _, pos in JOINTS}


def local_offset(name):
    """Bind translation of a joint relative to its parent."""
    parent = PARENT[name]
    if parent is None:
        return BIND[name]
    return sub(BIND[name], BIND[parent])


def add(a, b):
    return (a[0] + b[0], a[1] + b[1], a[2] + b[2])


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def scale(a, s):
    return (a[0] * s, a[1] * s, a[2] * s)


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def normalize(a):
    length = math.sqrt(dot(a, a))
    return a if length == 0.0 else scale(a, 1.0 / length)
