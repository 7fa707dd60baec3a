// Text helpers of the loader.
#include "ColladaText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace collada {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Calls `fn(token)` for every whitespace-separated token.
template <typename Fn>
void ForEachToken(std::string_view text, Fn fn) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        while (p < end && IsSpace(*p))
            ++p;
        const char* start = p;
        while (p < end && !IsSpace(*p))
            ++p;
        if (p > start) fn(start, p);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i] == '\\' ? '/' : s[i]);
    }
    return out;
}

bool HasDrive(std::string_view s) {
    return s.size() >= 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
           (s[2] == '/' || s[2] == '\\');
}

} // namespace

size_t AppendFloats(std::string_view text, std::vector<float>& out) {
    size_t bad = 0;
    ForEachToken(text, [&](const char* b, const char* e) {
        if (*b == '+') ++b;
        float v = 0;
        auto [ptr, ec] = std::from_chars(b, e, v);
        if (ec == std::errc::result_out_of_range) {
            v = (*b == '-') ? -HUGE_VALF : HUGE_VALF;
        } else if (ec != std::errc() || ptr != e) {
            v = 0;
            ++bad;
        }
        out.push_back(v);
    });
    return bad;
}

size_t AppendIndices(std::string_view text, std::vector<uint32_t>& out) {
    size_t bad = 0;
    ForEachToken(text, [&](const char* b, const char* e) {
        if (*b == '+') ++b;
        int64_t v = 0;
        auto [ptr, ec] = std::from_chars(b, e, v);
        bool ok = ec == std::errc() && ptr == e;
        if (!ok && ec != std::errc::result_out_of_range) ++bad;
        out.push_back(ok && v >= 0 && v < UINT32_MAX ? static_cast<uint32_t>(v) : UINT32_MAX);
    });
    return bad;
}

void AppendWords(std::string_view text, std::vector<std::string>& out) {
    ForEachToken(text, [&](const char* b, const char* e) { out.emplace_back(b, e); });
}

std::string ImagePathFromUri(std::string_view uri, const std::string& baseDir) {
    while (!uri.empty() && IsSpace(uri.front()))
        uri.remove_prefix(1);
    while (!uri.empty() && IsSpace(uri.back()))
        uri.remove_suffix(1);
    if (uri.starts_with("file://")) {
        uri.remove_prefix(7);
        if (uri.size() >= 4 && uri[0] == '/' && HasDrive(uri.substr(1))) uri.remove_prefix(1);
    } else if (uri.starts_with("file:")) {
        uri.remove_prefix(5);
    }
    std::string path = PercentDecode(uri);
    if (path.empty() || path.front() == '/' || HasDrive(path)) return path;
    return (std::filesystem::path(baseDir) / path).lexically_normal().string();
}

std::string_view FragmentOf(std::string_view url) {
    if (url.empty() || url.front() != '#') return {};
    return url.substr(1);
}

} // namespace collada
