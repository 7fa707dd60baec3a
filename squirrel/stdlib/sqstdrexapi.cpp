// C API of the regular expressions: a compiled pattern plus the spans of its last search.
#include <sqstdstring.h>

#include "sqstdrex.h"

#include <cstring>
#include <string>

struct SQRex {
    std::unique_ptr<sqstd::Regex> regex;
    const SQChar* text = nullptr;
    std::vector<sqstd::RexSpan> spans;
};

extern "C" {

SQRex* sqstd_rex_compile(const SQChar* pattern, const SQChar** error) {
    const char* message = nullptr;
    auto regex = sqstd::Regex::Compile(pattern, message);
    if (!regex) {
        if (error) *error = message;
        return nullptr;
    }
    SQRex* exp = new SQRex;
    exp->regex = std::move(regex);
    return exp;
}

void sqstd_rex_free(SQRex* exp) {
    delete exp;
}

SQBool sqstd_rex_match(SQRex* exp, const SQChar* text) {
    if (!exp->regex->Match(text)) return SQFalse;
    exp->text = text;
    exp->spans.assign(exp->regex->SubexpCount(), sqstd::RexSpan{});
    exp->spans[0] = {0, static_cast<std::ptrdiff_t>(std::strlen(text))};
    return SQTrue;
}

SQBool sqstd_rex_searchrange(SQRex* exp, const SQChar* text_begin, const SQChar* text_end,
                             const SQChar** out_begin, const SQChar** out_end) {
    std::string_view text(text_begin, static_cast<size_t>(text_end - text_begin));
    if (!exp->regex->Search(text, exp->spans)) return SQFalse;
    exp->text = text_begin;
    if (out_begin) *out_begin = text_begin + exp->spans[0].begin;
    if (out_end) *out_end = text_begin + exp->spans[0].end;
    return SQTrue;
}

SQBool sqstd_rex_search(SQRex* exp, const SQChar* text, const SQChar** out_begin, const SQChar** out_end) {
    return sqstd_rex_searchrange(exp, text, text + std::strlen(text), out_begin, out_end);
}

SQInteger sqstd_rex_getsubexpcount(SQRex* exp) {
    return exp->regex->SubexpCount();
}

SQBool sqstd_rex_getsubexp(SQRex* exp, SQInteger n, SQRexMatch* subexp) {
    if (n < 0 || n >= static_cast<SQInteger>(exp->spans.size())) return SQFalse;
    const sqstd::RexSpan& span = exp->spans[static_cast<size_t>(n)];
    subexp->begin = span.begin < 0 ? nullptr : exp->text + span.begin;
    subexp->len = span.begin < 0 ? 0 : span.end - span.begin;
    return SQTrue;
}

} // extern "C"
