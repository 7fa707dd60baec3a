// Vertex and index buffers in managed storage.
#include "MzBuffer.h"

#include <new>

#include "MzLog.h"
#include "MzVertexFormat.h"

namespace {

// Larger requests fail as the device would when out of memory, instead of exhausting the process.
constexpr size_t kMaxBufferBytes = size_t{256} << 20;

// Resizes `data` to `count` zeroed elements; false when too large or out of memory.
template <typename T>
bool Allocate(std::vector<T>* data, uint32_t count) {
    if (size_t{count} * sizeof(T) > kMaxBufferBytes) return false;
    try {
        data->assign(count, T{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SetResult(uint32_t* result, uint32_t value) {
    if (result != nullptr) *result = value;
}

} // namespace

bool MzVertexBuffer::Create(MzGrpDevice*, uint32_t count, uint32_t* result) {
    Release();
    const int32_t stride = MzGetVertexFormat(kSkinnedVertexFormat)->stride;
    if (size_t{count} * static_cast<size_t>(stride) > kMaxBufferBytes ||
        !Allocate(&data, count * static_cast<uint32_t>(stride))) {
        SetResult(result, kD3DErrOutOfVideoMemory);
        return false;
    }
    vertexCount = count;
    formatId = kSkinnedVertexFormat;
    ++revision;
    SetResult(result, kD3DOk);
    return true;
}

void MzVertexBuffer::Release() {
    vertexCount = 0;
    formatId = 0;
    data.clear();
    data.shrink_to_fit();
    gpu.reset();
}

uint8_t* MzVertexBuffer::Lock() {
    return data.empty() ? nullptr : data.data();
}

void MzVertexBuffer::Unlock() {
    if (!data.empty()) ++revision;
}

bool MzIndexBuffer::Create(MzGrpDevice*, uint32_t count, uint32_t* result) {
    Release();
    if (!Allocate(&data, count)) {
        MzErrorBox("ERROR:", "インデックスバッファの生成に失敗");
        SetResult(result, kD3DErrOutOfVideoMemory);
        return false;
    }
    indexCount = count;
    ++revision;
    SetResult(result, kD3DOk);
    return true;
}

void MzIndexBuffer::Release() {
    indexCount = 0;
    data.clear();
    data.shrink_to_fit();
    gpu.reset();
}

uint16_t* MzIndexBuffer::Lock() {
    return data.empty() ? nullptr : data.data();
}

void MzIndexBuffer::Unlock() {
    if (!data.empty()) ++revision;
}
