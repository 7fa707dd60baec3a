// Script text decoding: byte-order marks and UTF-16 in either byte order.
#include "sqstdtext.h"

#include <gtest/gtest.h>

namespace {

using sqstd::DecodeScriptText;

TEST(TextTest, DecodesByByteOrderMark) {
    struct Case {
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"print(1)", "print(1)"},
        {"\xEF\xBB\xBFx", "x"},
        {std::string("\xFF\xFEx\0\xE9\0", 6), "x\xC3\xA9"},
        {std::string("\xFE\xFF\0x\x30\x42", 6), "x\xE3\x81\x82"},
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"}, // surrogate pair
        {std::string("\xFF\xFE\x3D\xD8x\0", 6), "\xEF\xBF\xBDx"},         // lone high surrogate
        {std::string("\xFF\xFEx\0y", 5), "x\xEF\xBF\xBD"},                // dangling odd byte
        {"\xFE", "\xFE"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeScriptText(c.bytes), c.expected);
}

} // namespace
