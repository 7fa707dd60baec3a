// Every frame the loop callback logs "busy" and then spins until it is interrupted.
cpp_New2DCamera();

class Spinner {
    function OnLoop(m) {
        print("busy\n");
        while (true) {}
    }
}

::spinner <- Spinner();
::spun <- cpp_Mascot({ model = "../../../../samples/default/model/momo.dae", scale = 1.0 });
::spun.SetCallback_Loop(::spinner, Spinner.OnLoop);
::spun.SetPos(0.0, -1.0, 0.0);
print("spinner ready\n");
