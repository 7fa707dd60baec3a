// Regular expressions: parser, program emitter and the memoising backtracking matcher.
#include "sqstdrex.h"

#include <algorithm>
#include <unordered_set>

namespace sqstd {

namespace {

// Programs larger than this are refused: the matcher's memory is program size x text length.
constexpr size_t kMaxProgram = 10000;
constexpr int kUnbounded = -1;
// Groups nest at most this deep: parsing and emission recurse once per level.
constexpr int kMaxDepth = 200;
// The explored (split, position) states start in a hash set, so that a search touching few states
// costs nothing in proportion to the text; past kSparseStates they move to a bitset over all states,
// unless that would exceed kMaxBitsetStates bits.
constexpr size_t kSparseStates = 4096;
constexpr size_t kMaxBitsetStates = size_t(1) << 27;

bool IsWordChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsAlpha(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsHex(unsigned char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsCntrl(unsigned char c) {
    return c < 32 || c == 127;
}
bool IsPunct(unsigned char c) {
    return c > 32 && c < 127 && !IsAlpha(c) && !IsDigit(c);
}
bool IsLower(unsigned char c) {
    return c >= 'a' && c <= 'z';
}
bool IsUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}

// The predicate of a class escape (\d, \w, ...), or null when `letter` names none.
using ClassPredicate = bool (*)(unsigned char);
ClassPredicate ClassOf(char letter, bool& negated) {
    negated = IsUpper(static_cast<unsigned char>(letter)) && letter != 'u';
    switch (letter) {
    case 'a':
    case 'A':
        return IsAlpha;
    case 'w':
    case 'W':
        return IsWordChar;
    case 's':
    case 'S':
        return IsSpace;
    case 'd':
    case 'D':
        return IsDigit;
    case 'x':
    case 'X':
        return IsHex;
    case 'c':
    case 'C':
        return IsCntrl;
    case 'p':
    case 'P':
        return IsPunct;
    case 'l':
        return IsLower;
    case 'u':
        return IsUpper;
    default:
        return nullptr;
    }
}

// The character a plain escape stands for (\t, \n, ...; anything else stands for itself).
unsigned char EscapedChar(char c) {
    switch (c) {
    case 't':
        return '\t';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 'f':
        return '\f';
    case 'v':
        return '\v';
    default:
        return static_cast<unsigned char>(c);
    }
}

void AddClass(Regex::CharSet& set, ClassPredicate pred, bool negated) {
    for (int c = 0; c < 256; ++c)
        if (pred(static_cast<unsigned char>(c)) != negated) set.Add(static_cast<unsigned char>(c));
}

// The messages are string literals, so a failed compile can hand them to C callers as they are.
struct CompileError {
    explicit CompileError(const char* m) : message(m) {}
    const char* message;
};

struct Node {
    enum Kind { Seq, Alt, Group, Repeat, Char, Any, Set, Bol, Eol, WordB, NotWordB, Balanced } kind;
    explicit Node(Kind k) : kind(k) {}
    std::vector<Node> kids;
    unsigned char ch = 0;    // Char; Balanced: the opening character
    unsigned char close = 0; // Balanced: the closing character
    bool lazy = false;       // Repeat: written with a trailing '?', takes as few items as it can
    int set = 0;             // Set: index into the set table
    int group = -1;          // Group: capture number, -1 for (?:...)
    int min = 0, max = 0;
};

bool IsQuantifier(char c) {
    return c == '*' || c == '+' || c == '?' || c == '{';
}

} // namespace

// Turns a pattern into a Regex program: recursive descent into a tree, then emission.
class RexCompiler {
  public:
    RexCompiler(std::string_view pattern, Regex& rex) : p_(pattern), rex_(rex) {}

    void Compile() {
        Node root = ParseAlternation();
        if (pos_ < p_.size()) throw CompileError("unexpected character");
        rex_.anchored_ = StartsWithBol(root);
        Emit({Regex::Op::Save, 0, 0});
        EmitNode(root, false);
        Emit({Regex::Op::Save, 0, 1});
        Emit({Regex::Op::Match});
        IndexSplits();
    }

  private:
    bool AtEnd() const { return pos_ >= p_.size(); }
    char Peek() const { return p_[pos_]; }

