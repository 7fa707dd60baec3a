"""The sample character's skin: parametric surfaces (ellipsoids and tubes along rings) turned
into one textured, smoothly skinned mesh.

Every part is a grid over (u, v) in [0, 1]²: u runs around the part, v along it. A part knows
its point P(u, v), the atlas rectangle its texture lives in, how to paint a point, and how the
skin weights change over it. Skin weights come from keyed tables along the bone chain, so
joints blend over a short zone and every vertex has at most four influences."""

import math

import rig

TEXTURE_SIZE = 512
MARGIN = 2  # texels painted around each atlas rectangle so filtering never bleeds in

# Head shape, shared by the face painter, the hair shell and the eyelid patch.
HEAD_CENTER = (0.0, 0.79, 0.005)
HEAD_RADII = (0.175, 0.158, 0.16)
LID_LIFT = 0.003  # the closed-eye patch floats this far above the face
LID_HIDE = 0.03   # ... and sits this far inside the head at rest


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


def lerp(a, b, t):
    return a + (b - a) * t


def blend(weights_a, weights_b, t):
    out = {}
    for name, w in weights_a.items():
        out[name] = out.get(name, 0.0) + w * (1.0 - t)
    for name, w in weights_b.items():
        out[name] = out.get(name, 0.0) + w * t
    return {k: w for k, w in out.items() if w > 0.0}


def keyed(x, keys):
    """Piecewise-linear weights along x from [(x0, {joint: w}), ...] sorted by x."""
    if x <= keys[0][0]:
        return dict(keys[0][1])
    for (x0, w0), (x1, w1) in zip(keys, keys[1:]):
        if x <= x1:
            return blend(w0, w1, (x - x0) / (x1 - x0))
    return dict(keys[-1][1])


def ellipsoid_point(center, radii, phi, lat, lift=0.0):
    d = (math.sin(phi) * math.cos(lat), math.sin(lat), math.cos(phi) * math.cos(lat))
    return tuple(c + (r + lift) * k for c, r, k in zip(center, radii, d))


class Part:
    """One parametric surface of the body."""

    def __init__(self, name, rect, nu, nv, point, weights, paint, poles=(False, False)):
        self.name = name
        self.rect = rect  # (x, y, width, height) in texels, y down
        self.nu, self.nv = nu, nv
        self.point = point      # (u, v) -> (x, y, z)
        self.weights = weights  # (u, v, p) -> {joint: weight}
        self.paint = paint      # (u, v, p) -> (r, g, b) floats 0..255
        self.poles = poles      # v = 0 / v = 1 collapse to a point

    def uv(self, u, v):
        x, y, w, h = self.rect
        px = x + MARGIN + u * (w - 2 * MARGIN)
        py = y + MARGIN + v * (h - 2 * MARGIN)
        return (px / TEXTURE_SIZE, 1.0 - py / TEXTURE_SIZE)


# ---------------------------------------------------------------------------------------------
# Shapes

def ellipsoid(center, radii):
    def point(u, v):
        return ellipsoid_point(center, radii, 2.0 * math.pi * (u - 0.5), math.pi * (0.5 - v))
    return point


def tube(rings):
    """A tube through rings [(center, rx, rz)], each ring lying across the local axis; u = 0.5 is
    the side facing +Z. Rings are spaced along v by the distance between their centres."""
    lengths = [0.0]
    for a, b in zip(rings, rings[1:]):
        lengths.append(lengths[-1] + math.dist(a[0], b[0]))
    total = lengths[-1]

    def ring_at(v):
        s = v * total
        for i in range(len(rings) - 1):
            if s <= lengths[i + 1] or i == len(rings) - 2:
                span = lengths[i + 1] - lengths[i]
                t = 0.0 if span == 0.0 else min(1.0, max(0.0, (s - lengths[i]) / span))
                (c0, rx0, rz0), (c1, rx1, rz1) = rings[i], rings[i + 1]
                centre = tuple(lerp(a, b, t) for a, b in zip(c0, c1))
                axis = rig.normalize(rig.sub(c1, c0))
                return centre, lerp(rx0, rx1, t), lerp(rz0, rz1, t), axis
        raise AssertionError("unreachable")

    def point(u, v):
        centre, rx, rz, axis = ring_at(v)
        front = rig.normalize(rig.sub((0.0, 0.0, 1.0), rig.scale(axis, axis[2])))
        side = rig.normalize(rig.cross(axis, front))
        a = 2.0 * math.pi * (u - 0.5)
        off = rig.add(rig.scale(side, rx * math.sin(a)), rig.scale(front, rz * math.cos(a)))
        return rig.add(centre, off)
    return point


