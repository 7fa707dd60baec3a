// States off the ground: held by the mouse, falling, landing.

// Held by the mouse: the legs swing; the mouse moves her.
class Dangle {
    who = null;

    constructor(who_) {
        who = who_;
    }

    function Start(m) {
        who.Play(m, "dangle");
        who.FaceSoon(m, who.FRONT, 200);
    }

    function Loop(m) {
    }

    function End(m) {
    }
}

// Falls under gravity until her feet reach the bottom of the screen.
class Fall {
    who = null;
    speed = 0.0;   // units per second, upwards positive

    constructor(who_) {
        who = who_;
    }

    function Start(m) {
        who.Play(m, "fall");
        who.Settle(m);
    }

    function Loop(m) {
        local ms = cpp_GetPassageTime();
        local dt = (ms < 50 ? ms : 50) * 0.001;
        speed -= who.GRAVITY * dt;
        local h = who.Height(m) + speed * dt;
        if (h > who.Ground()) {
            who.Place(m, m.GetPosX(), h);
            return;
        }
        who.Place(m, m.GetPosX(), who.Ground());
        m.ChangeState(::air.Land(who));
    }

    function End(m) {
    }
}

// Bends her knees to land (or to get up from sitting), stands a moment and walks on.
class Land {
    who = null;
    left = 600;   // land.dae straightens up in 0.5 s and holds until 0.8 s

    constructor(who_) {
        who = who_;
    }

    function Start(m) {
        who.Play(m, "land");
    }

    function Loop(m) {
        left -= cpp_GetPassageTime();
        if (left <= 0) m.ChangeState(::idle.Stand(who, 500 + (frand() * 1000).tointeger()).ThenWalk());
    }

    function End(m) {
    }
}
