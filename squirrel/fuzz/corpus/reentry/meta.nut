class V {
  x = 0
  constructor(v) { x = v }
  function _add(o) { Deep(3000); return V(x + o.x) }
  function _cmp(o) { HostDeep(40); return x <=> o.x }
  function _get(k) { return Deep(2000) }
  function _tostring() { return "V" + Deep(100) }
}
local s = V(1) + V(2)
local l = [V(3), V(1), V(2)]
l.sort()
print(s.missing + " " + s)