def dome(top, down, r, rz=None):
    """Rings that round off a tube end: from a point at `top` out to full radius `r` one radius
    further along `down`."""
    rz = r if rz is None else rz
    rings = []
    for k in range(5):
        a = (math.pi / 2.0) * k / 4.0
        centre = rig.add(top, rig.scale(down, r * (1.0 - math.cos(a))))
        rings.append((centre, r * math.sin(a), rz * math.sin(a)))
    return rings


# ---------------------------------------------------------------------------------------------
# Colours and the face

SKIN = (255, 226, 206)
BLUSH = (255, 168, 168)
HAIR = (128, 82, 62)
HAIR_SHINE = (176, 120, 92)
DRESS = (84, 148, 232)
TRIM = (250, 250, 252)
RIBBON = (236, 64, 92)
SHOE = (222, 72, 84)
SOLE = (110, 58, 58)
SOCK = (248, 248, 250)
TIE = (255, 92, 120)
EYE = (58, 40, 54)
IRIS = (124, 82, 72)
MOUTH = (176, 72, 76)
WHITE = (255, 255, 255)

EYE_X, EYE_Y, EYE_W, EYE_H = 0.062, -0.015, 0.022, 0.031
AA = 0.0025  # antialiasing width in model units, about a texel on the face


def mix(a, b, t):
    return tuple(lerp(x, y, t) for x, y in zip(a, b))


def coverage(distance):
    """Coverage of a shape from a signed distance (negative inside)."""
    return 1.0 - smoothstep(-AA * 0.5, AA * 0.5, distance)


def ellipse_distance(x, y, cx, cy, rx, ry):
    q = math.hypot((x - cx) / rx, (y - cy) / ry)
    return (q - 1.0) * min(rx, ry)


def arc_distance(x, y, cx, cy, half_width, sag, thickness):
    """Distance to a downward-sagging arc (a smile) of the given half width."""
    t = max(-1.0, min(1.0, (x - cx) / half_width))
    curve = cy - sag * (1.0 - t * t)
    return max(abs(y - curve) - thickness, abs(x - cx) - half_width)


def paint_face(p, eyes_open):
    x = p[0] - HEAD_CENTER[0]
    y = p[1] - HEAD_CENTER[1]
    front = (p[2] - HEAD_CENTER[2]) / HEAD_RADII[2]
    colour = SKIN
    if front < 0.2:
        return colour
    for sx in (-1.0, 1.0):
        ex = sx * EYE_X
        colour = mix(colour, BLUSH, 0.55 * (1.0 - smoothstep(0.0, 0.03, math.hypot((x - sx * 0.104) / 1.2, y + 0.058))))
        brow = arc_distance(x, y, ex, 0.05, 0.017, -0.005, 0.002)
        colour = mix(colour, HAIR, coverage(brow))
        if eyes_open:
            colour = paint_open_eye(colour, x, y, ex, sx)
        else:
            colour = mix(colour, EYE, coverage(arc_distance(x, y, ex, EYE_Y - 0.004, 0.023, 0.009, 0.0026)))
    mouth = arc_distance(x, y, 0.0, -0.079, 0.024, 0.011, 0.0024)
    return mix(colour, MOUTH, coverage(mouth))


