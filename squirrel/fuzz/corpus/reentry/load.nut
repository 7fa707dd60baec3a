local f = compilestring("return Deep(8000) + HostDeep(70)")
print(f())
local inner = "local a = [3, 1, 2]; a.sort(function(x, y) { return Deep(3000) * 0 + (x <=> y) }); return a"
print(compilestring(inner)().len())
