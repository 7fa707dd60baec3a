// Text helpers of the loader: number lists parsed in place and image URIs made into paths.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace collada {

// Appends the whitespace-separated numbers of `text` to `out`, without allocating per
// number. A token that is not a number counts as 0; returns the number of such tokens.
size_t AppendFloats(std::string_view text, std::vector<float>& out);
// Same for unsigned integers; negative or too large values become UINT32_MAX (which no
// list can address), so they read as out of range rather than wrapping.
size_t AppendIndices(std::string_view text, std::vector<uint32_t>& out);
// Appends the whitespace-separated words of `text`.
void AppendWords(std::string_view text, std::vector<std::string>& out);

// Local absolute path of an image URI reference: `file:` scheme and percent-escapes are
// decoded, backslashes become slashes, a relative reference is resolved against `baseDir`.
std::string ImagePathFromUri(std::string_view uri, const std::string& baseDir);

// The part of a URL after '#', or the empty string for anything but a local fragment.
std::string_view FragmentOf(std::string_view url);

} // namespace collada