def paint_open_eye(colour, x, y, ex, sx):
    inside = ellipse_distance(x, y, ex, EYE_Y, EYE_W, EYE_H)
    lash = ellipse_distance(x, y, ex, EYE_Y + 0.002, EYE_W + 0.004, EYE_H + 0.003)
    if y > EYE_Y + 0.01:
        colour = mix(colour, EYE, coverage(lash))
    lower = smoothstep(EYE_Y + 0.005, EYE_Y - 0.02, y)
    colour = mix(colour, mix(EYE, IRIS, lower), coverage(inside))
    shine = ellipse_distance(x, y, ex - sx * 0.007, EYE_Y + 0.011, 0.0075, 0.0085)
    colour = mix(colour, WHITE, coverage(shine))
    small = ellipse_distance(x, y, ex + sx * 0.007, EYE_Y - 0.013, 0.0035, 0.0035)
    return mix(colour, WHITE, coverage(small))


# ---------------------------------------------------------------------------------------------
# The parts

def head_part():
    point = ellipsoid(HEAD_CENTER, HEAD_RADII)
    keys = [(0.62, {"Neck": 0.5, "Head": 0.5}), (0.69, {"Head": 1.0})]
    return Part("head", (0, 0, 512, 200), 36, 22, point,
                lambda u, v, p: keyed(p[1], keys),
                lambda u, v, p: paint_face(p, True), poles=(True, True))


def hair_part():
    centre = (0.0, 0.796, -0.004)
    radii = (HEAD_RADII[0] + 0.014, HEAD_RADII[1] + 0.014, HEAD_RADII[2] + 0.014)

    def point(u, v):
        phi = 2.0 * math.pi * (u - 0.5)
        # The fringe line sits above the eyes in front and drops to the nape behind.
        back = smoothstep(0.5, 1.9, abs(phi))
        low = lerp(math.radians(24.0) - 0.05 * math.cos(phi * 9.0), math.radians(-40.0), back)
        lat = lerp(math.pi / 2.0, low, v)
        return ellipsoid_point(centre, radii, phi, lat)

    def paint(u, v, p):
        shine = 1.0 - smoothstep(0.0, 0.05, abs(p[1] - 0.9 + 0.04 * math.cos(u * 40.0)))
        return mix(HAIR, HAIR_SHINE, 0.8 * shine)
    return Part("hair", (0, 200, 256, 100), 36, 10, point,
                lambda u, v, p: {"Head": 1.0}, paint, poles=(True, False))


def lids_part():
    def point(u, v):
        phi = lerp(-0.78, 0.78, u)
        lat = lerp(0.17, -0.4, v)
        p = ellipsoid_point(HEAD_CENTER, HEAD_RADII, phi, lat, LID_LIFT)
        return (p[0], p[1], p[2] - LID_HIDE)

    def paint(u, v, p):
        return paint_face((p[0], p[1], p[2] + LID_HIDE), False)
    return Part("lids", (256, 200, 128, 100), 14, 7, point,
                lambda u, v, p: {"Eyelids": 1.0}, paint)


