"""The sample character's motions as functions of time. Each returns, per joint, the local
translation and the rotateX/Y/Z angles in degrees; the generator samples them into keys.

Playback loops every motion. A looping motion's pose at its length equals its pose at 0, so the
last key repeats the first and the loop closes without a jump; `land` is played once and then
replaced by the script, so it ends in the standing pose instead. Only `walk` moves the root
joint: its forward travel per cycle becomes root motion."""

import math

import rig

TAU = 2.0 * math.pi


class Motion:
    def __init__(self, name, length, step, pose, loops=True):
        self.name, self.length, self.step, self.pose, self.loops = name, length, step, pose, loops

    def times(self):
        count = int(round(self.length / self.step))
        return [round(k * self.length / count, 6) for k in range(count + 1)]


def rest():
    return {name: [rig.local_offset(name), [0.0, 0.0, 0.0]] for name in rig.NAMES}


def move(pose, joint, dx=0.0, dy=0.0, dz=0.0):
    x, y, z = pose[joint][0]
    pose[joint][0] = (x + dx, y + dy, z + dz)


def turn(pose, joint, rx=0.0, ry=0.0, rz=0.0):
    e = pose[joint][1]
    pose[joint][1] = [e[0] + rx, e[1] + ry, e[2] + rz]


def arms_down(pose, spread=4.0):
    """Relaxed arms: a little away from the body and bent at the elbow."""
    turn(pose, "UpperArm_L", rz=spread)
    turn(pose, "UpperArm_R", rz=-spread)
    turn(pose, "LowerArm_L", rx=-8.0)
    turn(pose, "LowerArm_R", rx=-8.0)


def blink(pose, t, at, duration=0.2):
    """Bring the closed-eye patch forward over the eyes for a moment around time `at`."""
    half = duration / 2.0
    closed = max(0.0, 1.0 - abs(t - at - half) / half)
    move(pose, "Eyelids", dz=0.03 * min(1.0, closed * 2.0))


def breathe(pose, t, period):
    b = math.sin(TAU * t / period)
    turn(pose, "Spine", rx=-1.0 * b)
    turn(pose, "Chest", rx=-1.5 * b)
    move(pose, "Chest", dy=0.002 * b)
    turn(pose, "Shoulder_L", rz=1.5 * b)
    turn(pose, "Shoulder_R", rz=-1.5 * b)


def tails(pose, swing_x, swing_z):
    turn(pose, "Tail_L", rx=swing_x, rz=swing_z)
    turn(pose, "Tail_R", rx=swing_x, rz=-swing_z)


def stand(t):
    pose = rest()
    arms_down(pose)
    breathe(pose, t, 2.0)
    sway = math.sin(TAU * t / 4.0)
    turn(pose, "Head", rz=3.0 * sway, rx=2.0 * math.sin(TAU * t / 2.0))
    turn(pose, "Hips", rz=0.8 * sway)
    turn(pose, "UpperLeg_L", rz=-0.8 * sway)
    turn(pose, "UpperLeg_R", rz=-0.8 * sway)
    tails(pose, 0.0, -2.0 * sway)
    blink(pose, t, 2.5)
    return pose


WALK_CYCLE = 1.0
WALK_STRIDE = 0.34  # forward travel per cycle, two steps


def walk(t):
    pose = rest()
    a = TAU * t / WALK_CYCLE
    s = math.sin(a)
    move(pose, "Root", dz=WALK_STRIDE * t / WALK_CYCLE)
    move(pose, "Hips", dy=0.012 * math.cos(2.0 * a) - 0.006)
    turn(pose, "Hips", ry=6.0 * s)
    turn(pose, "Spine", ry=-4.0 * s, rx=3.0)
    turn(pose, "Chest", ry=-3.0 * s)
    turn(pose, "Head", ry=1.0 * s, rx=-2.0 + 1.5 * math.cos(2.0 * a))
    for side, sign in (("L", 1.0), ("R", -1.0)):
        phase = s * sign
        lift = max(0.0, math.cos(a) * sign)  # the leg swinging forward bends its knee
        turn(pose, "UpperLeg_" + side, rx=-24.0 * phase - 10.0 * lift)
        turn(pose, "LowerLeg_" + side, rx=8.0 + 30.0 * lift)
        turn(pose, "Foot_" + side, rx=16.0 * phase - 12.0 * lift)
        turn(pose, "UpperArm_" + side, rx=22.0 * phase, rz=sign * 6.0)
        turn(pose, "LowerArm_" + side, rx=-14.0 - 8.0 * max(0.0, -phase))
    tails(pose, 8.0 + 6.0 * math.cos(2.0 * a), 3.0 * s)
    return pose


def turn_in_place(t):
    pose = rest()
    arms_down(pose, 10.0)
    a = TAU * t / 0.8
    for side, sign in (("L", 1.0), ("R", -1.0)):
        lift = max(0.0, math.sin(a) * sign)
        turn(pose, "UpperLeg_" + side, rx=-18.0 * lift)
        turn(pose, "LowerLeg_" + side, rx=30.0 * lift)
        turn(pose, "Foot_" + side, rx=-10.0 * lift)
    move(pose, "Hips", dy=-0.006 * abs(math.sin(a)))
    turn(pose, "Hips", rz=2.0 * math.sin(a))
    turn(pose, "Head", ry=4.0 * math.sin(a))
    tails(pose, 4.0, 5.0 * math.sin(a))
    return pose


