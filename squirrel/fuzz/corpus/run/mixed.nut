local a = [5, 3, 9]; a.sort(@(x, y) y <=> x)
local t = newthread(function(x) { return suspend(x) + 1 }); t.call(1); t.wakeup(2)
class P { v = 0; function _add(o) { return P() } }
local p = P() + P(); while (true) {}