def torso_part():
    rings = [
        ((0.0, 0.608, -0.004), 0.034, 0.032),
        ((0.0, 0.592, -0.004), 0.07, 0.055),
        ((0.0, 0.572, -0.004), 0.096, 0.066),
        ((0.0, 0.54, 0.0), 0.1, 0.07),
        ((0.0, 0.48, 0.0), 0.094, 0.07),
        ((0.0, 0.42, 0.0), 0.098, 0.076),
        ((0.0, 0.35, 0.0), 0.118, 0.096),
        ((0.0, 0.29, 0.0), 0.138, 0.118),
        ((0.0, 0.245, 0.0), 0.152, 0.13),
        ((0.0, 0.255, 0.0), 0.1, 0.085),
        ((0.0, 0.29, 0.0), 0.0, 0.0),
    ]
    keys = [(0.38, {"Hips": 1.0}), (0.42, {"Hips": 0.4, "Spine": 0.6}), (0.46, {"Spine": 1.0}),
            (0.49, {"Spine": 0.5, "Chest": 0.5}), (0.53, {"Chest": 1.0}), (0.585, {"Chest": 1.0}),
            (0.61, {"Chest": 0.5, "Neck": 0.5})]

    def weights(u, v, p):
        w = keyed(p[1], keys)
        arm = smoothstep(0.06, 0.095, abs(p[0])) * smoothstep(0.5, 0.56, p[1]) * 0.4
        if arm > 0.0:
            w = blend(w, {"Shoulder_L" if p[0] > 0 else "Shoulder_R": 1.0}, arm)
        # The front of the skirt follows the thighs a little, so sitting and walking lift it.
        leg = 0.55 * smoothstep(0.34, 0.25, p[1]) * smoothstep(-0.02, 0.09, p[2])
        if leg > 0.0:
            left = smoothstep(-0.05, 0.05, p[0])
            legs = {k: x for k, x in (("UpperLeg_L", left), ("UpperLeg_R", 1.0 - left)) if x > 0.0}
            w = blend(w, legs, leg)
        return w

    def paint(u, v, p):
        if p[1] > 0.582 or p[1] < 0.272:
            colour = TRIM
        else:
            colour = DRESS
        # A bow at the collar: two wings widening outwards and a knot.
        x, y = abs(p[0]), p[1] - 0.566
        if p[2] > 0.0 and ((x < 0.032 and abs(y) < 0.004 + 0.45 * x) or math.hypot(x, y) < 0.007):
            colour = RIBBON
        return colour
    return Part("torso", (0, 300, 256, 120), 32, 16, tube(rings), weights, paint,
                poles=(False, True))


def arm_part(side):
    s = 1.0 if side == "L" else -1.0
    j = lambda n: n + "_" + side
    top = (s * 0.085, 0.603, 0.0)
    down = rig.normalize((s * 0.22, -1.0, 0.0))
    rings = dome(top, down, 0.042)
    rings += [((s * 0.104, 0.52, 0.0), 0.046, 0.044),
              ((s * 0.114, 0.488, 0.0), 0.04, 0.038),
              ((s * 0.12, 0.47, 0.0), 0.028, 0.028),
              ((s * 0.131, 0.42, 0.0), 0.026, 0.026),
              ((s * 0.14, 0.372, 0.0), 0.022, 0.022)]
    keys = [(0.37, {j("LowerArm"): 0.6, j("Hand"): 0.4}), (0.4, {j("LowerArm"): 1.0}),
            (0.445, {j("LowerArm"): 1.0}), (0.465, {j("LowerArm"): 0.5, j("UpperArm"): 0.5}),
            (0.49, {j("UpperArm"): 1.0}), (0.55, {j("UpperArm"): 1.0}),
            (0.585, {j("UpperArm"): 0.7, j("Shoulder"): 0.3}), (0.62, {j("UpperArm"): 0.45, j("Shoulder"): 0.55})]

    def paint(u, v, p):
        if p[1] > 0.486:
            return DRESS
        return TRIM if p[1] > 0.47 else SKIN
    return Part("arm_" + side, (256, 300, 128, 120), 16, 14, tube(rings),
                lambda u, v, p: keyed(p[1], keys), paint, poles=(True, False))


def hand_part(side):
    s = 1.0 if side == "L" else -1.0
    keys = [(0.35, {"Hand_" + side: 1.0}), (0.38, {"Hand_" + side: 0.6, "LowerArm_" + side: 0.4})]
    return Part("hand_" + side, (384, 200, 64, 50), 16, 10,
                ellipsoid((s * 0.146, 0.34, 0.0), (0.033, 0.04, 0.031)),
                lambda u, v, p: keyed(p[1], keys), lambda u, v, p: SKIN, poles=(True, True))


