// The blob stream on its own: growth on write, bounded seeks, resizing and byte swaps.
#include "sqstdblobimpl.h"

#include <gtest/gtest.h>

namespace {

using sqstd::Blob;

std::vector<uint8_t> Bytes(Blob& b) {
    return b.Bytes();
}

TEST(BlobTest, WritesGrowAndReadsStopAtTheEnd) {
    Blob b(2);
    uint8_t in[3] = {7, 8, 9};
    EXPECT_EQ(b.Seek(1, SQ_SEEK_SET), 0);
    EXPECT_EQ(b.Write(in, 3), 3);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 7, 8, 9}));
    EXPECT_TRUE(b.EOS());
    b.Seek(2, SQ_SEEK_SET);
    uint8_t out[8] = {};
    EXPECT_EQ(b.Read(out, 8), 2);
    EXPECT_EQ(out[0], 8);
    EXPECT_EQ(b.Read(out, 8), 0);
}

TEST(BlobTest, SeeksStayInsideTheData) {
    Blob b(10);
    struct Case {
        SQInteger offset, origin, result, tell;
    } cases[] = {
        {3, SQ_SEEK_SET, 0, 3},   {2, SQ_SEEK_CUR, 0, 5},   {-1, SQ_SEEK_END, 0, 9},
        {0, SQ_SEEK_END, 0, 10},  {1, SQ_SEEK_CUR, -1, 10}, {-11, SQ_SEEK_END, -1, 10},
        {-10, SQ_SEEK_END, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(b.Seek(c.offset, c.origin), c.result);
        EXPECT_EQ(b.Tell(), c.tell);
    }
}

TEST(BlobTest, ResizeCutsButNeverLengthens) {
    Blob b(0);
    uint8_t in[6] = {0, 10, 20, 30, 40, 50};
    b.Write(in, 6);
    b.Resize(3);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 10, 20}));
    EXPECT_EQ(b.Tell(), 3);
    b.Resize(5);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 10, 20}));
    b.Write(in, 2);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 10, 20, 0, 10}));
}

TEST(BlobTest, SwapsWholeUnitsOnly) {
    Blob b(0);
    uint8_t in[7] = {1, 2, 3, 4, 5, 6, 7};
    b.Write(in, 7);
    b.Swap2();
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 7}));
    b.Swap2();
    b.Swap4();
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{4, 3, 2, 1, 5, 6, 7}));
}

} // namespace
