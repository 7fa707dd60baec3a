enum E { A, B = 5 } const C = -1
switch (x) { case 1: break; default: y <- @(a) a * E.B }