    Node ParseAlternation() {
        Node first = ParseSequence();
        if (AtEnd() || Peek() != '|') return first;
        Node alt{Node::Alt};
        alt.kids.push_back(std::move(first));
        while (!AtEnd() && Peek() == '|') {
            ++pos_;
            alt.kids.push_back(ParseSequence());
        }
        return alt;
    }

    Node ParseSequence() {
        Node seq{Node::Seq};
        while (!AtEnd() && Peek() != '|' && Peek() != ')')
            seq.kids.push_back(ParsePiece());
        if (!AtEnd() && Peek() == ')' && depth_ == 0) throw CompileError("unexpected character");
        return seq;
    }

    Node ParsePiece() {
        Node atom = ParseAtom();
        if (AtEnd() || !IsQuantifier(Peek())) return atom;
        Node rep{Node::Repeat};
        ParseQuantifier(rep.min, rep.max);
        if (!AtEnd() && Peek() == '?') {
            rep.lazy = true;
            ++pos_;
        }
        rep.kids.push_back(std::move(atom));
        if (!AtEnd() && IsQuantifier(Peek())) throw CompileError("unexpected character");
        return rep;
    }

    void ParseQuantifier(int& min, int& max) {
        char q = p_[pos_++];
        if (q == '*') {
            min = 0;
            max = kUnbounded;
            return;
        }
        if (q == '+') {
            min = 1;
            max = kUnbounded;
            return;
        }
        if (q == '?') {
            min = 0;
            max = 1;
            return;
        }
        min = max = ParseNumber();
        if (AtEnd() || (Peek() != ',' && Peek() != '}')) throw CompileError(", or } expected");
        if (p_[pos_++] == '}') return;
        max = (!AtEnd() && IsDigit(static_cast<unsigned char>(Peek()))) ? ParseNumber() : kUnbounded;
        Expect('}');
    }

    int ParseNumber() {
        if (AtEnd() || !IsDigit(static_cast<unsigned char>(Peek()))) throw CompileError("number expected");
        long value = 0;
        while (!AtEnd() && IsDigit(static_cast<unsigned char>(Peek()))) {
            value = value * 10 + (p_[pos_++] - '0');
            if (value > 0xFFFF) throw CompileError("number too big");
        }
        return static_cast<int>(value);
    }

    void Expect(char c) {
        if (AtEnd() || Peek() != c) throw CompileError("expected paren");
        ++pos_;
    }

    Node ParseAtom() {
        char c = p_[pos_++];
        switch (c) {
        case '(':
            return ParseGroup();
        case '[':
            return ParseSet();
        case '.':
            return Node{Node::Any};
        case '^':
            return Node{Node::Bol};
        case '$':
            return Node{Node::Eol};
        case '\\':
            return ParseEscape();
        default: {
            Node n{Node::Char};
            n.ch = static_cast<unsigned char>(c);
            return n;
        }
        }
    }

    Node ParseGroup() {
        Node group{Node::Group};
        if (!AtEnd() && Peek() == '?') {
            ++pos_;
            Expect(':');
        } else {
            group.group = ++rex_.groupCount_;
        }
        if (++depth_ > kMaxDepth) throw CompileError("expression too big");
        group.kids.push_back(ParseAlternation());
        --depth_;
        Expect(')');
        return group;
    }

    Node ParseEscape() {
        if (AtEnd()) throw CompileError("letter expected for argument of escape sequence");
        char c = p_[pos_++];
        if (c == 'b') return Node{Node::WordB};
        if (c == 'B') return Node{Node::NotWordB};
        if (c == 'm') return ParseBalanced();
        bool negated = false;
        if (ClassPredicate pred = ClassOf(c, negated)) {
            Regex::CharSet set;
            AddClass(set, pred, negated);
            return MakeSet(set);
        }
        Node n{Node::Char};
        n.ch = EscapedChar(c);
        return n;
    }

    // \mXY: an X, then text up to the Y that balances it (nested X...Y pairs inside).
    Node ParseBalanced() {
        if (pos_ + 2 > p_.size()) throw CompileError("balanced chars expected");
        Node n{Node::Balanced};
        n.ch = static_cast<unsigned char>(p_[pos_++]);
        n.close = static_cast<unsigned char>(p_[pos_++]);
        if (n.ch == n.close) throw CompileError("open/close char can't be the same");
        return n;
    }

