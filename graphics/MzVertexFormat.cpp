// The vertex format table.
#include "MzVertexFormat.h"

namespace {

constexpr MzVertexFormat kFormats[kVertexFormatCount] = {
    // stride  fvf     pos  nrm  dif  wgt  idx  tc0  tc1
    {24, 0x12, 0, 12, -1, -1, -1, -1, -1},    {40, 0x101C, 0, 28, -1, 12, 24, -1, -1},
    {32, 0x112, 0, 12, -1, -1, -1, 24, -1},   {48, 0x111C, 0, 28, -1, 12, 24, 40, -1},
    {36, 0xC0212, 0, 12, -1, -1, -1, 24, 32}, {52, 0xC121C, 0, 28, -1, 12, 24, 40, 48},
    {28, 0x52, 0, 12, 24, -1, -1, -1, -1},
};

} // namespace

const MzVertexFormat* MzGetVertexFormat(int32_t id) {
    if (id < 0 || id >= kVertexFormatCount) return nullptr;
    return &kFormats[id];
}
