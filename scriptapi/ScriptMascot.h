// The script class cpp_Mascot: creating mascots from an option table and steering them.
//
// Methods check `this` (a cpp_Mascot instance, or one of a class extending it, bound by the
// constructor) and their arguments by exact script type, and raise "Invalid Instance Type" and
// "Incorrect function argument". A method called through an instance whose mascot has been removed
// raises "the mascot has been removed".
#pragma once

// Creates the class in the root table of MzSquirrel's VM.
void RegisterMascotClass();