    Node ParseSet() {
        Regex::CharSet set;
        bool negated = !AtEnd() && Peek() == '^';
        if (negated) ++pos_;
        if (!AtEnd() && Peek() == ']') throw CompileError("empty class");
        while (true) {
            if (AtEnd()) throw CompileError("letter expected");
            if (Peek() == ']') break;
            ParseSetItem(set);
        }
        ++pos_;
        if (negated)
            for (auto& word : set.bits)
                word = ~word;
        return MakeSet(set);
    }

    void ParseSetItem(Regex::CharSet& set) {
        unsigned char first;
        if (Peek() == '\\') {
            ++pos_;
            if (AtEnd()) throw CompileError("letter expected for argument of escape sequence");
            char c = p_[pos_++];
            bool negated = false;
            if (ClassPredicate pred = ClassOf(c, negated)) {
                AddClass(set, pred, negated);
                return;
            }
            first = EscapedChar(c);
        } else {
            first = static_cast<unsigned char>(p_[pos_++]);
        }
        if (pos_ + 1 < p_.size() && Peek() == '-' && p_[pos_ + 1] != ']') {
            ++pos_;
            unsigned char last = static_cast<unsigned char>(p_[pos_++]);
            if (last == '\\') {
                if (AtEnd()) throw CompileError("letter expected for argument of escape sequence");
                last = EscapedChar(p_[pos_++]);
            }
            if (last < first) throw CompileError("invalid range");
            for (int c = first; c <= last; ++c)
                set.Add(static_cast<unsigned char>(c));
            return;
        }
        set.Add(first);
    }

    Node MakeSet(const Regex::CharSet& set) {
        Node n{Node::Set};
        n.set = static_cast<int>(rex_.sets_.size());
        rex_.sets_.push_back(set);
        return n;
    }

    static bool StartsWithBol(const Node& n) {
        switch (n.kind) {
        case Node::Bol:
            return true;
        case Node::Seq:
        case Node::Group:
            return !n.kids.empty() && StartsWithBol(n.kids.front());
        case Node::Alt:
            for (const Node& k : n.kids)
                if (!StartsWithBol(k)) return false;
            return true;
        default:
            return false;
        }
    }

    // --- emission ---

    int Emit(Regex::Inst inst) {
        if (rex_.prog_.size() >= kMaxProgram) throw CompileError("expression too big");
        rex_.prog_.push_back(inst);
        return static_cast<int>(rex_.prog_.size() - 1);
    }
    int Here() const { return static_cast<int>(rex_.prog_.size()); }
    Regex::Inst& At(int pc) { return rex_.prog_[pc]; }

    static bool MayMatchEmpty(const Node& n) { return n.kind == Node::Repeat && n.min == 0; }

    // `followed`: more pattern that must match something comes after this node, which decides
    // the order of repetitions; an optional element next does not count.
    void EmitNode(const Node& n, bool followed) {
        switch (n.kind) {
        case Node::Seq:
            for (size_t i = 0; i < n.kids.size(); ++i) {
                bool last = i + 1 == n.kids.size();
                EmitNode(n.kids[i], last ? followed : !MayMatchEmpty(n.kids[i + 1]));
            }
            break;
        case Node::Alt:
            EmitAlternation(n, followed);
            break;
        case Node::Group:
            if (n.group >= 0) Emit({Regex::Op::Save, 0, 2 * n.group});
            EmitNode(n.kids[0], followed);
            if (n.group >= 0) Emit({Regex::Op::Save, 0, 2 * n.group + 1});
            break;
        case Node::Repeat:
            EmitRepeat(n, followed);
            break;
        case Node::Char:
            Emit({Regex::Op::Char, n.ch});
            break;
        case Node::Any:
            Emit({Regex::Op::Any});
            break;
        case Node::Set:
            Emit({Regex::Op::Set, 0, n.set});
            break;
        case Node::Bol:
            Emit({Regex::Op::Bol});
            break;
        case Node::Eol:
            Emit({Regex::Op::Eol});
            break;
        case Node::WordB:
            Emit({Regex::Op::WordBoundary});
            break;
        case Node::NotWordB:
            Emit({Regex::Op::NotWordBoundary});
            break;
        case Node::Balanced:
            Emit({Regex::Op::Balanced, n.ch, n.close});
            break;
        }
    }

    void EmitAlternation(const Node& n, bool followed) {
        std::vector<int> exits;
        for (size_t i = 0; i < n.kids.size(); ++i) {
            bool last = i + 1 == n.kids.size();
            int split = last ? -1 : Emit({Regex::Op::Split});
            if (split >= 0) At(split).x = Here();
            EmitNode(n.kids[i], followed);
            if (!last) exits.push_back(Emit({Regex::Op::Jmp}));
            if (split >= 0) At(split).y = Here();
        }
        for (int pc : exits)
            At(pc).x = Here();
    }

