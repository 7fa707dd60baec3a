// One character standing in the middle; the world's width follows the window's aspect ratio, so
// the loop callback logs it whenever it changes.
cpp_New2DCamera();

class Probe {
    width = -1.0;
    function OnLoop(m) {
        local w = cpp_GetWorldSizeX();
        if (w != width) {
            width = w;
            print(format("world %.2f\n", w));
        }
    }
}

::probe <- Probe();
::stander <- cpp_Mascot({
    model = "../../../../samples/default/model/momo.dae",
    scale = 1.0,
    motion_list = { stand = "../../../../samples/default/motion/stand.dae" }
});
::stander.SetCallback_Loop(::probe, Probe.OnLoop);
::stander.SetPos(0.0, -1.0, 0.0);
::stander.SetDir(3.14159265, 0);
::stander.SetMotion("stand");
