// Counting and cutting UTF-8 text by Unicode characters, so that limits never split a character.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

// Characters in `text`: every byte that does not continue a multi-byte sequence starts one.
std::size_t MzUtf8Length(std::string_view text);

// The longest prefix of `text` with at most `maxChars` characters.
std::string_view MzUtf8Prefix(std::string_view text, std::size_t maxChars);

// printf-style formatting into a string of any length.
std::string MzFormatV(const char* format, va_list args);
