local a = [5, 3, 9, 1, 7, 2, 8]
a.sort(function(x, y) { Deep(5000); return x <=> y })
a.sort(function(x, y) { return host(function(p, q) { HostDeep(60); return p <=> q }, x, y) })
