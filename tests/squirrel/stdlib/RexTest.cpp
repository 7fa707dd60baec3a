// The regular-expression engine on its own: dialect, spans, errors and bounded cost.
#include "sqstdrex.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sqstd::Regex;
using sqstd::RexSpan;

std::unique_ptr<Regex> MustCompile(const std::string& pattern) {
    const char* error = "";
    auto rex = Regex::Compile(pattern, error);
    EXPECT_TRUE(rex) << pattern << ": " << error;
    return rex;
}

// "begin..end" of the first match, or "none".
std::string FirstMatch(const std::string& pattern, const std::string& text) {
    auto rex = MustCompile(pattern);
    std::vector<RexSpan> spans;
    if (!rex || !rex->Search(text, spans)) return "none";
    return std::to_string(spans[0].begin) + ".." + std::to_string(spans[0].end);
}

// Every match, searching on after each one as scripts do.
std::string AllMatches(const std::string& pattern, const std::string& text) {
    auto rex = MustCompile(pattern);
    std::string out;
    for (size_t pos = 0; rex && pos <= text.size();) {
        std::vector<RexSpan> spans;
        if (!rex->Search(std::string_view(text).substr(pos), spans)) break;
        size_t b = pos + spans[0].begin, e = pos + spans[0].end;
        out += (out.empty() ? "'" : " '") + text.substr(b, e - b) + "'";
        pos = e > b ? e : e + 1;
    }
    return out;
}

TEST(RexTest, MatchRequiresTheWholeText) {
    struct Case {
        const char* pattern;
        const char* text;
        bool expected;
    } cases[] = {
        {"abc", "abc", true},        {"abc", "abcd", false},     {"a.c", "axc", true},
        {"a.c", "ac", false},        {"^hello$", "hello", true}, {"colou?r", "color", true},
        {"colou?r", "colour", true}, {"ab*c", "ac", true},       {"ab*c", "abbbc", true},
        {"ab+c", "ac", false},       {"cat|dog", "dog", true},   {"cat|dog", "cow", false},
        {"(ab)+", "ababab", true},   {"(ab)+", "ababa", false},  {"[^0-9]+", "ab1", false},
        {"a{3}", "aaa", true},       {"a{3}", "aa", false},      {"a{2,}", "aaaaa", true},
        {"a{2,3}", "aaaa", false},   {"a*", "", true},           {"a.b", "a\nb", true},
        {"abc", "ABC", false},       {"^(ab|cd)$", "cd", true},  {"a\\+b\\*", "a+b*", true},
        {"a*a", "aaa", true},        {"a{3,2}", "aa", false},    {"a{3,2}", "aaa", false},
    };
    for (const Case& c : cases) {
        auto rex = MustCompile(c.pattern);
        ASSERT_TRUE(rex);
        EXPECT_EQ(rex->Match(c.text), c.expected) << c.pattern << " on " << c.text;
    }
}

