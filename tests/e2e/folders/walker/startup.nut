// One character in the middle of the screen, facing the viewer, playing its stand motion. The
// callbacks log the mouse so the tests can read them with --log-stderr.
cpp_New2DCamera();
cpp_NewUserInterface();

class Probe {
    function OnLoop(m) {}
    function OnCatch(m) { print("catch\n"); }
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
print("walker ready\n");
