// Script file text decoding.
#include "sqstdtext.h"

#include "squtf8.h"

#include <cstdint>

namespace sqstd {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    auto unit = [&](size_t i) -> char16_t {
        auto b0 = static_cast<uint8_t>(bytes[i]), b1 = static_cast<uint8_t>(bytes[i + 1]);
        return static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    };
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                sqtext::AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        sqtext::AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : char32_t(u));
    }
    if (i < bytes.size()) sqtext::AppendUtf8(out, kReplacement);
    return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

} // namespace

std::string DecodeScriptText(std::string_view bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    if (StartsWith(bytes, "\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
    if (StartsWith(bytes, "\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
    return std::string(bytes);
}

} // namespace sqstd