TEST(RexTest, SearchFindsTheLeftmostMatch) {
    struct Case {
        const char* pattern;
        const char* text;
        const char* expected;
    } cases[] = {
        {"[0-9]+", "abc 123 def 45", "4..7"},
        {"hello$", "hello hello", "6..11"},
        {"^hello", "hello hello", "0..5"},
        {"x", "abc", "none"},
        {"a*", "bbb", "0..0"},
        {"[A-Z][a-z]*", "the Quick Brown fox", "4..9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstMatch(c.pattern, c.text), c.expected) << c.pattern;
}

TEST(RexTest, ClassesBoundariesAndRepetitionOrder) {
    const std::string text = "Hi there, agent 007! Tab\there_x = 0x1F;";
    struct Case {
        const char* pattern;
        std::string subject;
        const char* expected;
    } cases[] = {
        {"\\d+", text, "'007' '0' '1'"},
        {"\\W+", text, "' ' ', ' ' ' '! ' '\t' ' = ' ';'"},
        {"\\S+", text, "'Hi' 'there,' 'agent' '007!' 'Tab' 'here_x' '=' '0x1F;'"},
        {"\\a+", text, "'Hi' 'there' 'agent' 'Tab' 'here' 'x' 'x' 'F'"},
        {"\\A+", text, "' ' ', ' ' 007! ' '\t' '_' ' = 0' '1' ';'"},
        {"\\x+", text, "'e' 'e' 'a' 'e' '007' 'ab' 'e' 'e' '0' '1F'"},
        {"\\p", text, "',' '!' '_' '=' ';'"},
        {"\\Bere", text, "'ere' 'ere'"},
        {"[^\\w\\s]", text, "',' '!' '=' ';'"},
        {"[\\d]+", text, "'007' '0' '1'"},
        {"\\bHi", text, "'Hi'"},
        {"end\\b", "the end", "'end'"},
        {"<.*>", "<a><b>", "'<a>' '<b>'"},
        {"<.*", "<a><b>", "'<a><b>'"},
        {"ab?", "a ab abb", "'a' 'ab' 'ab'"},
        {"ab|cd", "abcdab", "'ab' 'cd' 'ab'"},
        {"\\(\\d\\)", "(1) (22) (3)", "'(1)' '(3)'"},
        {"[^aeiou ]+", "squirrel code", "'sq' 'rr' 'l' 'c' 'd'"},
        {"\\d{2,3}", "1 12 123 1234 12345", "'12' '123' '123' '123' '45'"},
        {"x*x", "xx", "'xx'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AllMatches(c.pattern, c.subject), c.expected) << c.pattern;
}

TEST(RexTest, CapturesReportEachGroup) {
    struct Case {
        const char* pattern;
        const char* text;
        std::vector<std::pair<int, int>> spans;
    } cases[] = {
        {"(\\d+)-(\\d+)", "range 10-250 end", {{6, 12}, {6, 8}, {9, 12}}},
        {"(\\w+)@(\\w+)\\.com", "mail me: joe@example.com now", {{9, 24}, {9, 12}, {13, 20}}},
        {"(?:ab)+c", "xababc", {{1, 6}}},
        {"((x)(y))z", "wxyz", {{1, 4}, {1, 3}, {1, 2}, {2, 3}}},
        {"^(\\s*)(\\S+)", "  padded", {{0, 8}, {0, 2}, {2, 8}}},
        {"(\\w+)\\s*$", "trailing word", {{9, 13}, {9, 13}}},
        {"(a)|(b)", "b", {{0, 1}, {-1, -1}, {0, 1}}},
    };
    for (const Case& c : cases) {
        auto rex = MustCompile(c.pattern);
        ASSERT_TRUE(rex);
        std::vector<RexSpan> spans;
        ASSERT_TRUE(rex->Search(c.text, spans)) << c.pattern;
        ASSERT_EQ(spans.size(), c.spans.size()) << c.pattern;
        for (size_t i = 0; i < spans.size(); ++i) {
            EXPECT_EQ(spans[i].begin, c.spans[i].first) << c.pattern << " group " << i;
            EXPECT_EQ(spans[i].end, c.spans[i].second) << c.pattern << " group " << i;
        }
    }
}

TEST(RexTest, CompileErrorsUseTheDialectMessages) {
    struct Case {
        std::string pattern;
        const char* error; // null: compiles
    } cases[] = {
        {"(abc", "expected paren"},
        {"abc)", "unexpected character"},
        {"[abc", "letter expected"},
        {"a{2", ", or } expected"},
        {"a{,3}", "number expected"},
        {"*a", nullptr},
        {"+", nullptr},
        {"a**", "unexpected character"},
        {"\\", "letter expected for argument of escape sequence"},
        {"[z-a]", "invalid range"},
        {"(?abc)", "expected paren"},
        {"a{3,2}", nullptr},
        {"[]", "empty class"},
        {"a{99999}", "number too big"},
        {"(a{1000}){1000}", "expression too big"},
        {std::string(300, '(') + std::string(300, ')'), "expression too big"},
    };
    for (const Case& c : cases) {
        const char* error = "";
        auto rex = Regex::Compile(c.pattern, error);
        if (!c.error) {
            EXPECT_TRUE(rex) << c.pattern << ": " << error;
            continue;
        }
        EXPECT_FALSE(rex) << c.pattern;
        EXPECT_STREQ(error, c.error) << c.pattern;
    }
}

TEST(RexTest, SubexpCountIncludesTheWholeMatch) {
    EXPECT_EQ(MustCompile("(a)(b(c))")->SubexpCount(), 4);
    EXPECT_EQ(MustCompile("abc")->SubexpCount(), 1);
    EXPECT_EQ(MustCompile("(?:a)(b)")->SubexpCount(), 2);
}

// Patterns that make naive backtracking exponential finish: each (split, position) is explored once.
TEST(RexTest, NestedRepetitionsStayPolynomial) {
    const std::string as(4096, 'a');
    const char* patterns[] = {"(a*)*b", "(a|aa)+b", "(a+)+$b", "((a*)*|b)*c", "(.*)*x(.*)*y"};
    for (const char* p : patterns) {
        auto rex = MustCompile(p);
        ASSERT_TRUE(rex);
        std::vector<RexSpan> spans;
        EXPECT_FALSE(rex->Search(as, spans)) << p;
        EXPECT_FALSE(rex->Match(as)) << p;
    }
}

} // namespace