def leg_part(side):
    s = 1.0 if side == "L" else -1.0
    j = lambda n: n + "_" + side
    rings = [((s * 0.055, 0.36, 0.0), 0.046, 0.048),
             ((s * 0.056, 0.3, 0.0), 0.046, 0.047),
             ((s * 0.058, 0.22, 0.0), 0.037, 0.037),
             ((s * 0.058, 0.195, 0.0), 0.035, 0.035),
             ((s * 0.059, 0.15, 0.0), 0.034, 0.035),
             ((s * 0.06, 0.05, 0.0), 0.028, 0.028)]
    keys = [(0.06, {j("LowerLeg"): 0.6, j("Foot"): 0.4}), (0.09, {j("LowerLeg"): 1.0}),
            (0.175, {j("LowerLeg"): 1.0}), (0.195, {j("LowerLeg"): 0.5, j("UpperLeg"): 0.5}),
            (0.215, {j("UpperLeg"): 1.0}), (0.3, {j("UpperLeg"): 1.0}),
            (0.36, {j("UpperLeg"): 0.6, "Hips": 0.4})]

    def paint(u, v, p):
        if p[1] > 0.215:
            return SKIN
        return TRIM if p[1] > 0.2 else SOCK
    return Part("leg_" + side, (384, 300, 128, 120), 16, 14, tube(rings),
                lambda u, v, p: keyed(p[1], keys), paint)


def foot_part(side):
    s = 1.0 if side == "L" else -1.0
    j = lambda n: n + "_" + side
    centre = (s * 0.06, 0.036, 0.022)
    radii = (0.04, 0.042, 0.072)
    shape = ellipsoid(centre, radii)

    def point(u, v):
        x, y, z = shape(u, v)
        return (x, max(y, 0.004), z)  # flat sole

    zkeys = [(0.03, {j("Foot"): 1.0}), (0.075, {j("Foot"): 0.4, j("Toe"): 0.6})]

    def weights(u, v, p):
        top = 0.4 * smoothstep(0.05, 0.078, p[1])
        return blend(keyed(p[2], zkeys), {j("LowerLeg"): 1.0}, top)

    def paint(u, v, p):
        if p[1] < 0.012:
            return SOLE
        strap = abs(p[2] + 0.004) < 0.009 and p[1] > 0.05
        return TRIM if strap else SHOE
    return Part("foot_" + side, (448, 200, 64, 50), 16, 10, point, weights, paint,
                poles=(True, True))


def neck_part():
    rings = [((0.0, 0.58, -0.004), 0.036, 0.034), ((0.0, 0.68, -0.004), 0.034, 0.032)]
    keys = [(0.585, {"Chest": 0.5, "Neck": 0.5}), (0.61, {"Neck": 1.0}),
            (0.645, {"Neck": 0.5, "Head": 0.5}), (0.67, {"Head": 1.0})]
    return Part("neck", (384, 250, 64, 50), 16, 3, tube(rings),
                lambda u, v, p: keyed(p[1], keys), lambda u, v, p: SKIN)


def tail_part(side):
    s = 1.0 if side == "L" else -1.0
    rings = [((s * 0.13, 0.875, -0.035), 0.0, 0.0),
             ((s * 0.15, 0.87, -0.04), 0.028, 0.028),
             ((s * 0.18, 0.862, -0.046), 0.03, 0.03),
             ((s * 0.215, 0.84, -0.052), 0.05, 0.046),
             ((s * 0.245, 0.77, -0.058), 0.05, 0.046),
             ((s * 0.248, 0.69, -0.06), 0.03, 0.03),
             ((s * 0.24, 0.635, -0.06), 0.0, 0.0)]
    tail = "Tail_" + side
    keys = [(0.0, {"Head": 1.0}), (0.12, {"Head": 0.5, tail: 0.5}), (0.3, {tail: 1.0})]

    def paint(u, v, p):
        return TIE if 0.1 < v < 0.22 else HAIR
    return Part("tail_" + side, (448, 250, 64, 50), 16, 12, tube(rings),
                lambda u, v, p: keyed(v, keys), paint, poles=(True, True))