    // A split that prefers taking one more item (greedy) or leaving (stop-early order).
    int EmitOptionalEntry(bool preferItem) {
        int split = Emit({Regex::Op::Split});
        int item = split + 1;
        if (preferItem)
            At(split).x = item;
        else
            At(split).y = item;
        return split;
    }
    void PatchExit(int split, bool preferItem) {
        if (preferItem)
            At(split).y = Here();
        else
            At(split).x = Here();
    }

    void EmitRepeat(const Node& n, bool followed) {
        const Node& item = n.kids[0];
        if (n.max != kUnbounded && n.max < n.min) {
            Emit({Regex::Op::Fail});
            return;
        }
        bool greedy = !followed && !n.lazy;
        int mandatory = n.min;
        int zeroSplit = -1;
        if (!greedy && !n.lazy && n.min == 0 && n.max != 0) {
            // Stop-early order still tries one item before none.
            zeroSplit = EmitOptionalEntry(true);
            mandatory = 1;
        }
        for (int i = 0; i < mandatory; ++i)
            EmitNode(item, followed);
        if (n.max == kUnbounded) {
            int loop = EmitOptionalEntry(greedy);
            EmitNode(item, followed);
            Emit({Regex::Op::Jmp, 0, loop});
            PatchExit(loop, greedy);
        } else {
            std::vector<int> splits;
            for (int i = mandatory; i < n.max; ++i) {
                splits.push_back(EmitOptionalEntry(greedy));
                EmitNode(item, followed);
            }
            for (int split : splits)
                PatchExit(split, greedy);
        }
        if (zeroSplit >= 0) PatchExit(zeroSplit, true);
    }

    void IndexSplits() {
        rex_.splitIndex_.assign(rex_.prog_.size(), -1);
        for (size_t pc = 0; pc < rex_.prog_.size(); ++pc)
            if (rex_.prog_[pc].op == Regex::Op::Split) rex_.splitIndex_[pc] = rex_.splitCount_++;
    }

    std::string_view p_;
    size_t pos_ = 0;
    int depth_ = 0;
    Regex& rex_;
};

std::unique_ptr<Regex> Regex::Compile(std::string_view pattern, const char*& error) {
    auto rex = std::unique_ptr<Regex>(new Regex());
    try {
        RexCompiler(pattern, *rex).Compile();
    } catch (const CompileError& e) {
        error = e.message;
        return nullptr;
    }
    return rex;
}

bool Regex::Match(std::string_view text) const {
    std::vector<RexSpan> spans;
    return Run(text, true, spans);
}

bool Regex::Search(std::string_view text, std::vector<RexSpan>& spans) const {
    return Run(text, false, spans);
}

namespace {

// The matcher's state: the text, the capture slots and the set of explored split states.
struct Matcher {
    const std::vector<Regex::Inst>& prog;
    std::string_view text;
    bool wholeText;
    std::vector<std::ptrdiff_t> slots;
    std::unordered_set<uint64_t> sparse; // explored states while few
    std::vector<uint64_t> visited;       // then one bit per (split, position)
    size_t stateCount;
    size_t rowLength;

    struct Job {
        int pc; // -1: restore `slot` to `pos`
        std::ptrdiff_t pos;
        int slot;
    };
    std::vector<Job> jobs;

    bool FirstVisit(int splitRow, std::ptrdiff_t pos) {
        size_t bit = static_cast<size_t>(splitRow) * rowLength + static_cast<size_t>(pos);
        if (visited.empty()) {
            if (!sparse.insert(bit).second) return false;
            if (sparse.size() > kSparseStates && stateCount <= kMaxBitsetStates) MoveToBitset();
            return true;
        }
        uint64_t mask = uint64_t(1) << (bit & 63);
        if (visited[bit >> 6] & mask) return false;
        visited[bit >> 6] |= mask;
        return true;
    }

    void MoveToBitset() {
        visited.assign((stateCount + 63) / 64, 0);
        for (uint64_t bit : sparse)
            visited[bit >> 6] |= uint64_t(1) << (bit & 63);
        sparse = {};
    }

