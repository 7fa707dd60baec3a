// Reporting to the user: the script log, error boxes, the message window and Direct3D result names.
//
// This library sits below every subsystem that reports (graphics, motion, script, actor, app) and
// depends on nothing but the standard library. The windows themselves belong to the desktop host,
// which installs the three views below; without them the core runs headless:
//   - no script-log view: log entries are dropped (the log exists only while its window does);
//   - no error-box view: the error text still goes to stderr;
//   - no message-window view: the message-window calls do nothing.
// All texts are UTF-8. Character counts and limits are in Unicode characters, never in bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define MZ_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define MZ_PRINTF_FORMAT(fmt, args)
#endif

// The read-only text view of the script-log window. MzFlushScriptLog calls it on the thread that
// flushes (the dialog thread); a host whose widget lives on another thread forwards each call in
// order (a queued call). A line is everything up to and including its line feed; text that does not
// end with a line feed has one more, unfinished line. Line ends arrive as CR LF; a lone CR is no line end.
class MzScriptLogView {
  public:
    virtual ~MzScriptLogView() = default;
    // Disabled while a burst of entries is edited in, so that it is drawn once.
    virtual void SetEnabled(bool enabled) = 0;
    // Deletes the oldest `lineCount` lines; a count that covers the unfinished last line empties the view.
    virtual void RemoveLeadingLines(std::size_t lineCount) = 0;
    virtual void Append(std::string_view text) = 0;
    // Scrolls so that the last line is visible.
    virtual void ScrollToEnd() = 0;
};

// The modal error box: title "Error", one OK button. Show returns when the user has closed it; it is
// called from any thread and blocks only the calling one.
class MzErrorBoxView {
  public:
    virtual ~MzErrorBoxView() = default;
    virtual void Show(const std::string& text) = 0;
};

// The small centred window without caption that shows one line during long operations (imports).
class MzMessageWindowView {
  public:
    virtual ~MzMessageWindowView() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

// Installing a view means its window exists (an error-box view starts with no boxes shown lately); pass
// nullptr when the window is destroyed. The views are installed and removed by the host while no report is
// being made through them (before the threads that report start, after they end).
void MzSetScriptLogView(MzScriptLogView* view);
void MzSetErrorBoxView(MzErrorBoxView* view);
void MzSetMessageWindowView(MzMessageWindowView* view);

// Appends one entry (printf format, at most 1024 characters after formatting) to the script log.
// Line feeds become CR LF. Callable from any thread; never touches a window.
void MzLog(const char* format, ...) MZ_PRINTF_FORMAT(1, 2);

// Moves the pending log entries into the script-log view, keeping it at most 16384 characters by
// removing its oldest whole lines. Called by one thread only (the dialog thread).
void MzFlushScriptLog();

// Writes "tag : message" (each cut to 126 characters; the message formatted into 255 characters) to
// stderr and shows it in the error box; returns when the box is closed. Not logged. A text equal to
// one whose box was open or closed within the last kErrorBoxRepeatSeconds is not shown again: it goes
// to the log with its repeat count, so that an error made every frame cannot bury the desktop in boxes.
inline constexpr int kErrorBoxRepeatSeconds = 10;
void MzErrorBox(const char* tag, const char* format, ...) MZ_PRINTF_FORMAT(2, 3);

// The name of a Direct3D result code, "Unrecognized error value." for unknown ones.
const char* MzD3DErrorName(std::uint32_t result);

// The message window: the text is formatted into at most 1024 characters.
void MzSetMessageText(const char* format, ...) MZ_PRINTF_FORMAT(1, 2);
void MzShowMessageWindow();
void MzHideMessageWindow();
