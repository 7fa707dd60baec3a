// deeply nested source compiles and runs (the sources are built here to keep the case small)
function repeat(s, n) {
    local r = "";
    for (; n > 0; n = n >> 1, s += s)
        if (n & 1) r += s;
    return r;
}
local blocks = "local x = 0;" + repeat("{", 24000) + "x++;" + repeat("}", 24000) + "return x;";
print(compilestring(blocks)() + "\n");
local calls = "local f = @(a) a; return " + repeat("f(", 20000) + "1" + repeat(")", 20000) + ";";
print(compilestring(calls)() + "\n");
local tables = "return " + repeat("{a = ", 20000) + "1" + repeat("}", 20000) + ";";
print(typeof compilestring(tables)().a.a + "\n");
// nesting beyond any stack is a compile error, not a crash
try {
    compilestring("return " + repeat("(", 1000000) + "1" + repeat(")", 1000000) + ";");
} catch (e) {
    print(e + "\n");
}
