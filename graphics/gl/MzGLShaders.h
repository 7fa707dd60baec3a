// The shader programs that reproduce the fixed-function states the draw code sets.
//
// Every on/off state is a compile-time switch: a program is one variant, made on first use for the
// combination of switches a draw needs, so no shader branches on a uniform (on a software
// rasteriser a branch costs both sides) and a variant computes only what it outputs: without
// lighting there is no normal, without a texture no texture coordinate. The remaining values are
// uniforms. Each table below is the one place its facts are written; the C++ structs, the location
// lookups, the uploads and the GLSL declarations are generated from them.
#pragma once

#include <cstdint>
#include <string>

// Uniform values: GLSL name (also the C++ field), GLSL type, array length.
#define MZ_GL_UNIFORMS(X)                                                                                    \
    X(uView, mat4, 1)                                                                                        \
    X(uProjection, mat4, 1)                                                                                  \
    X(uMatDiffuse, vec4, 1)                                                                                  \
    X(uMatAmbient, vec3, 1)                                                                                  \
    X(uMatSpecular, vec3, 1)                                                                                 \
    X(uMatEmissive, vec3, 1)                                                                                 \
    X(uMatPower, float, 1)                                                                                   \
    X(uGlobalAmbient, vec3, 1)                                                                               \
    X(uLightToward, vec3, 2) /* view space, pointing at the light */                                         \
    X(uLightDiffuse, vec3, 2)                                                                                \
    X(uLightSpecular, vec3, 2)                                                                               \
    X(uLightAmbient, vec3, 2)                                                                                \
    X(uAlphaRef, float, 1) /* 0..255, passes when alpha × 255 >= it */

// Floats per element of each uniform type, and the call that uploads `n` elements.
#define MZ_GL_FLOATS_mat4 16
#define MZ_GL_FLOATS_vec4 4
#define MZ_GL_FLOATS_vec3 3
#define MZ_GL_FLOATS_float 1
#define MZ_GL_UPLOAD_mat4(gl, loc, n, p) gl->glUniformMatrix4fv(loc, n, GL_FALSE, p)
#define MZ_GL_UPLOAD_vec4(gl, loc, n, p) gl->glUniform4fv(loc, n, p)
#define MZ_GL_UPLOAD_vec3(gl, loc, n, p) gl->glUniform3fv(loc, n, p)
#define MZ_GL_UPLOAD_float(gl, loc, n, p) gl->glUniform1fv(loc, n, p)

// Switches: each is a preprocessor symbol of the shader source (1 or 0) and one bit of a variant's key.
#define MZ_GL_SWITCHES(X)                                                                                    \
    X(SKINNED)   /* blended by the vertex's weights over four palette matrices */                            \
    X(INDEXED)   /* ... addressed by the vertex's indices, else matrices 0 to 3 */                           \
    X(HAS_COLOR) /* the vertex format has a diffuse colour */                                                \
    X(LIGHTING)                                                                                              \
    X(SPECULAR)                                                                                              \
    X(COLOR_VERTEX) /* the diffuse material is the vertex colour */                                          \
    X(LIGHT0)                                                                                                \
    X(LIGHT1)                                                                                                \
    X(FLAT)                                                                                                  \
    X(TEXTURED)                                                                                              \
    X(SELECT_ARG2) /* colour = diffuse, else texel × diffuse */                                             \
    X(ALPHA_TEST)

// Vertex attributes: GLSL name, location, GLSL type, the vertex format's offset field, components,
// GL type, how it is read (Float, Integer, Normalized).
#define MZ_GL_ATTRIBUTES(X)                                                                                  \
    X(aPosition, 0, vec3, position, 3, GL_FLOAT, Float)                                                      \
    X(aNormal, 1, vec3, normal, 3, GL_FLOAT, Float)                                                          \
    X(aWeights, 2, vec3, blendWeights, 3, GL_FLOAT, Float)                                                   \
    X(aIndices, 3, uvec4, blendIndices, 4, GL_UNSIGNED_BYTE, Integer)                                        \
    X(aColor, 4, vec4, diffuse, GL_BGRA, GL_UNSIGNED_BYTE, Normalized)                                       \
    X(aTexCoord, 5, vec2, texCoord0, 2, GL_FLOAT, Float)

enum class MzGLSwitch : uint32_t {
#define MZ_GL_SWITCH_ENUM(name) name,
    MZ_GL_SWITCHES(MZ_GL_SWITCH_ENUM)
#undef MZ_GL_SWITCH_ENUM
};

constexpr uint32_t MzGLBit(MzGLSwitch s) {
    return 1u << static_cast<uint32_t>(s);
}

// The vertex and fragment shader sources of the variant with the switches of `key` on.
std::string MzGLVertexShader(uint32_t key);
std::string MzGLFragmentShader(uint32_t key);
