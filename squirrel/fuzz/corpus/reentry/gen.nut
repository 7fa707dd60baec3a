function gen(n) { for (local i = 0; i < n; i++) { Deep(4000); yield i } }
local s = 0
foreach (v in gen(5)) s += v + HostDeep(30)
local t = newthread(function(n) { local r = Deep(n); suspend(r); return HostDeep(50) })
print(t.call(6000) + t.wakeup())
