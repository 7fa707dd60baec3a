// function bodies that are single statements, and forward declarations in a class body
function twice(a) return a * 2;
print(twice(21) + "\n");
local f = function(x) if (x > 0) return "pos"; else return "neg";
print(f(1) + " " + f(-1) + "\n");
class Heap {
    items = null;
    constructor() { items = []; }
    function Insert(item);
    function Size() return items.len();
}
function Heap::Insert(item) { items.push(item); }
local h = Heap();
h.Insert(3); h.Insert(4);
print(h.Size() + "\n");
// arguments without commas
function join(...) { local s = ""; foreach (v in vargv) s += v + "|"; return s; }
print(join(1 2 "x") + "\n");
print(join("a" function(v) { return v; }("b")) + "\n");
// constructor as an ordinary name
class Toggle { state = null; constructor(s) { state = s; } }
function Toggle::constructor(s) { state = !s; }
print(Toggle(true).state + "\n");
local constructor = 1;
enum E { constructor = 5 }
print(constructor + " " + E.constructor + "\n");
local t = { constructor(v) { return v + 1; } };
print(t.constructor(1) + "\n");
// the comma operator
local a, b;
a = 1, b = 2;
print(a + " " + b + "\n");
local c = (a = 10, b = 20, a + b);
print(c + "\n");
// a function bound to its environment when it is made
local env = { name = "env" };
local g = function[env]() { return this.name; };
print(g() + " " + g.call({ name = "other" }) + "\n");
// an initializer on the line after the call
class Point { x = 0; y = 0; }
local p = Point()
{ x = 7 }
print(p.x + " " + p.y + "\n");
