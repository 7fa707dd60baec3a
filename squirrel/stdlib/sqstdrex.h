// Regular expressions of the string library: the dialect of upstream's `regexp` class.
//
// A pattern compiles to a small program for a backtracking matcher. Every (split instruction,
// text position) pair is explored at most once per search, so a search costs at most
// program size x text length steps, whatever the pattern: no exponential blow-up.
//
// Repetition order follows the dialect: a repetition with more pattern after it stops as soon
// as the rest can match (trying one item first, then more, and zero items last); a repetition
// that ends the pattern, or is followed by an optional element, takes as many items as it can;
// a lazy one (`*?`, `+?`, `??`, `{n,m}?`) as few as it can.
#ifndef SQSTDREX_H
#define SQSTDREX_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sqstd {

// A matched span as byte offsets into the searched text; -1/-1 for a group that took no part.
struct RexSpan {
    std::ptrdiff_t begin = -1;
    std::ptrdiff_t end = -1;
};

class Regex {
  public:
    // Compiles `pattern`; on failure returns null and points `error` at the dialect's message
    // (a string literal: it lives as long as the program).
    static std::unique_ptr<Regex> Compile(std::string_view pattern, const char*& error);

    // Number of spans a capture reports: the whole match plus one per capturing group.
    int SubexpCount() const { return groupCount_ + 1; }

    // True when the whole of `text` matches.
    bool Match(std::string_view text) const;

    // Finds the leftmost match in `text`; `spans` (SubexpCount() entries) receives the whole
    // match and the groups.
    bool Search(std::string_view text, std::vector<RexSpan>& spans) const;

    enum class Op : uint8_t {
        Char,
        Any,
        Set,
        Bol,
        Eol,
        WordBoundary,
        NotWordBoundary,
        Balanced, // ch: opening character, x: closing character
        Split,
        Jmp,
        Save,
        Match,
        Fail
    };
    struct Inst {
        Inst(Op o, uint8_t c = 0, int a = 0, int b = 0) : op(o), ch(c), x(a), y(b) {}
        Op op;
        uint8_t ch = 0;
        int x = 0; // Split: preferred target; Jmp: target; Save: slot; Set: set index
        int y = 0; // Split: other target
    };
    struct CharSet {
        uint64_t bits[4] = {0, 0, 0, 0};
        bool Has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1; }
        void Add(unsigned char c) { bits[c >> 6] |= uint64_t(1) << (c & 63); }
    };

  private:
    friend class RexCompiler;
    bool Run(std::string_view text, bool wholeText, std::vector<RexSpan>& spans) const;

    std::vector<Inst> prog_;
    std::vector<CharSet> sets_;
    std::vector<int> splitIndex_; // per instruction: its row in the visited set, or -1
    int splitCount_ = 0;
    int groupCount_ = 0;
    bool anchored_ = false; // the pattern can only match at the start of the text
};

} // namespace sqstd

#endif
