// Runs the sample's start-up script (from the mascot folder, the working directory) against a
// stand-in of the program's script API, then drives it: a minute of frames, a drag and drop, a
// click, every menu item. The stand-in checks argument types as the real API does (floats must
// be floats) and plays root motion for "walk". Prints "OK" at the end; a script error stops it.

// main.nut seeds the random numbers with the time: a fixed time makes every run the same.
function time() { return 1; }

local world = { x = 5.0 * 16 / 9, y = 5.0, z = 5.0 };
local frameMs = 0;
local mascots = [];
local menu = {};
local played = {};

function check(cond, what) {
    if (!cond) throw "check failed: " + what;
}

function frand() { return rand().tofloat() / RAND_MAX; }
function cpp_GetPassageTime() { return frameMs; }
function cpp_GetWorldSizeX() { return world.x; }
function cpp_GetWorldSizeY() { return world.y; }
function cpp_GetWorldSizeZ() { return world.z; }
function cpp_New2DCamera() { return 1; }
function cpp_NewUserInterface() { return 2; }

function cpp_AddPopupMenu(id, text, env, fn) {
    check(typeof id == "integer" && typeof text == "string" && typeof fn == "function", "menu item arguments");
    check(!(id in menu), "menu id " + id + " used twice");
    menu[id] <- { text = text, env = env, fn = fn };
}

function cpp_AddPopupMenuSeparator(id) {
    check(!(id in menu), "menu id " + id + " used twice");
    menu[id] <- { text = "-", env = null, fn = null };
}

function cpp_OpenFileDialog(filter, extension) {
    check(typeof filter == "string" && typeof extension == "string", "file dialog arguments");
    return "/home/user/models/duck.dae";
}

class cpp_Mascot {
    x = 0.0; y = 0.0; z = 0.0;
    dir = 0.0; target = 0.0; start = 0.0; progress = 0.0; duration = 3000;
    motion = null; motions = null; state = null;
    onLoop = null; onCatch = null; onRelease = null;
    dead = false;

    constructor(options) {
        check(typeof options == "table" && typeof options.model == "string", "mascot options");
        check(typeof options.scale == "float", "scale");
        motions = [];
        if ("motion_list" in options) {
            foreach (name, path in options.motion_list) {
                check(typeof path == "string", "motion path");
                motions.append(name);
            }
        }
        mascots.append(this);
    }

    function Kill() { dead = true; }
    function SetDir(angle, ms) {
        check(typeof angle == "float" && typeof ms == "integer", "SetDir(float, integer)");
        if (ms != 0) {
            target = angle; duration = ms; progress = 0.0; start = dir;
            return;
        }
        dir = target = start = angle; progress = 0.0; duration = 0;
    }
    function GetDir() { return dir; }
    function SetPos(px, py, pz) {
        check(typeof px == "float" && typeof py == "float" && typeof pz == "float", "SetPos(float, float, float)");
        x = px; y = py; z = pz;
    }
    function GetPosX() { return x; }
    function GetPosY() { return y; }
    function GetPosZ() { return z; }
    function SetMotion(name) {
        check(typeof name == "string" && motions.find(name) != null, "SetMotion of a motion it has: " + name);
        motion = name;
        played[name] <- 1;
    }
    function ChangeState(s) {
        check(typeof s.Start == "function" && typeof s.Loop == "function" && typeof s.End == "function", "a state");
        if (state != null) state.End(this);
        state = s;
        s.Start(this);
    }
    function SetCallback_Loop(env, fn) { onLoop = [env, fn]; }
    function SetCallback_Catch(env, fn) { onCatch = [env, fn]; }
    function SetCallback_Release(env, fn) { onRelease = [env, fn]; }

    function Clamp(v, half) { return v < -half ? -half : (v > half ? half : v); }

