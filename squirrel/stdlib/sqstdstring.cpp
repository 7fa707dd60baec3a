// String library: format/printf, strip family, split, escape, startswith/endswith and `regexp`.
#include <sqstdstring.h>

#include "sqstdformat.h"
#include "sqstdregister.h"
#include "sqstdrex.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using sqstd::FormatArg;

#define SQSTD_REX_TYPE_TAG ((SQUserPointer)(uintptr_t)0x80000010)

std::string_view StringArg(HSQUIRRELVM v, SQInteger idx) {
    const SQChar* s = nullptr;
    SQInteger size = 0;
    sq_getstringandsize(v, idx, &s, &size);
    return std::string_view(s ? s : "", s ? static_cast<size_t>(size) : 0);
}

FormatArg ToFormatArg(HSQUIRRELVM v, SQInteger idx) {
    FormatArg arg;
    switch (sq_gettype(v, idx)) {
    case OT_INTEGER:
        arg.kind = FormatArg::Kind::Integer;
        sq_getinteger(v, idx, &arg.integer);
        break;
    case OT_FLOAT: {
        SQFloat f = 0;
        sq_getfloat(v, idx, &f);
        arg.kind = FormatArg::Kind::Float;
        arg.real = f;
        break;
    }
    case OT_STRING:
        arg.kind = FormatArg::Kind::String;
        arg.text = StringArg(v, idx);
        break;
    case OT_BOOL: { // integer conversions print a bool as 1 or 0
        SQBool b = SQFalse;
        sq_getbool(v, idx, &b);
        arg.kind = FormatArg::Kind::Integer;
        arg.integer = b ? 1 : 0;
        break;
    }
    default:
        break;
    }
    return arg;
}

// Formats into the VM's scratchpad; the text stays valid until the scratchpad is next used.
SQRESULT FormatToScratch(HSQUIRRELVM v, SQInteger formatIdx, SQInteger* outlen, SQChar** output) {
    std::string_view format = StringArg(v, formatIdx);
    std::vector<FormatArg> args;
    for (SQInteger i = formatIdx + 1; i <= sq_gettop(v); ++i)
        args.push_back(ToFormatArg(v, i));
    std::string out, error;
    if (!sqstd::FormatString(format, args, out, error)) return sq_throwerror(v, error.c_str());
    SQChar* dest = sq_getscratchpad(v, static_cast<SQInteger>(out.size() + 1));
    std::memcpy(dest, out.data(), out.size());
    dest[out.size()] = '\0';
    *outlen = static_cast<SQInteger>(out.size());
    *output = dest;
    return SQ_OK;
}

SQInteger Format(HSQUIRRELVM v) {
    SQChar* text = nullptr;
    SQInteger len = 0;
    if (SQ_FAILED(FormatToScratch(v, 2, &len, &text))) return SQ_ERROR;
    sq_pushstring(v, text, len);
    return 1;
}

SQInteger Printf(HSQUIRRELVM v) {
    SQChar* text = nullptr;
    SQInteger len = 0;
    if (SQ_FAILED(FormatToScratch(v, 2, &len, &text))) return SQ_ERROR;
    if (SQPRINTFUNCTION print = sq_getprintfunc(v)) print(v, "%s", text);
    return 0;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view LeftStrip(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    return s;
}
std::string_view RightStrip(std::string_view s) {
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

void PushView(HSQUIRRELVM v, std::string_view s) {
    sq_pushstring(v, s.data(), static_cast<SQInteger>(s.size()));
}

SQInteger Strip(HSQUIRRELVM v) {
    PushView(v, RightStrip(LeftStrip(StringArg(v, 2))));
    return 1;
}
SQInteger LStrip(HSQUIRRELVM v) {
    PushView(v, LeftStrip(StringArg(v, 2)));
    return 1;
}
SQInteger RStrip(HSQUIRRELVM v) {
    PushView(v, RightStrip(StringArg(v, 2)));
    return 1;
}

// Each separator ends a field (kept even when empty unless skipped); the text after the last
// separator is a field only when it is not empty.
SQInteger Split(HSQUIRRELVM v) {
    std::string_view text = StringArg(v, 2), separators = StringArg(v, 3);
    SQBool skipEmpty = SQFalse;
    if (sq_gettop(v) > 3) sq_getbool(v, 4, &skipEmpty);
    if (separators.empty()) return sq_throwerror(v, "empty separators string");
    sq_newarray(v, 0);
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        bool atEnd = i == text.size();
        if (!atEnd && separators.find(text[i]) == std::string_view::npos) continue;
        std::string_view field = text.substr(start, i - start);
        start = i + 1;
        if (field.empty() && (skipEmpty || atEnd)) continue;
        PushView(v, field);
        sq_arrayappend(v, -2);
    }
    return 1;
}

// Quotes and backslashes get a backslash; control bytes become \xNN and bytes from 0x80 up the
// sign-extended \xffffffNN that scripts written for upstream's signed chars expect.
SQInteger Escape(HSQUIRRELVM v) {
    std::string out;
    for (char c : StringArg(v, 2)) {
        auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\'' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 32 || u >= 127) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "\\x%02x", u < 128 ? unsigned(u) : 0xffffff00u | u);
            out += hex;
        } else {
            out += c;
        }
    }
    PushView(v, out);
    return 1;
}

