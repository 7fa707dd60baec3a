// Momo's start-up script: the flat 2D view, the mouse, the menu and the first character.

require("lib/character.nut");   // character.Character: one character and its callbacks
require("lib/cast.nut");        // cast.Cast: everyone on the desktop, the menu's actions
require("states/idle.nut");     // idle.Stand, idle.Sit, idle.Wave
require("states/walk.nut");     // walk.Begin, walk.Walk, walk.Turn
require("states/air.nut");      // air.Dangle, air.Fall, air.Land

srand(time());

cpp_New2DCamera();       // the screen as a flat stage: x across, height up
cpp_NewUserInterface();  // left drag catches, middle drag turns and scales

::troupe <- cast.Cast();

cpp_AddPopupMenu(0, "もう一人", troupe, troupe.Another);
cpp_AddPopupMenu(1, "さよなら", troupe, troupe.Goodbye);
cpp_AddPopupMenuSeparator(2);
cpp_AddPopupMenu(3, "おすわり", troupe, troupe.SitAll);
cpp_AddPopupMenu(4, "歩く", troupe, troupe.WalkAll);
cpp_AddPopupMenuSeparator(5);
cpp_AddPopupMenu(6, "モデルを開く…", troupe, troupe.OpenModel);

print(format("画面の高さ %.1f、幅 %.1f（単位はキャラクターの背の高さ）\n",
             cpp_GetWorldSizeY(), cpp_GetWorldSizeX()));
print("左ドラッグでつかむ・中クリック（または左ボタンで軽くつつく）と手を振る・中ドラッグで回転と拡大・右クリックでメニュー\n");

troupe.AddMomo();
