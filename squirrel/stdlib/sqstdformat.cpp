// The printf-like formatting engine: parses each conversion and renders it through snprintf
// with a bounded directive, so every conversion's output has a known maximum size.
#include "sqstdformat.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace sqstd {

namespace {

constexpr int kMaxDigits = 2; // width and precision: at most two digits each

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    char conversion = 0;
};

// A float converted for an integer conversion; out-of-range values saturate instead of being undefined.
long long Truncate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2233720368547758e18) return std::numeric_limits<long long>::max();
    if (value <= -9.2233720368547758e18) return std::numeric_limits<long long>::min();
    return static_cast<long long>(value);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads up to `kMaxDigits` digits at `i`; -1 when there are none, -2 when there are too many.
int ReadNumber(std::string_view f, size_t& i) {
    int value = -1, digits = 0;
    while (i < f.size() && IsDigit(f[i])) {
        value = (value < 0 ? 0 : value * 10) + (f[i++] - '0');
        if (++digits > kMaxDigits) return -2;
    }
    return value;
}

// Parses the conversion after '%' at `i`; on failure sets `error`.
bool ParseDirective(std::string_view f, size_t& i, Directive& dir, std::string& error) {
    while (i < f.size() && std::strchr("-+ #0", f[i]) && f[i] != '\0')
        dir.flags += f[i++];
    dir.width = ReadNumber(f, i);
    if (dir.width == -2) {
        error = "width format too long";
        return false;
    }
    if (i < f.size() && f[i] == '.') {
        ++i;
        dir.precision = ReadNumber(f, i);
        if (dir.precision == -2) {
            error = "precision format too long";
            return false;
        }
        if (dir.precision < 0) dir.precision = 0;
    }
    if (i >= f.size() || !std::strchr("diuoxXcsfFeEgG", f[i]) || f[i] == '\0') {
        error = "invalid format";
        return false;
    }
    dir.conversion = f[i++];
    return true;
}

std::string PrintfDirective(const Directive& dir, const char* length) {
    std::string s = "%" + dir.flags;
    if (dir.width >= 0) s += std::to_string(dir.width);
    if (dir.precision >= 0) s += "." + std::to_string(dir.precision);
    return s + length + dir.conversion;
}

// Strings are padded here rather than by snprintf so that embedded zero bytes survive.
void AppendString(const Directive& dir, std::string_view text, std::string& out) {
    if (dir.precision >= 0 && text.size() > static_cast<size_t>(dir.precision))
        text = text.substr(0, dir.precision);
    size_t pad = dir.width > static_cast<int>(text.size()) ? dir.width - text.size() : 0;
    bool left = dir.flags.find('-') != std::string::npos;
    if (!left) out.append(pad, ' ');
    out.append(text);
    if (left) out.append(pad, ' ');
}

bool AppendConversion(const Directive& dir, const FormatArg& arg, std::string& out, std::string& error) {
    char buffer[512];
    int n = 0;
    switch (dir.conversion) {
    case 's':
        if (arg.kind != FormatArg::Kind::String) {
            error = "string expected for the specified format";
            return false;
        }
        AppendString(dir, arg.text, out);
        return true;
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
    case 'c': {
        if (arg.kind != FormatArg::Kind::Integer && arg.kind != FormatArg::Kind::Float) {
            error = "integer expected for the specified format";
            return false;
        }
        long long value = arg.kind == FormatArg::Kind::Integer ? arg.integer : Truncate(arg.real);
        if (dir.conversion == 'c')
            n = std::snprintf(buffer, sizeof buffer, PrintfDirective(dir, "").c_str(),
                              static_cast<int>(value));
        else
            n = std::snprintf(buffer, sizeof buffer, PrintfDirective(dir, "ll").c_str(), value);
        break;
    }
    default: {
        if (arg.kind != FormatArg::Kind::Integer && arg.kind != FormatArg::Kind::Float) {
            error = "float expected for the specified format";
            return false;
        }
        double value = arg.kind == FormatArg::Kind::Float ? arg.real : static_cast<double>(arg.integer);
        n = std::snprintf(buffer, sizeof buffer, PrintfDirective(dir, "").c_str(), value);
        break;
    }
    }
    if (n < 0 || n >= static_cast<int>(sizeof buffer)) {
        error = "invalid format";
        return false;
    }
    out.append(buffer, n);
    return true;
}

} // namespace

bool FormatString(std::string_view format, std::span<const FormatArg> args, std::string& out,
                  std::string& error) {
    size_t next = 0;
    for (size_t i = 0; i < format.size();) {
        if (format[i] != '%') {
            out += format[i++];
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            out += format[i++];
            continue;
        }
        Directive dir;
        if (!ParseDirective(format, i, dir, error)) return false;
        if (next >= args.size()) {
            error = "not enough parameters for the given format string";
            return false;
        }
        if (!AppendConversion(dir, args[next++], out, error)) return false;
    }
    return true;
}

} // namespace sqstd
