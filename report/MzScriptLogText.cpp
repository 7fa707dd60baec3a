#include "MzScriptLogText.h"

#include "MzUtf8.h"

MzScriptLogText::Cut MzScriptLogText::LeadingLinesToDrop(std::string_view text, std::size_t& total,
                                                         std::size_t limit) {
    Cut cut;
    std::size_t lineChars = 0;
    for (char c : text) {
        ++cut.bytes;
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++lineChars;
        if (c != '\n') continue;
        ++cut.lines;
        cut.chars += lineChars;
        total -= lineChars;
        lineChars = 0;
        if (total < limit) return cut;
    }
    // Ran out of text: the unfinished last line goes as well, and no longer counts.
    if (lineChars > 0) ++cut.lines;
    cut.chars += lineChars;
    total -= lineChars;
    return cut;
}

void MzScriptLogText::Append(std::string_view entry, MzScriptLogView& view) {
    std::size_t total = m_length + MzUtf8Length(entry);
    if (total >= kLimit) {
        Cut cut = LeadingLinesToDrop(m_text, total, kLimit);
        if (cut.lines > 0) view.RemoveLeadingLines(cut.lines);
        m_text.erase(0, cut.bytes);
        m_length -= cut.chars;
    }
    if (total > kLimit) {
        Cut cut = LeadingLinesToDrop(entry, total, kLimit + 1);
        entry.remove_prefix(cut.bytes);
    }
    if (entry.empty()) return;
    view.Append(entry);
    m_text += entry;
    m_length += MzUtf8Length(entry);
}
