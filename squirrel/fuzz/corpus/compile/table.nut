local t = { a = 1, b = [1, 2.5, "x"] }
foreach (k, v in t) print(k)
