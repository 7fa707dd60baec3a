// Menu rows from the top: 常に手前に表示, first, thrower, remover, 一時停止, ... (separators are
// skipped by the keyboard). "remover" takes "first" away and adds "last" after the others.
class Items {
    thrown = 0;

    function First() { print("first chosen\n"); }

    function Thrower() {
        thrown += 1;
        print("thrower chosen " + thrown + "\n");
        throw "menu item broken";
    }

    function Remover() {
        cpp_RemovePopupMenu(0);
        cpp_AddPopupMenu(5, "last", this, Last);
        print("first removed\n");
    }

    function Last() { print("last chosen\n"); }
}

::items <- Items();
cpp_AddPopupMenu(0, "first", items, items.First);
cpp_AddPopupMenuSeparator(1);
cpp_AddPopupMenu(2, "thrower", items, items.Thrower);
cpp_AddPopupMenu(3, "remover", items, items.Remover);
print("menu ready\n");
