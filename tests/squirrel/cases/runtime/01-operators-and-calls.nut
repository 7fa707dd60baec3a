// `in` on a string sees its characters, not its default delegate
print(("tostring" in "bar") + " " + (0 in "bar") + " " + (3 in "bar") + "\n");
// _newslot on a class instance
class Bag {
    store = null;
    constructor() { store = {}; }
    function _newslot(k, v) { store[k] <- v * 10; }
    function _get(k) { if (k in store) return store[k]; throw null; }
}
local b = Bag();
b.k <- 4;
print(b.k + "\n");
// a tail call keeps the environment its callee was bound to
local env = { who = "env" };
function who() { return this.who; }
local bound = who.bindenv(env);
function tail() { return bound(); }
local outer = function() { return bound(); }.bindenv({ who = "outer" });
print(tail() + " " + outer() + "\n");
// decimal literals beyond 64 bits wrap digit by digit
print(9223372036854775808 + "\n");
print(18446744073709551616 + "\n");
print(1000000000000000000000000000000000000000 + "\n");
