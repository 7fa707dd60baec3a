// libFuzzer target: compiles the first bytes as a pattern (up to 64) and searches the rest (up to 4 KiB).
#include "../sqstdrex.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t patternLength = data[0] % 65;
    if (size - 1 < patternLength) return 0;
    std::string_view pattern(reinterpret_cast<const char*>(data + 1), patternLength);
    std::string_view text(reinterpret_cast<const char*>(data + 1 + patternLength), size - 1 - patternLength);
    if (text.size() > 4096) text = text.substr(0, 4096);
    const char* error = nullptr;
    auto rex = sqstd::Regex::Compile(pattern, error);
    if (!rex) return 0;
    std::vector<sqstd::RexSpan> spans;
    if (rex->Search(text, spans)) {
        for (const sqstd::RexSpan& s : spans)
            if (s.begin > s.end || s.end > static_cast<std::ptrdiff_t>(text.size()) ||
                (s.begin < 0 && s.end >= 0))
                __builtin_trap();
    }
    rex->Match(text);
    return 0;
}