    // One frame as the program runs it: turn, clamp, motion, loop callback, state.
    function Update() {
        progress = duration != 0 ? progress + frameMs.tofloat() / duration : 1.0;
        if (progress >= 1.0) {
            progress = 1.0;
            dir = start = target;
        } else {
            local d = target - start;
            d -= (d / 6.2831855).tointeger() * 6.2831855;
            local e = d - 6.2831855;
            dir = start + progress * (fabs(e) > fabs(d) ? d : e);
        }
        x = Clamp(x, world.x / 2);
        y = Clamp(y, world.y / 2);
        z = Clamp(z, world.z / 2);
        if (motion == "walk") {
            x += sin(dir) * 0.34 * frameMs / 1000.0;
            z += cos(dir) * 0.34 * frameMs / 1000.0;
        }
        onLoop[1].call(onLoop[0], this);
        if (state != null) state.Loop(this);
    }
}

// The module loader: a module runs once in its own table; the caller gets an alias table that
// delegates to it, named after the file.
function require(name) {
    local key = "__mod";
    local alias = null;
    foreach (part in split(name, "/\\")) {
        local dot = part.find(".");
        alias = dot == null ? part : part.slice(0, dot);
        key += "_" + alias;
    }
    local root = getroottable();
    local table = {};
    this[alias] <- table;
    if (!(key in root)) {
        root[key] <- {};
        loadfile(name).call(root[key]);
    }
    table.setdelegate(root[key]);
}

function frames(ms) {
    for (local t = 0; t < ms; t += 20) {
        frameMs = 20;
        foreach (m in mascots) {
            if (!m.dead) m.Update();
        }
        for (local i = mascots.len() - 1; i >= 0; --i) {
            if (mascots[i].dead) mascots.remove(i);
        }
    }
}

function choose(id) {
    local item = menu[id];
    item.fn.call(item.env);
}

function grab(m) { m.onCatch[1].call(m.onCatch[0], m); }
function letGo(m) { m.onRelease[1].call(m.onRelease[0], m); }

dofile("config.nut", true);
check(cfg_StartupScript == "main.nut", "start-up script");
dofile(cfg_StartupScript, true);
check(mascots.len() == 1, "one character at start");
local momo = mascots[0];

// A minute on her own: she walks and turns back before the screen's edges, feet on the ground.
local lo = 100.0, hi = -100.0;
for (local k = 0; k < 300; ++k) {
    frames(200);
    lo = momo.x < lo ? momo.x : lo;
    hi = momo.x > hi ? momo.x : hi;
    check(fabs(momo.y + 2.5) < 1e-4 && fabs(momo.z) < 0.01, "stays on the ground");
}
check(hi - lo > 1.0 && lo > -world.x / 2 + 0.3 && hi < world.x / 2 - 0.3, "walks, and turns before the edges");

// Caught, dragged up (the mouse moves her z), let go: she dangles, falls and lands.
grab(momo);
frames(100);
check(momo.state instanceof air.Dangle, "dangles when caught");
momo.SetPos(1.0, 0.0, 1.5);
frames(500);
letGo(momo);
check(momo.state instanceof air.Fall, "falls when let go in the air");
frames(1500);
check(fabs(momo.y + 2.5) < 1e-4 && momo.z == 0.0, "lands on the ground");

// A click: caught and let go at once without moving.
frames(2000);
grab(momo);
frames(60);
letGo(momo);
check(momo.state instanceof idle.Wave, "waves when clicked");
frames(3000);

// Every menu item.
choose(0);
choose(0);
frames(3000);
check(mascots.len() == 3, "two more");
choose(3);
foreach (m in mascots) check(m.state instanceof idle.Sit, "all sit");
frames(1000);
choose(4);
foreach (m in mascots) check(m.state instanceof walk.Turn, "all walk");
frames(3000);
choose(6);
check(mascots.len() == 4 && mascots[3].motions.len() == 0, "a model of the user's without motions");
frames(5000);
for (local i = 0; i < 3; ++i) choose(0);
check(mascots.len() == 5, "at most five");
for (local i = 0; i < 6; ++i) {
    choose(1);
    frames(40);
}
check(mascots.len() == 1 && mascots[0] == momo, "goodbye to all but the first");
frames(60000);

foreach (name in ["stand", "walk", "turn", "wave", "sit", "dangle", "fall", "land"]) check(name in played, "played " + name);
print("OK\n");
