// Walking along the bottom of the screen, and turning round.

// The state that starts a walk: `facing` 1 goes right, -1 left, 0 lets her choose (away from
// a near edge, else at random). She first turns that way unless she already faces it.
function Begin(who, m, facing) {
    if (facing == 0) {
        local x = m.GetPosX();
        local edge = who.Edge();
        if (x > edge * 0.6) facing = -1;
        else if (x < -edge * 0.6) facing = 1;
        else facing = frand() < 0.5 ? -1 : 1;
    }
    who.facing = facing;
    return ::walk.Turn(who, facing > 0 ? who.RIGHT : who.LEFT, ::walk.Walk(who));
}

class Walk {
    who = null;
    left = 0.0;   // units still to walk before she stops

    constructor(who_) {
        who = who_;
        left = 1.5 + frand() * 4.0;
    }

    function Start(m) {
        who.Play(m, "walk");
        who.Place(m, m.GetPosX(), who.Ground());
    }

    function Loop(m) {
        local dt = cpp_GetPassageTime() * 0.001;
        local x = m.GetPosX();
        if (!who.animated) {
            // No walk motion to carry the model: move it along ourselves.
            x += who.facing * who.WALK_SPEED * dt;
        }
        who.Place(m, x, who.Ground());  // root motion moves her along x; keep her feet down
        left -= who.WALK_SPEED * dt;
        local edge = who.Edge();
        if ((who.facing > 0 && x > edge) || (who.facing < 0 && x < -edge)) {
            m.ChangeState(::walk.Begin(who, m, -who.facing));
        } else if (left <= 0.0) {
            m.ChangeState(::idle.Stand(who, 2000 + (frand() * 4000).tointeger()));
        }
    }

    function End(m) {
    }
}

// Turns on the spot to `angle`, then goes on with the state `next`. A half turn goes round
// through the front, so that she turns towards the screen rather than showing her back.
class Turn {
    who = null;
    steps = null;
    next = null;
    left = 0;

    constructor(who_, angle, next_) {
        who = who_;
        next = next_;
        steps = [angle];
    }

    function Start(m) {
        who.Play(m, "turn");
        local dir = m.GetDir() % who.TWO_PI;
        if (dir < 0) dir += who.TWO_PI;
        m.SetDir(dir, 0);
        local d = fabs(who.Nearest(m, steps[0]) - dir);
        if (d > 2.5) steps.insert(0, who.FRONT);
        NextStep(m);
    }

    function NextStep(m) {
        if (steps.len() == 0) {
            m.ChangeState(next);
            return;
        }
        local target = who.Nearest(m, steps.remove(0));
        left = (fabs(target - m.GetDir()) / (0.5 * who.FRONT) * 350).tointeger() + 1;
        m.SetDir(target, left);
    }

    function Loop(m) {
        left -= cpp_GetPassageTime();
        if (left <= 0) NextStep(m);
    }

    function End(m) {
    }
}
