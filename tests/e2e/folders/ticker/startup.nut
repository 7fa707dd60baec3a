// One character in the middle of the screen; every tenth frame logs "frame N".
cpp_New2DCamera();
cpp_NewUserInterface();

class Ticker {
    frames = 0;
    function OnLoop(m) {
        frames++;
        if (frames % 10 == 0) print("frame " + frames + "\n");
    }
}

::ticker <- Ticker();
::mascot <- cpp_Mascot({
    model = "../../../../samples/default/model/momo.dae",
    scale = 1.0,
    motion_list = { stand = "../../../../samples/default/motion/stand.dae" }
});
::mascot.SetCallback_Loop(::ticker, Ticker.OnLoop);
::mascot.SetPos(0.0, -1.0, 0.0);
::mascot.SetDir(3.14159265, 0);
::mascot.SetMotion("stand");
print("ticker ready\n");
