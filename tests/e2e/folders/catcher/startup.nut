// The character of "walker" whose catch callback fails to load a file: an error box opens while
// the mouse button is still down.
cpp_New2DCamera();
cpp_NewUserInterface();

class Probe {
    function OnLoop(m) {}
    function OnCatch(m) { load("missing.nut"); print("catch\n"); }
    function OnRelease(m) { print("release\n"); }
}

::probe <- Probe();
::walker <- cpp_Mascot({
    model = "../../../../samples/default/model/momo.dae",
    scale = 1.0,
    motion_list = { stand = "../../../../samples/default/motion/stand.dae" }
});
::walker.SetCallback_Loop(::probe, Probe.OnLoop);
::walker.SetCallback_Catch(::probe, Probe.OnCatch);
::walker.SetCallback_Release(::probe, Probe.OnRelease);
::walker.SetPos(0.0, -1.0, 0.0);
::walker.SetDir(3.14159265, 0);
::walker.SetMotion("stand");
print("catcher ready\n");
