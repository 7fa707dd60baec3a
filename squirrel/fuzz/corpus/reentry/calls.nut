function f(n) { return n <= 0 ? 0 : 1 + f.call(this, n - 1) }
function g(n) { return n <= 0 ? 0 : 1 + g.acall([this, n - 1]) }
function h(n) { return n <= 0 ? 0 : 1 + h.pcall(this, n - 1) }
print(f(90) + g(90) + h(90))
print(Deep(20000))