    bool WordAt(std::ptrdiff_t pos) const {
        return pos >= 0 && pos < static_cast<std::ptrdiff_t>(text.size()) &&
               IsWordChar(static_cast<unsigned char>(text[pos]));
    }

    // The position after the `close` that balances an `open` at `pos`, or -1.
    std::ptrdiff_t BalancedEnd(std::ptrdiff_t pos, unsigned char open, unsigned char close) const {
        const std::ptrdiff_t len = static_cast<std::ptrdiff_t>(text.size());
        if (pos >= len || static_cast<unsigned char>(text[pos]) != open) return -1;
        int depth = 0;
        for (; pos < len; ++pos) {
            auto c = static_cast<unsigned char>(text[pos]);
            if (c == close && --depth == 0) return pos + 1;
            if (c == open) ++depth;
        }
        return -1;
    }

    // Follows one thread from (pc, pos), pushing alternatives; true when it reaches Match.
    bool Step(int pc, std::ptrdiff_t pos, const std::vector<int>& splitIndex,
              const std::vector<Regex::CharSet>& sets) {
        const std::ptrdiff_t len = static_cast<std::ptrdiff_t>(text.size());
        while (true) {
            const Regex::Inst& in = prog[pc];
            switch (in.op) {
            case Regex::Op::Char:
                if (pos >= len || static_cast<unsigned char>(text[pos]) != in.ch) return false;
                ++pos, ++pc;
                break;
            case Regex::Op::Any:
                if (pos >= len) return false;
                ++pos, ++pc;
                break;
            case Regex::Op::Set:
                if (pos >= len || !sets[in.x].Has(static_cast<unsigned char>(text[pos]))) return false;
                ++pos, ++pc;
                break;
            case Regex::Op::Bol:
                if (pos != 0) return false;
                ++pc;
                break;
            case Regex::Op::Eol:
                if (pos != len) return false;
                ++pc;
                break;
            case Regex::Op::WordBoundary:
            case Regex::Op::NotWordBoundary:
                if ((WordAt(pos - 1) != WordAt(pos)) != (in.op == Regex::Op::WordBoundary)) return false;
                ++pc;
                break;
            case Regex::Op::Balanced:
                pos = BalancedEnd(pos, in.ch, static_cast<unsigned char>(in.x));
                if (pos < 0) return false;
                ++pc;
                break;
            case Regex::Op::Split:
                if (!FirstVisit(splitIndex[pc], pos)) return false;
                jobs.push_back({in.y, pos, 0});
                pc = in.x;
                break;
            case Regex::Op::Jmp:
                pc = in.x;
                break;
            case Regex::Op::Save:
                jobs.push_back({-1, slots[in.x], in.x});
                slots[in.x] = pos;
                ++pc;
                break;
            case Regex::Op::Match:
                return !wholeText || pos == len;
            case Regex::Op::Fail:
                return false;
            }
        }
    }

    bool TryAt(std::ptrdiff_t start, const std::vector<int>& splitIndex,
               const std::vector<Regex::CharSet>& sets) {
        jobs.clear();
        jobs.push_back({0, start, 0});
        while (!jobs.empty()) {
            Job job = jobs.back();
            jobs.pop_back();
            if (job.pc < 0) {
                slots[job.slot] = job.pos;
                continue;
            }
            if (Step(job.pc, job.pos, splitIndex, sets)) return true;
        }
        return false;
    }
};

} // namespace

bool Regex::Run(std::string_view text, bool wholeText, std::vector<RexSpan>& spans) const {
    const size_t rowLength = text.size() + 1;
    Matcher m{prog_,     text, wholeText, {}, {}, {}, static_cast<size_t>(splitCount_) * rowLength,
              rowLength, {}};
    m.slots.assign(2 * (groupCount_ + 1), -1);
    const std::ptrdiff_t last = (wholeText || anchored_) ? 0 : static_cast<std::ptrdiff_t>(text.size());
    for (std::ptrdiff_t start = 0; start <= last; ++start) {
        std::fill(m.slots.begin(), m.slots.end(), -1);
        if (!m.TryAt(start, splitIndex_, sets_)) continue;
        spans.assign(groupCount_ + 1, RexSpan{});
        for (int g = 0; g <= groupCount_; ++g) {
            if (m.slots[2 * g] < 0 || m.slots[2 * g + 1] < 0) continue;
            spans[g] = {m.slots[2 * g], m.slots[2 * g + 1]};
        }
        return true;
    }
    return false;
}

} // namespace sqstd
