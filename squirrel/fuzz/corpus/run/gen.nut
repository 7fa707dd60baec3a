function gen() { for (local i = 0; i < 5; i++) yield i }
local s = 0; foreach (v in gen()) s += v
try { throw s } catch (e) { print(e) }
