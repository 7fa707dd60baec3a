// Everyone on the desktop, in the order they came; the pop-up menu's items act on them.

class Cast {
    static LIMIT = 5;
    static MOTIONS = {
        stand = "motion/stand.dae", walk = "motion/walk.dae", turn = "motion/turn.dae",
        wave = "motion/wave.dae", sit = "motion/sit.dae", dangle = "motion/dangle.dae",
        fall = "motion/fall.dae", land = "motion/land.dae"
    };

    members = null;
    momos = 0;   // Momos made so far, for their names

    constructor() {
        members = [];
    }

    function Full() {
        if (members.len() < LIMIT) return false;
        print(format("これ以上は増やせません（最大 %d 人）\n", LIMIT));
        return true;
    }

    // Momo herself, with her motions. The first one stands on the ground for a moment and then
    // sets off; later ones drop in from the top of the screen at a random place.
    function AddMomo() {
        if (Full()) return;
        momos += 1;
        local name = momos == 1 ? "Momo" : format("Momo %d", momos);
        local who = ::character.Character(name, { model = "model/momo.dae", scale = 1.0, motion_list = MOTIONS }, true);
        Enter(who, members.len() == 0);
    }

    // Any COLLADA model. Its skeleton is unknown, so it gets no motions: the scripts still walk,
    // turn, drop and land it by moving it themselves.
    function AddModel(path) {
        if (Full()) return;
        local slash = path.len() - 1;
        while (slash >= 0 && path[slash] != '/' && path[slash] != '\\') slash -= 1;
        local who = ::character.Character(path.slice(slash + 1), { model = path, scale = 1.0 }, false);
        Enter(who, false);
        who.Log("モデル " + path + " を読み込みました（モーションなし。大きさは中ボタンのドラッグで変えられます）");
    }

    function Enter(who, standing) {
        members.append(who);
        local m = who.mascot;
        local edge = who.Edge();
        if (standing) {
            who.Place(m, edge * 0.4, who.Ground());
            m.SetDir(::character.Character.FRONT, 0);
            m.ChangeState(::idle.Stand(who, 2000).ThenWalk());
        } else {
            who.Place(m, (frand() * 2.0 - 1.0) * edge, who.Top() - 1.1);
            m.SetDir(::character.Character.FRONT, 0);
            m.ChangeState(::air.Fall(who));
        }
        who.Log(format("やってきました（%d 人目）", members.len()));
    }

    // --- menu items: called with the cast as "this"

    function Another() {
        AddMomo();
    }

    function Goodbye() {
        if (members.len() <= 1) {
            print("最後の一人は残ります（終了するにはメニューの「終了」）\n");
            return;
        }
        local who = members.pop();
        who.Log("さようなら");
        who.mascot.Kill();
    }

    function SitAll() {
        foreach (who in members) {
            if (who.Idle()) who.mascot.ChangeState(::idle.Sit(who, 20000));
        }
    }

    function WalkAll() {
        foreach (who in members) {
            if (who.Idle()) who.mascot.ChangeState(::walk.Begin(who, who.mascot, 0));
        }
    }

    function OpenModel() {
        local path = cpp_OpenFileDialog("COLLADA (*.dae)\0*.dae\0すべてのファイル (*.*)\0*.*\0", "dae");
        if (path == "") return;
        AddModel(path);
    }
}
