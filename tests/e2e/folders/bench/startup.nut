// The sample character walks across the screen and back; every second the loop callback logs how
// many frames ran ("frames N"), which the measuring script reads with --log-stderr.
cpp_New2DCamera();

class Walker {
    static SPEED = 0.34;  // units per second, the distance walk.dae's root covers
    facing = 1.0;
    frames = 0;
    elapsed = 0;

    function OnLoop(m) {
        local ms = cpp_GetPassageTime();
        frames += 1;
        elapsed += ms;
        if (elapsed >= 1000) {
            print("frames " + frames + "\n");
            frames = 0;
            elapsed -= 1000;
        }
        local edge = 0.5 * cpp_GetWorldSizeX() - 0.5;
        local x = m.GetPosX() + facing * SPEED * ms / 1000.0;
        if (x > edge || x < -edge) {
            facing = -facing;
            m.SetDir(facing > 0 ? 1.57079633 : 4.71238898, 0);
        }
        m.SetPos(x, m.GetPosY(), 0.0);
    }
}

::walker <- Walker();
::momo <- cpp_Mascot({
    model = "../../../../samples/default/model/momo.dae",
    scale = 1.0,
    motion_list = { walk = "../../../../samples/default/motion/walk.dae" }
});
::momo.SetCallback_Loop(::walker, Walker.OnLoop);
::momo.SetPos(0.0, -2.5, 0.0);
::momo.SetDir(1.57079633, 0);
::momo.SetMotion("walk");
