// The blob stream: a growable byte buffer with a read/write position.
#ifndef SQSTDBLOBIMPL_H
#define SQSTDBLOBIMPL_H

#include <sqstdio.h>

#include <cstdint>
#include <vector>

namespace sqstd {

class Blob : public SQStream {
  public:
    explicit Blob(SQInteger size) : data_(static_cast<size_t>(size), 0) {}

    SQInteger Read(void* buffer, SQInteger size) override;
    SQInteger Write(void* buffer, SQInteger size) override;
    SQInteger Flush() override { return 0; }
    SQInteger Tell() override { return static_cast<SQInteger>(pos_); }
    SQInteger Len() override { return static_cast<SQInteger>(data_.size()); }
    // Moves within [0, Len()]; -1 when the target lies outside (the position is kept).
    SQInteger Seek(SQInteger offset, SQInteger origin) override;
    bool IsValid() override { return true; }
    bool EOS() override { return pos_ >= data_.size(); }

    // Shrinking cuts the data (clamping the position); growing only reserves room, the length
    // stays until writes reach it, as scripts written for upstream's blobs expect.
    void Resize(SQInteger size);
    void Swap2();
    void Swap4();

    uint8_t* Data() { return data_.data(); }
    std::vector<uint8_t>& Bytes() { return data_; }

  private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
};

} // namespace sqstd

#endif
