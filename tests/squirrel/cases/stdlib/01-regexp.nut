// regexp: repetition order, lazy quantifiers, balanced matching, word boundaries
function show(p, s) {
    local r;
    try {
        r = regexp(p).search(s);
    } catch (e) {
        print(p + " on \"" + s + "\": error " + e + "\n");
        return;
    }
    print(p + " on \"" + s + "\": " + (r ? "\"" + s.slice(r.begin, r.end) + "\"" : "null") + "\n");
}
local cases = [
    ["a+b?", "aaa"], ["a+b?", "aaab"], ["a*b?c", "aaac"], ["[0-9]+\\.?[0-9]*", "12.5x"],
    ["a+?", "aaa"], ["a*?b", "aaab"], ["a{2,3}?", "aaaa"], ["<.+?>", "<a><b>"],
    ["\\m()", "123 Test; doSomething(str, getTemp(), (a+(b/c)));"], ["\\m[]", "x[1[2]3"],
    ["\\bfoo\\b", "afoo foo"], ["o\\B", "foo bar"], ["\\m(", "x"],
];
foreach (c in cases) show(c[0], c[1]);
