#include "MzUtf8.h"

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
