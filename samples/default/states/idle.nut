// States on the ground without walking: standing around, sitting, waving.
// Each state is a class with Start, Loop and End; "who" is the Character it belongs to and
// "m" the cpp_Mascot the system passes in.

class Stand {
    who = null;
    left = 0;          // milliseconds until she decides what to do next
    walkNext = false;  // decided already: walk

    constructor(who_, ms) {
        who = who_;
        left = ms;
    }

    function ThenWalk() {
        walkNext = true;
        return this;
    }

    function Start(m) {
        who.Play(m, "stand");
        who.Place(m, m.GetPosX(), who.Ground());
        who.FaceSoon(m, who.FRONT, 300);
    }

    function Loop(m) {
        left -= cpp_GetPassageTime();
        if (left > 0) return;
        local r = walkNext ? 0.0 : frand();
        if (r < 0.6) {
            m.ChangeState(::walk.Begin(who, m, 0));
        } else if (r < 0.8) {
            m.ChangeState(::idle.Sit(who, 6000 + (frand() * 8000).tointeger()));
        } else if (r < 0.9) {
            m.ChangeState(::idle.Wave(who));
        } else {
            left = 2000 + (frand() * 3000).tointeger();
        }
    }

    function End(m) {
    }
}

// Sits on the ground, half turned towards the way she was going; then gets up.
class Sit {
    who = null;
    left = 0;

    constructor(who_, ms) {
        who = who_;
        left = ms;
    }

    function Start(m) {
        who.Play(m, "sit");
        who.Place(m, m.GetPosX(), who.Ground());
        who.FaceSoon(m, who.FRONT - 0.6 * who.facing, 300);
    }

    function Loop(m) {
        left -= cpp_GetPassageTime();
        if (left <= 0) m.ChangeState(::air.Land(who));
    }

    function End(m) {
    }
}

// Faces the screen and waves for two seconds, then walks on.
class Wave {
    who = null;
    left = 2000;

    constructor(who_) {
        who = who_;
    }

    function Start(m) {
        who.Play(m, "wave");
        who.Place(m, m.GetPosX(), who.Ground());
        who.FaceSoon(m, who.FRONT, 250);
    }

    function Loop(m) {
        left -= cpp_GetPassageTime();
        if (left <= 0) m.ChangeState(::idle.Stand(who, 500 + (frand() * 1000).tointeger()).ThenWalk());
    }

    function End(m) {
    }
}
