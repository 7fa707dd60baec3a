#include "MzLog.h"

#include "MzLogRing.h"
#include "MzScriptLogText.h"
#include "MzUtf8.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

namespace {

constexpr std::size_t kLogChars = 1024;         // log entries and message-window texts
constexpr std::size_t kErrorMessageChars = 255; // the error box's message
constexpr std::size_t kErrorPartChars = 126;    // tag and message in the box text

MzLogRing g_logRing;
MzScriptLogText g_scriptLogText; // touched by the flushing thread only
std::atomic<MzScriptLogView*> g_scriptLogView{nullptr};
std::atomic<MzErrorBoxView*> g_errorBoxView{nullptr};
std::atomic<MzMessageWindowView*> g_messageWindowView{nullptr};
std::atomic<bool> g_messageVisible{false};

std::string FormatV(std::size_t maxChars, const char* format, va_list args) {
    return std::string(MzUtf8Prefix(MzFormatV(format, args), maxChars));
}

// The error boxes shown lately, by text: when the last one was closed (or is still open) and how
// often the text came again since it was first shown.
class RecentErrorBoxes {
  public:
    using Clock = std::chrono::steady_clock;

    // The repeat count when `text` is to be logged instead of shown, else 0 (the box is shown).
    int Repeat(const std::string& text) {
        std::lock_guard lock(m_mutex);
        Clock::time_point now = Clock::now();
        std::erase_if(m_boxes, [now](const auto& entry) {
            return !entry.second.open && now - entry.second.closed > kWindow;
        });
        auto [it, added] = m_boxes.try_emplace(text);
        if (added) {
            it->second.open = true;
            return 0;
        }
        return ++it->second.repeats;
    }

    void Clear() {
        std::lock_guard lock(m_mutex);
        m_boxes.clear();
    }

    void Closed(const std::string& text) {
        std::lock_guard lock(m_mutex);
        auto it = m_boxes.find(text);
        if (it == m_boxes.end()) return;
        it->second.open = false;
        it->second.closed = Clock::now();
    }

  private:
    static constexpr auto kWindow = std::chrono::seconds(kErrorBoxRepeatSeconds);
    struct Box {
        bool open = false;
        Clock::time_point closed;
        int repeats = 0;
    };
    std::mutex m_mutex;
    std::map<std::string, Box> m_boxes;
};

RecentErrorBoxes g_recentErrorBoxes;

// A carriage return goes before every line feed that does not already follow one.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    char previous = '\0';
    for (char c : text) {
        if (c == '\n' && previous != '\r') out += '\r';
        out += c;
        previous = c;
    }
    return out;
}

} // namespace

void MzSetScriptLogView(MzScriptLogView* view) {
    g_scriptLogText = MzScriptLogText();
    g_scriptLogView.store(view, std::memory_order_release);
}

void MzSetErrorBoxView(MzErrorBoxView* view) {
    g_recentErrorBoxes.Clear();
    g_errorBoxView.store(view, std::memory_order_release);
}

void MzSetMessageWindowView(MzMessageWindowView* view) {
    g_messageVisible.store(false);
    g_messageWindowView.store(view, std::memory_order_release);
}

void MzLog(const char* format, ...) {
    if (g_scriptLogView.load(std::memory_order_acquire) == nullptr) return;
    va_list args;
    va_start(args, format);
    std::string text = FormatV(kLogChars, format, args);
    va_end(args);
    g_logRing.Push(WithCrLf(text));
}

void MzFlushScriptLog() {
    MzScriptLogView* view = g_scriptLogView.load(std::memory_order_acquire);
    if (view == nullptr) return;
    bool any = false;
    g_logRing.Drain([&](std::string_view entry) {
        if (!any) view->SetEnabled(false);
        any = true;
        g_scriptLogText.Append(entry, *view);
    });
    if (!any) return;
    view->ScrollToEnd();
    view->SetEnabled(true);
}

void MzErrorBox(const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = FormatV(kErrorMessageChars, format, args);
    va_end(args);
    std::string text = std::string(MzUtf8Prefix(tag, kErrorPartChars)) + " : " +
                       std::string(MzUtf8Prefix(message, kErrorPartChars));
    if (int repeat = g_recentErrorBoxes.Repeat(text)) {
        MzLog("%s (repeated %d times)\n", text.c_str(), repeat + 1);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    if (MzErrorBoxView* view = g_errorBoxView.load(std::memory_order_acquire)) view->Show(text);
    g_recentErrorBoxes.Closed(text);
}

const char* MzD3DErrorName(std::uint32_t result) {
    struct Name {
        std::uint32_t result;
        const char* text;
    };
    static constexpr Name kNames[] = {
        {0x00000000u, "No error."},           {0x8876017Cu, "D3DERR_OUTOFVIDEOMEMORY"},
        {0x8876086Au, "D3DERR_NOTAVAILABLE"}, {0x8876086Cu, "D3DERR_INVALIDCALL"},
        {0x88760B59u, "D3DXERR_INVALIDDATA"},
    };
    for (const Name& name : kNames) {
        if (name.result == result) return name.text;
    }
    return "Unrecognized error value.";
}

void MzSetMessageText(const char* format, ...) {
    MzMessageWindowView* view = g_messageWindowView.load(std::memory_order_acquire);
    if (view == nullptr) return;
    va_list args;
    va_start(args, format);
    std::string text = FormatV(kLogChars, format, args);
    va_end(args);
    view->SetText(text);
}

void MzShowMessageWindow() {
    MzMessageWindowView* view = g_messageWindowView.load(std::memory_order_acquire);
    if (view == nullptr) return;
    if (!g_messageVisible.exchange(true)) view->Show();
}

void MzHideMessageWindow() {
    MzMessageWindowView* view = g_messageWindowView.load(std::memory_order_acquire);
    if (view == nullptr) return;
    if (g_messageVisible.exchange(false)) view->Hide();
}
