#include "MzUtf8.h"

#include <cstdio>
#include <vector>

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::size_t MzUtf8Length(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if (!IsContinuation(c)) ++count;
    }
    return count;
}

std::string_view MzUtf8Prefix(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuation(text[i])) continue;
        if (chars == maxChars) return text.substr(0, i);
        ++chars;
    }
    return text;
}

std::string MzFormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (size <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(size));
}
