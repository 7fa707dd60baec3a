// the report lists foreach's hidden iterator and the captured variables of the failing function
try { local x = [] instanceof "s"; } catch (e) { print(e + "\n"); }
local up = 5;
function f() {
    local a = [10, 20];
    foreach (i, v in a) {
        if (i == 1) throw "stop " + up;
    }
}
f();