def parts():
    out = [head_part(), hair_part(), lids_part(), neck_part(), torso_part()]
    for side in ("L", "R"):
        out += [arm_part(side), hand_part(side), leg_part(side), foot_part(side), tail_part(side)]
    return out


# ---------------------------------------------------------------------------------------------
# Mesh building

class Mesh:
    """Vertices (position, normal, texcoord, influences) and polygons as vertex index lists."""

    def __init__(self):
        self.positions, self.normals, self.uvs, self.influences = [], [], [], []
        self.faces = []

    def add_part(self, part):
        base = len(self.positions)
        grid = {}
        for j in range(part.nv + 1):
            v = j / part.nv
            for i in range(part.nu + 1):
                u = i / part.nu
                if (j == 0 and part.poles[0]) or (j == part.nv and part.poles[1]):
                    u = (i + 0.5) / part.nu  # one pole vertex per column, for its texcoord
                p = part.point(u, v)
                grid[i, j] = len(self.positions)
                self.positions.append(p)
                self.uvs.append(part.uv(u, v))
                self.influences.append(limit_influences(part.weights(u, v, p)))
        faces = []
        for j in range(part.nv):
            for i in range(part.nu):
                a, b = grid[i, j], grid[i + 1, j]
                c, d = grid[i + 1, j + 1], grid[i, j + 1]
                if j == 0 and part.poles[0]:
                    faces.append([a, c, d])
                elif j == part.nv - 1 and part.poles[1]:
                    faces.append([a, b, d])
                else:
                    faces.append([a, b, c, d])
        if orientation(self.positions, faces) < 0.0:
            faces = [list(reversed(f)) for f in faces]
        self.faces += faces
        self.normals += smooth_normals(self.positions, faces, base, len(self.positions))

    def triangle_count(self):
        return sum(len(f) - 2 for f in self.faces)


def limit_influences(weights):
    """At most four influences, largest first, summing to exactly 1 in thousandths."""
    items = sorted(((w, n) for n, w in weights.items() if w > 1e-6), key=lambda x: (-x[0], rig.INDEX[x[1]]))[:4]
    total = sum(w for w, _ in items)
    scaled = [(w / total * 1000.0, n) for w, n in items]
    units = [int(math.floor(x)) for x, _ in scaled]
    rest = 1000 - sum(units)
    order = sorted(range(len(scaled)), key=lambda k: (-(scaled[k][0] - units[k]), k))
    for k in order[:rest]:
        units[k] += 1
    return [(n, u) for (_, n), u in zip(scaled, units) if u > 0]


def face_normal(positions, face):
    n = (0.0, 0.0, 0.0)
    for k in range(1, len(face) - 1):
        e1 = rig.sub(positions[face[k]], positions[face[0]])
        e2 = rig.sub(positions[face[k + 1]], positions[face[0]])
        n = rig.add(n, rig.cross(e1, e2))
    return n


def orientation(positions, faces):
    used = sorted({i for f in faces for i in f})
    centre = rig.scale(tuple(sum(positions[i][k] for i in used) for k in range(3)), 1.0 / len(used))
    total = 0.0
    for f in faces:
        mid = rig.scale(tuple(sum(positions[i][k] for i in f) for k in range(3)), 1.0 / len(f))
        total += rig.dot(face_normal(positions, f), rig.sub(mid, centre))
    return total


def smooth_normals(positions, faces, first, end):
    """Area-weighted normals shared by every vertex of the part at the same place (seams, poles)."""
    key = lambda p: tuple(round(c, 6) for c in p)
    sums = {}
    for f in faces:
        n = face_normal(positions, f)
        for i in f:
            k = key(positions[i])
            sums[k] = rig.add(sums.get(k, (0.0, 0.0, 0.0)), n)
    return [rig.normalize(sums.get(key(positions[i]), (0.0, 1.0, 0.0))) for i in range(first, end)]
