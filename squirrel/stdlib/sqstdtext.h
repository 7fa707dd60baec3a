// Script file text: byte-order marks and UTF-16 decoding into the engine's UTF-8.
#ifndef SQSTDTEXT_H
#define SQSTDTEXT_H

#include <string>
#include <string_view>

namespace sqstd {

// A UTF-8 byte-order mark is dropped; UTF-16 with a byte-order mark (either byte order) becomes
// UTF-8, unpaired surrogates and a dangling odd byte becoming U+FFFD; other bytes are kept as they are.
std::string DecodeScriptText(std::string_view bytes);

} // namespace sqstd

#endif
