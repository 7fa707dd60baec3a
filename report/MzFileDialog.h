// The file-open dialog scripts ask for (cpp_OpenFileDialog), behind a view the host installs.
//
// Filters come in the Windows form "description\0pattern\0description\0pattern\0..." with patterns
// separated by ';' ("*.dae;*.xml"); the view receives them in Qt's form
// "description (pattern pattern);;description (pattern)".
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct MzFileFilter {
    std::string description;
    std::vector<std::string> patterns;

    bool operator==(const MzFileFilter&) const = default;
};

// The (description, patterns) pairs of a Windows filter string; a description without patterns and
// empty patterns are left out.
std::vector<MzFileFilter> MzParseFileFilter(std::string_view filter);
// Qt's filter syntax; a description that already ends with its patterns in parentheses keeps them.
std::string MzQtFileFilter(const std::vector<MzFileFilter>& filters);

class MzFileDialogView {
  public:
    virtual ~MzFileDialogView() = default;
    // Shows the dialog for an existing file, starting at `startPath`; the chosen path or "".
    // Called from any thread; blocks only the calling one.
    virtual std::string Open(const std::string& qtFilter, const std::string& defaultSuffix,
                             const std::string& startPath) = 0;
};

// Installed by the host before the threads that run scripts start, removed after they end.
void MzSetFileDialogView(MzFileDialogView* view);

// Shows the dialog and returns the chosen path, or "" when cancelled or without a host. The next
// dialog starts at the path chosen last.
std::string MzOpenFileDialog(std::string_view filter, std::string_view defaultExtension);
