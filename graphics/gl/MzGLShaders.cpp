// GLSL of the emulated fixed-function pipeline. The formulas are those of graphics/README.md.
#include "MzGLShaders.h"

// Matrices arrive row-major with row vectors (v × M); read as GLSL's column-major they are the
// transposes, so M * v computes v × M. Clip z goes from Direct3D's 0..1 to GL's -1..1.
const char* const kMzFixedFunctionVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec3 aWeights;
layout(location = 3) in uvec4 aIndices;
layout(location = 4) in vec4 aColor;
layout(location = 5) in vec2 aTexCoord;

layout(std140) uniform Palette { mat4 uPalette[256]; };
uniform mat4 uView;
uniform mat4 uProjection;
uniform int uBlend;          // 0 world matrix 0, 1 matrices 0..3 by weight, 2 indexed by weight
uniform bool uHasColor;
uniform bool uLighting;
uniform bool uSpecularEnable;
uniform bool uColorVertex;
uniform vec4 uMatDiffuse;
uniform vec3 uMatAmbient;
uniform vec3 uMatSpecular;
uniform vec3 uMatEmissive;
uniform float uMatPower;
uniform vec3 uGlobalAmbient;
uniform bool uLightOn[2];
uniform vec3 uLightToward[2];  // view space, pointing at the light
uniform vec3 uLightDiffuse[2];
uniform vec3 uLightSpecular[2];
uniform vec3 uLightAmbient[2];

smooth out vec4 vDiffuse;
smooth out vec3 vSpecular;
flat out vec4 fDiffuse;
flat out vec3 fSpecular;
out vec2 vTexCoord;

void main() {
    vec4 position = vec4(0.0);
    vec3 normal = vec3(0.0);
    if (uBlend == 0) {
        position = uPalette[0] * vec4(aPosition, 1.0);
        normal = mat3(uPalette[0]) * aNormal;
    } else {
        float w[4] = float[4](aWeights.x, aWeights.y, aWeights.z, 1.0 - aWeights.x - aWeights.y - aWeights.z);
        uvec4 index = uBlend == 2 ? aIndices : uvec4(0u, 1u, 2u, 3u);
        for (int i = 0; i < 4; ++i) {
            mat4 m = uPalette[index[i]];
            position += w[i] * (m * vec4(aPosition, 1.0));
            normal += w[i] * (mat3(m) * aNormal);
        }
    }
    vec4 viewPosition = uView * position;
    vec4 clip = uProjection * viewPosition;
    gl_Position = vec4(clip.x, clip.y, 2.0 * clip.z - clip.w, clip.w);
    vTexCoord = aTexCoord;

    vec4 vertexColor = uHasColor ? aColor : vec4(1.0);
    vec4 diffuse = vertexColor;
    vec3 specular = vec3(0.0);
    if (uLighting) {
        vec4 matDiffuse = uColorVertex && uHasColor ? vertexColor : uMatDiffuse;
        vec3 n = normalize(mat3(uView) * normal);
        vec3 toEye = normalize(-viewPosition.xyz);
        vec3 ambient = uGlobalAmbient;
        vec3 lit = vec3(0.0);
        for (int i = 0; i < 2; ++i) {
            if (!uLightOn[i]) continue;
            ambient += uLightAmbient[i];
            lit += uLightDiffuse[i] * max(dot(n, uLightToward[i]), 0.0);
            if (uSpecularEnable) {
                vec3 h = normalize(toEye + uLightToward[i]);
                float nh = max(dot(n, h), 0.0);
                specular += uLightSpecular[i] * (nh > 0.0 ? pow(nh, uMatPower) : 0.0);
            }
        }
        diffuse = vec4(clamp(uMatAmbient * ambient + matDiffuse.rgb * lit + uMatEmissive, 0.0, 1.0), matDiffuse.a);
        specular = clamp(uMatSpecular * specular, 0.0, 1.0);
    }
    vDiffuse = diffuse;
    fDiffuse = diffuse;
    vSpecular = specular;
    fSpecular = specular;
}
)";

const char* const kMzFixedFunctionFragmentShader = R"(#version 330 core
smooth in vec4 vDiffuse;
smooth in vec3 vSpecular;
flat in vec4 fDiffuse;
flat in vec3 fSpecular;
in vec2 vTexCoord;

uniform sampler2D uTexture;
uniform bool uFlat;
uniform bool uTextured;
uniform bool uSelectArg2;
uniform bool uAddSpecular;
uniform bool uAlphaTest;
uniform float uAlphaRef;     // 0..255, passes when alpha × 255 >= it

out vec4 outColor;

void main() {
    vec4 diffuse = uFlat ? fDiffuse : vDiffuse;
    vec3 specular = uFlat ? fSpecular : vSpecular;
    vec4 texel = uTextured ? texture(uTexture, vTexCoord) : vec4(1.0);
    vec3 rgb = uSelectArg2 ? diffuse.rgb : texel.rgb * diffuse.rgb;
    float alpha = texel.a * diffuse.a;
    if (uAddSpecular) rgb = min(rgb + specular, vec3(1.0));
    if (uAlphaTest && floor(alpha * 255.0 + 0.5) < uAlphaRef) discard;
    outColor = vec4(rgb, alpha);
}
)";
