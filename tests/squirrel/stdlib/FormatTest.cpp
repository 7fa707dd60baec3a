// The format engine on its own: conversions, flags, widths, precisions and error messages.
#include "sqstdformat.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sqstd::FormatArg;

FormatArg Int(int64_t v) {
    FormatArg a;
    a.kind = FormatArg::Kind::Integer;
    a.integer = v;
    return a;
}
FormatArg Float(float v) {
    FormatArg a;
    a.kind = FormatArg::Kind::Float;
    a.real = v;
    return a;
}
FormatArg Str(std::string_view v) {
    FormatArg a;
    a.kind = FormatArg::Kind::String;
    a.text = v;
    return a;
}
FormatArg Other() {
    return FormatArg{};
}

std::string Formatted(std::string_view format, std::vector<FormatArg> args) {
    std::string out, error;
    if (!sqstd::FormatString(format, args, out, error)) return "error: " + error;
    return out;
}

TEST(FormatTest, IntegerConversions) {
    struct Case {
        const char* format;
        int64_t value;
        const char* expected;
    } cases[] = {
        {"%d", 42, "42"},
        {"%i", -42, "-42"},
        {"%5d", 42, "   42"},
        {"%-5d|", 42, "42   |"},
        {"%05d", 42, "00042"},
        {"%+d", 42, "+42"},
        {"% d", 42, " 42"},
        {"%x", 255, "ff"},
        {"%X", 255, "FF"},
        {"%#x", 255, "0xff"},
        {"%08X", 48879, "0000BEEF"},
        {"%o", 8, "10"},
        {"%#o", 8, "010"},
        {"%c", 65, "A"},
        {"%3c|", 66, "  B|"},
        {"%-3c|", 67, "C  |"},
        {"%5.3d", 7, "  007"},
        {"%u", 42, "42"},
        {"%d", 5000000000, "5000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Formatted(c.format, {Int(c.value)}), c.expected) << c.format;
}

TEST(FormatTest, FloatConversions) {
    struct Case {
        const char* format;
        float value;
        const char* expected;
    } cases[] = {
        {"%f", 3.14159f, "3.141590"},       {"%.2f", 3.14159f, "3.14"},      {"%.0f", 2.5f, "2"},
        {"%8.3f|", 3.14159f, "   3.142|"},  {"%08.2f", -3.5f, "-0003.50"},   {"%+.1f", 2.25f, "+2.2"},
        {"%e", 12345.678f, "1.234568e+04"}, {"%.2e", 0.000123f, "1.23e-04"}, {"%E", 1.5f, "1.500000E+00"},
        {"%g", 0.0001f, "0.0001"},          {"%g", 1000000.0f, "1e+06"},     {"%G", 1e-10f, "1E-10"},
        {"%10.4e|", 1.0f, "1.0000e+00|"},   {"%.99f", 3e38f, nullptr},
    };
    for (const Case& c : cases) {
        std::string out = Formatted(c.format, {Float(c.value)});
        if (c.expected)
            EXPECT_EQ(out, c.expected) << c.format;
        else
            EXPECT_EQ(out.find("error"), std::string::npos) << c.format;
    }
    EXPECT_EQ(Formatted("%f", {Int(1)}), "1.000000");
    EXPECT_EQ(Formatted("%d", {Float(3.99f)}), "3");
    EXPECT_EQ(Formatted("%c", {Float(66.5f)}), "B");
}

TEST(FormatTest, StringsKeepEveryByte) {
    EXPECT_EQ(Formatted("%10s|", {Str("right")}), "     right|");
    EXPECT_EQ(Formatted("%-10s|", {Str("left")}), "left      |");
    EXPECT_EQ(Formatted("%.3s", {Str("truncate")}), "tru");
    EXPECT_EQ(Formatted("%5.2s|", {Str("abc")}), "   ab|");
    EXPECT_EQ(Formatted("[%s]", {Str(std::string_view("a\0b", 3))}), std::string("[a\0b]", 5));
    EXPECT_EQ(Formatted("%d + %d = %d, 100%%", {Int(2), Int(3), Int(5)}), "2 + 3 = 5, 100%");
    EXPECT_EQ(Formatted("plain text", {}), "plain text");
    EXPECT_EQ(Formatted("%d", {Int(1), Int(2)}), "1");
}

TEST(FormatTest, ErrorsNameTheProblem) {
    struct Case {
        const char* format;
        std::vector<FormatArg> args;
        const char* expected;
    } cases[] = {
        {"%d", {Str("text")}, "error: integer expected for the specified format"},
        {"%s", {}, "error: not enough parameters for the given format string"},
        {"%d %d", {Int(1)}, "error: not enough parameters for the given format string"},
        {"%f", {Str("x")}, "error: float expected for the specified format"},
        {"%s", {Int(12)}, "error: string expected for the specified format"},
        {"%q", {Int(1)}, "error: invalid format"},
        {"%", {Int(1)}, "error: invalid format"},
        {"%*d", {Int(5), Int(1)}, "error: invalid format"},
        {"%ld", {Int(5)}, "error: invalid format"},
        {"%x", {Other()}, "error: integer expected for the specified format"},
        {"%10000d", {Int(1)}, "error: width format too long"},
        {"%.10000f", {Float(1)}, "error: precision format too long"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Formatted(c.format, c.args), c.expected) << c.format;
}

} // namespace
