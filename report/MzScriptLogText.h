// What the script-log view holds, mirrored here so that the flush can keep the view within its limit
// without asking the widget (which lives on another thread) for its text.
#pragma once

#include "MzLog.h"

#include <cstddef>
#include <string>
#include <string_view>

class MzScriptLogText {
  public:
    static constexpr std::size_t kLimit = 16384; // characters the view holds at most

    // Appends `entry` to the mirror and the view. When both together reach the limit, the oldest whole
    // lines of the view are removed until they fit; an entry that cannot fit even into the empty view
    // loses its own leading lines.
    void Append(std::string_view entry, MzScriptLogView& view);

    const std::string& Text() const { return m_text; }
    std::size_t Length() const { return m_length; }

  private:
    struct Cut {
        std::size_t bytes = 0;
        std::size_t chars = 0;
        std::size_t lines = 0;
    };
    // The leading lines of `text` to drop so that `total` (which counts all of `text`) gets below
    // `limit`, or all of `text`.
    static Cut LeadingLinesToDrop(std::string_view text, std::size_t& total, std::size_t limit);

    std::string m_text;
    std::size_t m_length = 0;
};