SQInteger StartsWith(HSQUIRRELVM v) {
    sq_pushbool(v, StringArg(v, 2).starts_with(StringArg(v, 3)));
    return 1;
}
SQInteger EndsWith(HSQUIRRELVM v) {
    sq_pushbool(v, StringArg(v, 2).ends_with(StringArg(v, 3)));
    return 1;
}

// --- the regexp class ---

sqstd::Regex* ThisRegex(HSQUIRRELVM v) {
    SQUserPointer up = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &up, SQSTD_REX_TYPE_TAG, SQFalse)) || !up) return nullptr;
    return static_cast<sqstd::Regex*>(up);
}

SQInteger ReleaseRegex(SQUserPointer p, SQInteger) {
    delete static_cast<sqstd::Regex*>(p);
    return 1;
}

SQInteger RegexConstructor(HSQUIRRELVM v) {
    const char* error = nullptr;
    std::unique_ptr<sqstd::Regex> rex = sqstd::Regex::Compile(StringArg(v, 2), error);
    if (!rex) return sq_throwerror(v, error);
    if (SQ_FAILED(sq_setinstanceup(v, 1, rex.get()))) return sq_throwerror(v, "invalid regexp instance");
    sq_setreleasehook(v, 1, ReleaseRegex);
    rex.release();
    return 0;
}

void PushSpan(HSQUIRRELVM v, const sqstd::RexSpan& span, std::ptrdiff_t offset) {
    sq_newtable(v);
    sq_pushstring(v, "begin", -1);
    sq_pushinteger(v, span.begin < 0 ? -1 : span.begin + offset);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "end", -1);
    sq_pushinteger(v, span.end < 0 ? -1 : span.end + offset);
    sq_newslot(v, -3, SQFalse);
}

// Searches from the optional start index; the pattern sees the text from there on.
bool SearchFrom(HSQUIRRELVM v, const sqstd::Regex& rex, std::vector<sqstd::RexSpan>& spans,
                SQInteger& start) {
    std::string_view text = StringArg(v, 2);
    start = sqstd::OptionalInteger(v, 3, 0);
    if (start < 0 || start > static_cast<SQInteger>(text.size())) return false;
    return rex.Search(text.substr(static_cast<size_t>(start)), spans);
}

SQInteger RegexMatch(HSQUIRRELVM v) {
    sqstd::Regex* rex = ThisRegex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp instance");
    sq_pushbool(v, rex->Match(StringArg(v, 2)));
    return 1;
}

SQInteger RegexSearch(HSQUIRRELVM v) {
    sqstd::Regex* rex = ThisRegex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp instance");
    std::vector<sqstd::RexSpan> spans;
    SQInteger start = 0;
    if (!SearchFrom(v, *rex, spans, start)) {
        sq_pushnull(v);
        return 1;
    }
    PushSpan(v, spans[0], start);
    return 1;
}

SQInteger RegexCapture(HSQUIRRELVM v) {
    sqstd::Regex* rex = ThisRegex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp instance");
    std::vector<sqstd::RexSpan> spans;
    SQInteger start = 0;
    if (!SearchFrom(v, *rex, spans, start)) {
        sq_pushnull(v);
        return 1;
    }
    sq_newarray(v, 0);
    for (const sqstd::RexSpan& span : spans) {
        PushSpan(v, span, start);
        sq_arrayappend(v, -2);
    }
    return 1;
}

SQInteger RegexSubexpCount(HSQUIRRELVM v) {
    sqstd::Regex* rex = ThisRegex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp instance");
    sq_pushinteger(v, rex->SubexpCount());
    return 1;
}

SQInteger RegexTypeof(HSQUIRRELVM v) {
    sq_pushstring(v, "regexp", -1);
    return 1;
}

const SQRegFunction kRegexMethods[] = {
    {"constructor", RegexConstructor, 2, ".s"},
    {"search", RegexSearch, -2, "xsn"},
    {"match", RegexMatch, 2, "xs"},
    {"capture", RegexCapture, -2, "xsn"},
    {"subexpcount", RegexSubexpCount, 1, "x"},
    {"_typeof", RegexTypeof, 1, "x"},
    {nullptr, nullptr, 0, nullptr},
};

const SQRegFunction kStringFunctions[] = {
    {"format", Format, -2, ".s"},   {"printf", Printf, -2, ".s"},         {"strip", Strip, 2, ".s"},
    {"lstrip", LStrip, 2, ".s"},    {"rstrip", RStrip, 2, ".s"},          {"split", Split, -3, ".ssb"},
    {"escape", Escape, 2, ".s"},    {"startswith", StartsWith, 3, ".ss"}, {"endswith", EndsWith, 3, ".ss"},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" {

SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger* outlen, SQChar** output) {
    if (nformatstringidx < 0) nformatstringidx += sq_gettop(v) + 1;
    if (sq_gettype(v, nformatstringidx) != OT_STRING) return sq_throwerror(v, "format string expected");
    return FormatToScratch(v, nformatstringidx, outlen, output);
}

SQRESULT sqstd_register_stringlib(HSQUIRRELVM v) {
    sq_pushstring(v, "regexp", -1);
    sq_newclass(v, SQFalse);
    sq_settypetag(v, -1, SQSTD_REX_TYPE_TAG);
    sqstd::RegisterFunctions(v, -1, kRegexMethods);
    sq_newslot(v, -3, SQFalse);
    sqstd::RegisterFunctions(v, -1, kStringFunctions);
    return SQ_OK;
}

} // extern "C"
