// A character on the desktop: its mascot, its name, and what it remembers between states.
//
// In the flat 2D view the screen shows x across and the sum y + z upwards (the depth is folded
// into the height). The scripts keep every character at z = 0 and its feet at y = "height":
// the mouse drags characters by moving their z instead, so a released character is first put
// back into that form (Settle).

class Character {
    // Facing angles about the vertical axis. The models face +z, away from the camera.
    static FRONT = 3.14159265;
    static RIGHT = 1.57079633;
    static LEFT = 4.71238898;
    static TWO_PI = 6.28318531;
    static GRAVITY = 9.8;      // units per second squared; 1 unit is Momo's height
    static WALK_SPEED = 0.34;  // units per second, the distance walk.dae's root covers

    mascot = null;     // the cpp_Mascot this script created
    name = "";
    animated = true;   // false for a model without our motions: scripts move it themselves
    facing = 1;        // 1 walks to the right, -1 to the left
    clock = 0;         // milliseconds lived (frames only run while not paused)
    held = false;      // caught by the mouse
    caughtAt = 0;      // clock when the mouse caught it
    caughtX = 0.0;
    caughtH = 0.0;

    constructor(name_, options, animated_) {
        name = name_;
        animated = animated_;
        mascot = cpp_Mascot(options);
        mascot.SetCallback_Loop(this, OnLoop);
        mascot.SetCallback_Catch(this, OnCatch);
        mascot.SetCallback_Release(this, OnRelease);
    }

    function Log(text) {
        print(name + ": " + text + "\n");
    }

    // --- the world, re-read every time: the screen may change size

    function Ground() {
        return -0.5 * (cpp_GetWorldSizeY() < cpp_GetWorldSizeZ() ? cpp_GetWorldSizeY() : cpp_GetWorldSizeZ());
    }

    function Top() {
        return -Ground();
    }

    // Walking turns back this far inside the screen's edges.
    function Edge() {
        return 0.5 * cpp_GetWorldSizeX() - 0.45;
    }

    // --- position and facing

    function Height(m) {
        return m.GetPosY() + m.GetPosZ();
    }

    function Place(m, x, h) {
        m.SetPos(x.tofloat(), h.tofloat(), 0.0);
    }

    function Settle(m) {
        Place(m, m.GetPosX(), Height(m));
    }

    function OnGround(m) {
        return Height(m) <= Ground() + 0.02;
    }

    // The target angle as the mascot's current angle plus the shortest turn, so that SetDir
    // turns the short way round.
    function Nearest(m, angle) {
        local d = angle - m.GetDir();
        while (d > FRONT) d -= TWO_PI;
        while (d < -FRONT) d += TWO_PI;
        return m.GetDir() + d;
    }

    function FaceSoon(m, angle, ms) {
        local target = Nearest(m, angle);
        local quarters = fabs(target - m.GetDir()) / (0.5 * FRONT);
        m.SetDir(target, (ms * quarters).tointeger() + 1);
    }

    function Play(m, motion) {
        if (animated) m.SetMotion(motion);
    }

    // --- callbacks

    function OnLoop(m) {
        clock += cpp_GetPassageTime();
    }

    // Free to take an order from the menu: not held, not in the air.
    function Idle() {
        return !held && OnGround(mascot);
    }

    function OnCatch(m) {
        held = true;
        caughtAt = clock;
        caughtX = m.GetPosX();
        caughtH = Height(m);
        m.ChangeState(::air.Dangle(this));
    }

    // A short catch that hardly moved is a click: she waves. Otherwise she drops from where
    // she was let go, or, set down on the ground, stands a moment and walks on.
    function OnRelease(m) {
        held = false;
        local dx = m.GetPosX() - caughtX;
        local dh = Height(m) - caughtH;
        if (clock - caughtAt < 400 && dx * dx + dh * dh < 0.01) {
            Place(m, caughtX, caughtH);
            if (OnGround(m)) {
                Log("クリックされたので手を振ります");
                m.ChangeState(::idle.Wave(this));
                return;
            }
        }
        Settle(m);
        if (OnGround(m)) {
            m.ChangeState(::idle.Stand(this, 800).ThenWalk());
            return;
        }
        Log(format("高さ %.1f から落ちます", Height(m) - Ground()));
        m.ChangeState(::air.Fall(this));
    }
}
