// The one shader program that reproduces the fixed-function states the draw code sets.
#pragma once

extern const char* const kMzFixedFunctionVertexShader;
extern const char* const kMzFixedFunctionFragmentShader;
