// Recording stand-ins for the host's windows, for tests of anything that reports.
#pragma once

#include "MzLog.h"

#include <string>
#include <vector>

// Keeps the text the way a text widget would, and what was done to it.
class FakeScriptLogView : public MzScriptLogView {
  public:
    void SetEnabled(bool enabled) override {
        this->enabled = enabled;
        ++enableChanges;
    }
    void RemoveLeadingLines(std::size_t lineCount) override {
        removedLines += lineCount;
        for (; lineCount > 0 && !text.empty(); --lineCount) {
            std::size_t end = text.find('\n');
            text.erase(0, end == std::string::npos ? text.size() : end + 1);
        }
    }
    void Append(std::string_view appended) override { text += appended; }
    void ScrollToEnd() override { ++scrolls; }

    std::string text;
    bool enabled = true;
    int enableChanges = 0;
    std::size_t removedLines = 0;
    int scrolls = 0;
};

class FakeErrorBoxView : public MzErrorBoxView {
  public:
    void Show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// Installs a fresh script-log view (with the ring drained) and an error box for the lifetime of a test.
class ScopedReportViews {
  public:
    ScopedReportViews() {
        FakeScriptLogView drain;
        MzSetScriptLogView(&drain);
        MzFlushScriptLog();
        MzSetScriptLogView(&log);
        MzSetErrorBoxView(&errorBox);
    }
    ~ScopedReportViews() {
        MzSetScriptLogView(nullptr);
        MzSetErrorBoxView(nullptr);
    }
    // Everything logged so far, as the script-log window shows it.
    const std::string& Flushed() {
        MzFlushScriptLog();
        return log.text;
    }

    FakeScriptLogView log;
    FakeErrorBoxView errorBox;
};
