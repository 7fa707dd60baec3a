// The fixed table of vertex formats: stride, flexible vertex format code and component offsets.
#pragma once

#include <cstdint>

struct MzVertexFormat {
    int32_t stride;
    uint32_t fvf;
    // Byte offsets within one vertex; -1 when the component is absent.
    int32_t position;
    int32_t normal;
    int32_t diffuse;      // 32-bit ARGB word
    int32_t blendWeights; // three floats; the fourth weight is 1 - their sum
    int32_t blendIndices; // four bytes, index 0 in the lowest byte
    int32_t texCoord0;    // two floats
    int32_t texCoord1;    // one float
};

constexpr int32_t kVertexFormatCount = 7;
// The format every buffer made by MzVertexBuffer::Create has: skinned, lit, one texture.
constexpr int32_t kSkinnedVertexFormat = 3;

// Row `id` of the table, or null for an id outside 0..6.
const MzVertexFormat* MzGetVertexFormat(int32_t id);
