class A extends B </ x = 1 /> { constructor(a = 2) { base.constructor() } static s = 3 function f(...) { return vargv.len() } }
