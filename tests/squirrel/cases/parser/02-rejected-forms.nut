// forms that do not compile, each with its message
local sources = [
    "local t = { constructor = 2 }",
    "class A { function f() { base[\"x\"] = 1; } }",
    "class A { function f() { base.x++; } }",
    "function f(a b) {}",
    "f(1,)",
    "local x = 1 +",
];
foreach (src in sources) {
    try {
        compilestring(src);
        print("compiled: " + src + "\n");
    } catch (e) {
        print(src + " -> " + e + "\n");
    }
}