def wave(t):
    pose = rest()
    breathe(pose, t, 1.0)
    w = math.sin(TAU * t / 0.5)
    turn(pose, "UpperArm_R", rz=-100.0, rx=-18.0)
    turn(pose, "LowerArm_R", rz=-55.0 + 25.0 * w)
    turn(pose, "Hand_R", rz=8.0 * w)
    turn(pose, "UpperArm_L", rz=12.0)
    turn(pose, "LowerArm_L", rx=-20.0)
    turn(pose, "Head", rz=8.0 + 2.0 * math.sin(TAU * t / 1.0), rx=-4.0)
    turn(pose, "Chest", rz=-3.0)
    turn(pose, "Hips", rz=1.5 * math.sin(TAU * t / 1.0))
    tails(pose, 0.0, -4.0 * w)
    return pose


def sit(t):
    pose = rest()
    breathe(pose, t, 2.0)
    move(pose, "Hips", dy=-0.262)
    turn(pose, "Spine", rx=-6.0)
    sway = math.sin(TAU * t / 4.0)
    for side, sign in (("L", 1.0), ("R", -1.0)):
        kick = math.sin(TAU * t / 2.0 + (0.0 if sign > 0 else math.pi))
        turn(pose, "UpperLeg_" + side, rx=-84.0 - 2.0 * kick, rz=sign * 6.0)
        turn(pose, "LowerLeg_" + side, rx=4.0 + 6.0 * max(0.0, kick))
        turn(pose, "Foot_" + side, rx=-6.0)
        turn(pose, "UpperArm_" + side, rz=sign * 24.0, rx=-12.0)
        turn(pose, "LowerArm_" + side, rx=-30.0)
    turn(pose, "Head", rz=6.0 * sway, rx=3.0)
    tails(pose, 0.0, -3.0 * sway)
    blink(pose, t, 1.2)
    blink(pose, t, 3.3)
    return pose


def dangle(t):
    pose = rest()
    a = TAU * t / 1.2
    for side, sign in (("L", 1.0), ("R", -1.0)):
        swing = math.sin(a) * sign
        turn(pose, "UpperLeg_" + side, rx=-28.0 * swing - 8.0, rz=sign * 4.0)
        turn(pose, "LowerLeg_" + side, rx=22.0 + 18.0 * max(0.0, swing))
        turn(pose, "Foot_" + side, rx=10.0 * swing)
        turn(pose, "UpperArm_" + side, rz=sign * (38.0 + 6.0 * math.sin(2.0 * a)), rx=-15.0)
        turn(pose, "LowerArm_" + side, rz=sign * 20.0, rx=-20.0)
    turn(pose, "Hips", rz=3.0 * math.sin(a), rx=-4.0)
    turn(pose, "Head", rx=10.0, rz=-4.0 * math.sin(a))
    tails(pose, -6.0 * math.cos(a), 8.0 + 6.0 * math.sin(a))
    return pose


def fall(t):
    pose = rest()
    a = TAU * t / 0.4
    for side, sign in (("L", 1.0), ("R", -1.0)):
        flap = math.sin(a + (0.0 if sign > 0 else 1.0))
        turn(pose, "UpperArm_" + side, rz=sign * (140.0 + 12.0 * flap))
        turn(pose, "LowerArm_" + side, rz=sign * 15.0 * flap)
        turn(pose, "UpperLeg_" + side, rx=-20.0 - 10.0 * flap, rz=sign * 8.0)
        turn(pose, "LowerLeg_" + side, rx=35.0 + 10.0 * flap)
    turn(pose, "Head", rx=-8.0)
    tails(pose, -20.0, 40.0 + 8.0 * math.sin(a))
    return pose


def land(t):
    """Impact crouch, then straighten up; from 0.5 s on it holds the start of `stand`."""
    pose = stand(0.0)
    k = 1.0 - smoothstep(0.0, 0.5, t)
    move(pose, "Hips", dy=-0.085 * k)
    turn(pose, "Spine", rx=18.0 * k)
    turn(pose, "Head", rx=-10.0 * k)
    for side, sign in (("L", 1.0), ("R", -1.0)):
        turn(pose, "UpperLeg_" + side, rx=-46.0 * k, rz=sign * 3.0 * k)
        turn(pose, "LowerLeg_" + side, rx=92.0 * k)
        turn(pose, "Foot_" + side, rx=-46.0 * k)
        turn(pose, "UpperArm_" + side, rz=sign * 40.0 * k, rx=-25.0 * k)
    tails(pose, -12.0 * k, 25.0 * k)
    return pose


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


MOTIONS = [
    Motion("stand", 4.0, 0.05, stand),
    Motion("walk", WALK_CYCLE, 0.05, walk),
    Motion("turn", 0.8, 0.05, turn_in_place),
    Motion("wave", 1.0, 0.05, wave),
    Motion("sit", 4.0, 0.1, sit),
    Motion("dangle", 1.2, 0.05, dangle),
    Motion("fall", 0.4, 0.05, fall),
    Motion("land", 0.8, 0.05, land, loops=False),
]
