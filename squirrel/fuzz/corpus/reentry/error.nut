function Boom(n) { if (n == 0) throw "deep"; return Boom(n - 1) }
try { [2, 1].sort(function(x, y) { return Boom(5000) }) } catch (e) { print(e) }
try { host(Boom, 3000) } catch (e) { print(e) }
function R(n) { return host(R, n + 1) }
try { R(0) } catch (e) { print(e) }
