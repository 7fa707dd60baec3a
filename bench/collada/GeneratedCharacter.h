// A generated skinned and animated character for the import benchmark.
#pragma once

#include <string>

// A COLLADA document with `triangles` triangles (positions, normals, texture coordinates), a chain
// of `joints` joints skinning every vertex with four influences, and a motion of `seconds` at 30
// keys a second on a translate and a rotate of every joint.
std::string GeneratedCharacter(int triangles, int joints, float seconds);
