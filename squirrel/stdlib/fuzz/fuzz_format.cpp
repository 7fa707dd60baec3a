// libFuzzer target: a format string followed by argument bytes, each choosing a kind and a value.
#include "../sqstdformat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t formatLength = data[0];
    if (size - 1 < formatLength) return 0;
    std::string_view format(reinterpret_cast<const char*>(data + 1), formatLength);
    std::vector<sqstd::FormatArg> args;
    for (size_t i = 1 + formatLength; i + 9 <= size; i += 9) {
        sqstd::FormatArg arg;
        int64_t bits;
        std::memcpy(&bits, data + i + 1, sizeof bits);
        switch (data[i] % 4) {
        case 0:
            arg.kind = sqstd::FormatArg::Kind::Integer;
            arg.integer = bits;
            break;
        case 1: {
            float f;
            std::memcpy(&f, &bits, sizeof f);
            arg.kind = sqstd::FormatArg::Kind::Float;
            arg.real = f;
            break;
        }
        case 2:
            arg.kind = sqstd::FormatArg::Kind::String;
            arg.text = std::string_view(reinterpret_cast<const char*>(data + i + 1), 8);
            break;
        default:
            break;
        }
        args.push_back(arg);
    }
    std::string out, error;
    sqstd::FormatString(format, args, out, error);
    return 0;
}
