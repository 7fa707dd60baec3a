// The printf-like formatting engine: parses each conversion and renders it through snprintf
// with a bounded specification, so every conversion's output has a known maximum size.
#include "sqstdformat.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace sqstd {

namespace {

constexpr int kMaxDigits = 2; // width and precision: at most two digits each

struct Spec {
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
bool ParseSpec(std::string_view f, size_t& i, Spec& spec, std::string& error) {
    while (i < f.size() && std::strchr("-+ #0", f[i]) && f[i] != '\0')
        spec.flags += f[i++];
    spec.width = ReadNumber(f, i);
    if (spec.width == -2) {
        error = "width format too long";
        return false;
    }
    if (i < f.size() && f[i] == '.') {
        ++i;
        spec.precision = ReadNumber(f, i);
        if (spec.precision == -2) {
            error = "precision format too long";
            return false;
        }
        if (spec.precision < 0) spec.precision = 0;
    }
    if (i >= f.size() || !std::strchr("diuoxXcsfFeEgG", f[i]) || f[i] == '\0') {
        error = "invalid format";
        return false;
    }
    spec.conversion = f[i++];
    return true;
}

std::string CSpec(const Spec& spec, const char* length) {
    std::string s = "%" + spec.flags;
    if (spec.width >= 0) s += std::to_string(spec.width);
    if (spec.precision >= 0) s += "." + std::to_string(spec.precision);
    return s + length + spec.conversion;
}

// Strings are padded here rather than by snprintf so that embedded zero bytes survive.
void AppendString(const Spec& spec, std::string_view text, std::string& out) {
    if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision))
        text = text.substr(0, spec.precision);
    size_t pad = spec.width > static_cast<int>(text.size()) ? spec.width - text.size() : 0;
    bool left = spec.flags.find('-') != std::string::npos;
    if (!left) out.append(pad, ' ');
    out.append(text);
    if (left) out.append(pad, ' ');
}

bool AppendConversion(const Spec& spec, const FormatArg& arg, std::string& out, std::string& error) {
    char buffer[512];
    int n = 0;
    switch (spec.conversion) {
    case 's':
        if (arg.kind != FormatArg::Kind::String) {
            error = "string expected for the specified format";
            return false;
        }
        AppendString(spec, arg.text, out);
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
        if (spec.conversion == 'c')
            n = std::snprintf(buffer, sizeof buffer, CSpec(spec, "").c_str(), static_cast<int>(value));
        else
            n = std::snprintf(buffer, sizeof buffer, CSpec(spec, "ll").c_str(), value);
        break;
    }
    default: {
        if (arg.kind != FormatArg::Kind::Integer && arg.kind != FormatArg::Kind::Float) {
            error = "float expected for the specified format";
            return false;
        }
        double value = arg.kind == FormatArg::Kind::Float ? arg.real : static_cast<double>(arg.integer);
        n = std::snprintf(buffer, sizeof buffer, CSpec(spec, "").c_str(), value);
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
        Spec spec;
        if (!ParseSpec(format, i, spec, error)) return false;
        if (next >= args.size()) {
            error = "not enough parameters for the given format string";
            return false;
        }
        if (!AppendConversion(spec, args[next++], out, error)) return false;
    }
    return true;
}

} // namespace sqstd
