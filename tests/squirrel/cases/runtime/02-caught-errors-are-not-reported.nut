// an error the script catches reaches no error handler, wherever it was thrown
class T { constructor() { throw "in constructor"; } }
try { T(); } catch (e) { print("caught " + e + "\n"); }
local callable = {};
callable.setdelegate({ _call = function(self, x) { throw "in _call " + x; } });
try { callable(1); } catch (e) { print("caught " + e + "\n"); }
function gen() { yield 1; throw "in generator"; }
local g = gen();
try { resume g; resume g; } catch (e) { print("caught " + e + "\n"); }
class Deep { constructor() { local inner = T(); } }
try { Deep(); } catch (e) { print("caught " + e + "\n"); }
// uncaught, it is reported once
T();
