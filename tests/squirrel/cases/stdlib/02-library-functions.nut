// base and string library functions as scripts written for upstream use them
function t(label, f) {
    try {
        print(label + ": " + f() + "\n");
    } catch (e) {
        print(label + ": error " + e + "\n");
    }
}
t("table.map", function() {
    local m = { a = 1, b = 2 }.map(@(v) v * 10);
    return m.a + " " + m.b;
});
t("table.map with keys", @() { a = 1 }.map(@(v, k) k + v).a);
t("map from the root table", @() typeof map);
t("dummy", @() typeof dummy + " " + dummy(1, 2));
t("stream", @() typeof stream + " " + (blob() instanceof stream) + " " + (stdout instanceof stream));
t("sort with a float comparator", function() { local a = [3, 1, 2]; a.sort(@(x, y) (x - y) * 0.5); return "" + a[0] + a[1] + a[2]; });
t("sort with a bool comparator", function() { local a = [3, 1, 2]; a.sort(@(x, y) x > y); return "" + a[0] + a[1] + a[2]; });
t("sort with a string comparator", @() [2, 1].sort(@(x, y) "no"));
t("tolower range", @() "ABCDEF".tolower(1, 3));
t("toupper from", @() "abcdef".toupper(2));
t("toupper negative", @() "abcdef".toupper(-2));
t("tolower bad range", @() "abc".tolower(2, 1));
t("format %d of bools", @() format("%d %d %x", true, false, true));
t("format %s of a bool", @() format("%s", true));
t("escape high bytes", @() escape("caf\xe9"));
t("escape controls", @() escape("a\x01\x7f"));
t("inf", @() "inf".tofloat());
t("-nan", @() "-nan".tofloat());
t("numbers", @() "1e3".tofloat() + " " + " -2.5".tofloat() + " " + ".5".tofloat());
