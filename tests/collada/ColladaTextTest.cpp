// Number lists and image URIs.
#include "ColladaText.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace collada;

TEST(ColladaText, FloatListsAcceptSchemaWhitespaceSignsAndExponents) {
    std::vector<float> v;
    EXPECT_EQ(AppendFloats("  0.0 1.5\t\r\n-2e1 +3 .5  ", v), 0u);
    EXPECT_EQ(v, (std::vector<float>{0.0f, 1.5f, -20.0f, 3.0f, 0.5f}));
}

TEST(ColladaText, FloatTokensThatAreNotNumbersReadAsZeroAndAreCounted) {
    std::vector<float> v;
    EXPECT_EQ(AppendFloats("1 abc 2 3x", v), 2u);
    EXPECT_EQ(v, (std::vector<float>{1, 0, 2, 0}));
}

TEST(ColladaText, FloatOverflowSaturates) {
    std::vector<float> v;
    AppendFloats("1e999 -1e999", v);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_TRUE(std::isinf(v[0]) && v[0] > 0);
    EXPECT_TRUE(std::isinf(v[1]) && v[1] < 0);
}

TEST(ColladaText, IndicesOutsideTheUnsignedRangeNeverWrap) {
    std::vector<uint32_t> v;
    AppendIndices("0 7 -1 2147483648 99999999999999999999 4294967295", v);
    EXPECT_EQ(v, (std::vector<uint32_t>{0, 7, UINT32_MAX, 2147483648u, UINT32_MAX, UINT32_MAX}));
}

TEST(ColladaText, Words) {
    std::vector<std::string> v;
    AppendWords(" Hip\n Spine  Head ", v);
    EXPECT_EQ(v, (std::vector<std::string>{"Hip", "Spine", "Head"}));
}

TEST(ColladaText, ImagePaths) {
    struct Case {
        const char* uri;
        const char* path;
    } cases[] = {
        {"tex.png", "/doc/dir/tex.png"},
        {"./tex.png", "/doc/dir/tex.png"},
        {"../images/tex.png", "/doc/images/tex.png"},
        {"images\\tex.png", "/doc/dir/images/tex.png"},
        {"my%20tex%2Epng", "/doc/dir/my tex.png"},
        {"file:///usr/share/tex.png", "/usr/share/tex.png"},
        {"file:///C:/Users/art/boy_10.tga", "C:/Users/art/boy_10.tga"},
        {"file:tex.png", "/doc/dir/tex.png"},
        {"/abs/tex.png", "/abs/tex.png"},
        {"  tex.png\n", "/doc/dir/tex.png"},
        {"bad%zzescape.png", "/doc/dir/bad%zzescape.png"},
        {"trailing%2", "/doc/dir/trailing%2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImagePathFromUri(c.uri, "/doc/dir"), c.path) << c.uri;
}

TEST(ColladaText, OnlyLocalFragmentsResolve) {
    EXPECT_EQ(FragmentOf("#geom"), "geom");
    EXPECT_EQ(FragmentOf("geom"), "");
    EXPECT_EQ(FragmentOf("other.dae#geom"), "");
    EXPECT_EQ(FragmentOf(""), "");
}
