#include "MzAutostart.h"

#include "MzLog.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExecKey = "Exec=";
// Characters that make the entry format require a quoted argument.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

// The string-value escapes of a desktop entry, applied after the Exec quoting.
std::string EscapeValue(std::string_view value) {
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string ExecValue(const fs::path& program, const fs::path& folder) {
    return EscapeValue(MzDesktopExecArg(program.string()) + " " + MzDesktopExecArg(folder.string()));
}

} // namespace

std::string MzDesktopExecArg(const std::string& arg) {
    std::string escaped;
    for (char c : arg) {
        if (c == '%') escaped += '%';
        escaped += c;
    }
    if (!arg.empty() && arg.find_first_of(kReserved) == std::string::npos) return escaped;
    std::string quoted = "\"";
    for (char c : escaped) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

MzAutostart::MzAutostart(fs::path entryFile, fs::path program, fs::path folder, std::string appName)
    : m_entryFile(std::move(entryFile)), m_program(std::move(program)), m_folder(std::move(folder)),
      m_appName(std::move(appName)) {}

fs::path MzAutostart::DefaultEntryFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (config && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home ? home : "") / ".config";
    }
    return base / "autostart" / "mascot.desktop";
}

std::string MzAutostart::EntryText() const {
    std::ostringstream text;
    text << "[Desktop Entry]\n"
         << "Type=Application\n"
         << "Name=" << EscapeValue(m_appName) << "\n"
         << "Comment=Puts this mascot folder's characters on the desktop at login\n"
         << kExecKey << ExecValue(m_program, m_folder) << "\n"
         << "Icon=mascot\n"
         << "Terminal=false\n"
         << "X-GNOME-Autostart-enabled=true\n";
    return text.str();
}

// A hand-edited entry (other options, another program path) still counts while it starts this folder.
bool MzAutostart::Enabled() const {
    std::ifstream in(m_entryFile);
    std::string suffix = " " + EscapeValue(MzDesktopExecArg(m_folder.string()));
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with(kExecKey)) continue;
        return line.size() > suffix.size() && line.ends_with(suffix);
    }
    return false;
}

bool MzAutostart::Enable() {
    std::error_code error;
    fs::create_directories(m_entryFile.parent_path(), error);
    fs::path temp = m_entryFile;
    temp += ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << EntryText();
        out.close();
        if (!out) {
            MzErrorBox("ERROR", "自動起動の設定を書き込めませんでした: %s", m_entryFile.c_str());
            fs::remove(temp, error);
            return false;
        }
    }
    fs::rename(temp, m_entryFile, error);
    if (!error) return true;
    MzErrorBox("ERROR", "自動起動の設定を書き込めませんでした: %s (%s)", m_entryFile.c_str(),
               error.message().c_str());
    fs::remove(temp, error);
    return false;
}

bool MzAutostart::Disable() {
    std::error_code error;
    fs::remove(m_entryFile, error);
    if (!error) return true;
    MzErrorBox("ERROR", "自動起動の設定を削除できませんでした: %s (%s)", m_entryFile.c_str(),
               error.message().c_str());
    return false;
}
