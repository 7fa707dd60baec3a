// GLSL of the emulated fixed-function pipeline. The formulas are those of graphics/README.md.
#include "MzGLShaders.h"

namespace {

// Matrices arrive row-major with row vectors (v × M); read as GLSL's column-major they are the
// transposes, so M * v computes v × M. Clip z goes from Direct3D's 0..1 to GL's -1..1.
const char* const kVertexBody = R"(
layout(std140) uniform Palette { mat4 uPalette[256]; };

#if FLAT
#define SHADING flat
#else
#define SHADING smooth
#endif
SHADING out vec4 vDiffuse;
#if SPECULAR
SHADING out vec3 vSpecular;
#endif
#if TEXTURED
out vec2 vTexCoord;
#endif

#if LIGHTING
void AddLight(int i, vec3 n, vec3 toEye, inout vec3 ambient, inout vec3 lit, inout vec3 specular) {
    ambient += uLightAmbient[i];
    lit += uLightDiffuse[i] * max(dot(n, uLightToward[i]), 0.0);
#if SPECULAR
    vec3 h = normalize(toEye + uLightToward[i]);
    float nh = max(dot(n, h), 0.0);
    specular += uLightSpecular[i] * (nh > 0.0 ? pow(nh, uMatPower) : 0.0);
#endif
}
#endif

void main() {
    vec4 position = vec4(0.0);
    vec3 normal = vec3(0.0);
#if SKINNED
    float w[4] = float[4](aWeights.x, aWeights.y, aWeights.z, 1.0 - aWeights.x - aWeights.y - aWeights.z);
#if INDEXED
    uvec4 index = aIndices;
#else
    uvec4 index = uvec4(0u, 1u, 2u, 3u);
#endif
    for (int i = 0; i < 4; ++i) {
        mat4 m = uPalette[index[i]];
        position += w[i] * (m * vec4(aPosition, 1.0));
#if LIGHTING
        normal += w[i] * (mat3(m) * aNormal);
#endif
    }
#else
    position = uPalette[0] * vec4(aPosition, 1.0);
#if LIGHTING
    normal = mat3(uPalette[0]) * aNormal;
#endif
#endif
    vec4 viewPosition = uView * position;
    vec4 clip = uProjection * viewPosition;
    gl_Position = vec4(clip.x, clip.y, 2.0 * clip.z - clip.w, clip.w);
#if TEXTURED
    vTexCoord = aTexCoord;
#endif

#if HAS_COLOR
    vec4 diffuse = aColor;
#else
    vec4 diffuse = vec4(1.0);
#endif
#if LIGHTING
#if COLOR_VERTEX
    vec4 matDiffuse = diffuse;
#else
    vec4 matDiffuse = uMatDiffuse;
#endif
    vec3 n = normalize(mat3(uView) * normal);
    vec3 toEye = normalize(-viewPosition.xyz);
    vec3 ambient = uGlobalAmbient;
    vec3 lit = vec3(0.0);
    vec3 specular = vec3(0.0);
#if LIGHT0
    AddLight(0, n, toEye, ambient, lit, specular);
#endif
#if LIGHT1
    AddLight(1, n, toEye, ambient, lit, specular);
#endif
    diffuse = vec4(clamp(uMatAmbient * ambient + matDiffuse.rgb * lit + uMatEmissive, 0.0, 1.0), matDiffuse.a);
#if SPECULAR
    vSpecular = clamp(uMatSpecular * specular, 0.0, 1.0);
#endif
#endif
    vDiffuse = diffuse;
}
)";

const char* const kFragmentBody = R"(
#if FLAT
#define SHADING flat
#else
#define SHADING smooth
#endif
SHADING in vec4 vDiffuse;
#if SPECULAR
SHADING in vec3 vSpecular;
#endif
#if TEXTURED
in vec2 vTexCoord;
uniform sampler2D uTexture;
#endif

out vec4 outColor;

void main() {
#if TEXTURED
    vec4 texel = texture(uTexture, vTexCoord);
#else
    vec4 texel = vec4(1.0);
#endif
#if SELECT_ARG2
    vec3 rgb = vDiffuse.rgb;
#else
    vec3 rgb = texel.rgb * vDiffuse.rgb;
#endif
    float alpha = texel.a * vDiffuse.a;
#if SPECULAR
    rgb = min(rgb + vSpecular, vec3(1.0));
#endif
#if ALPHA_TEST
    if (floor(alpha * 255.0 + 0.5) < uAlphaRef) discard;
#endif
    outColor = vec4(rgb, alpha);
}
)";

// The version, the switches of `key` and the uniform declarations.
std::string Header(uint32_t key) {
    std::string s = "#version 330 core\n";
#define MZ_GL_DEFINE(name)                                                                                   \
    s += "#define " #name " ";                                                                               \
    s += (key & MzGLBit(MzGLSwitch::name)) != 0 ? "1\n" : "0\n";
    MZ_GL_SWITCHES(MZ_GL_DEFINE)
#undef MZ_GL_DEFINE
#define MZ_GL_DECLARE(name, type, n)                                                                         \
    s += (n) > 1 ? "uniform " #type " " #name "[" #n "];\n" : "uniform " #type " " #name ";\n";
    MZ_GL_UNIFORMS(MZ_GL_DECLARE)
#undef MZ_GL_DECLARE
    return s;
}

} // namespace

std::string MzGLVertexShader(uint32_t key) {
    std::string s = Header(key);
#define MZ_GL_ATTRIBUTE(name, location, type, field, size, glType, kind)                                     \
    s += "layout(location = " #location ") in " #type " " #name ";\n";
    MZ_GL_ATTRIBUTES(MZ_GL_ATTRIBUTE)
#undef MZ_GL_ATTRIBUTE
    return s + kVertexBody;
}

std::string MzGLFragmentShader(uint32_t key) {
    return Header(key) + kFragmentBody;
}
