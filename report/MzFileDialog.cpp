#include "MzFileDialog.h"

namespace {

MzFileDialogView* g_fileDialogView = nullptr;
// The path chosen last; only the thread that runs scripts calls the dialog.
std::string g_lastPath;

std::vector<std::string> SplitPatterns(std::string_view patterns) {
    std::vector<std::string> out;
    while (!patterns.empty()) {
        size_t end = patterns.find(';');
        std::string_view one = patterns.substr(0, end);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        while (!one.empty() && one.back() == ' ')
            one.remove_suffix(1);
        if (!one.empty()) out.emplace_back(one);
        if (end == std::string_view::npos) break;
        patterns.remove_prefix(end + 1);
    }
    return out;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

} // namespace

std::vector<MzFileFilter> MzParseFileFilter(std::string_view filter) {
    std::vector<std::string_view> fields;
    while (!filter.empty()) {
        size_t end = filter.find('\0');
        std::string_view field = filter.substr(0, end);
        // An empty field is the terminating double NUL.
        if (field.empty()) break;
        fields.push_back(field);
        if (end == std::string_view::npos) break;
        filter.remove_prefix(end + 1);
    }
    std::vector<MzFileFilter> out;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        auto patterns = SplitPatterns(fields[i + 1]);
        if (!patterns.empty()) out.push_back({std::string(fields[i]), std::move(patterns)});
    }
    return out;
}

std::string MzQtFileFilter(const std::vector<MzFileFilter>& filters) {
    std::vector<std::string> entries;
    for (const MzFileFilter& f : filters) {
        std::string patterns = Join(f.patterns, " ");
        std::string suffix = "(" + patterns + ")";
        bool hasPatterns =
            f.description.size() >= suffix.size() &&
            f.description.compare(f.description.size() - suffix.size(), suffix.size(), suffix) == 0;
        // Qt reads the patterns from the last parentheses of each entry.
        entries.push_back(hasPatterns ? f.description : f.description + " " + suffix);
    }
    return Join(entries, ";;");
}

void MzSetFileDialogView(MzFileDialogView* view) {
    g_fileDialogView = view;
}

std::string MzOpenFileDialog(std::string_view filter, std::string_view defaultExtension) {
    if (!g_fileDialogView) return "";
    std::string chosen = g_fileDialogView->Open(MzQtFileFilter(MzParseFileFilter(filter)),
                                                std::string(defaultExtension), g_lastPath);
    if (!chosen.empty()) g_lastPath = chosen;
    return chosen;
}
