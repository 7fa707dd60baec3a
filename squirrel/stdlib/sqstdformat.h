// The printf-like formatting engine behind the string library's `format`.
#ifndef SQSTDFORMAT_H
#define SQSTDFORMAT_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sqstd {

// One argument as the formatter sees it; `Other` stands for any non-numeric, non-string value.
struct FormatArg {
    enum class Kind { Integer, Float, String, Other } kind = Kind::Other;
    int64_t integer = 0;
    double real = 0;
    std::string_view text;
};

// Formats `args` after `format` into `out`. Conversions: d i u o x X c s f F e E g G and %%,
// with the flags "-+ #0", a width and a precision of at most two digits each (no '*').
// On failure returns false and sets `error` to the script-visible message.
bool FormatString(std::string_view format, std::span<const FormatArg> args, std::string& out,
                  std::string& error);

} // namespace sqstd

#endif
