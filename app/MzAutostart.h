// Starting a mascot folder at login: one XDG autostart entry, ~/.config/autostart/mascot.desktop,
// which runs the program on the folder it was written for.
#pragma once

#include <filesystem>
#include <string>

class MzAutostart {
  public:
    MzAutostart(std::filesystem::path entryFile, std::filesystem::path program, std::filesystem::path folder,
                std::string appName);

    // $XDG_CONFIG_HOME/autostart/mascot.desktop, or ~/.config/... when that is not set.
    static std::filesystem::path DefaultEntryFile();

    // The entry exists and starts this folder.
    bool Enabled() const;
    // Writes or removes the entry; a failure is reported in an error box and returns false.
    bool Enable();
    bool Disable();

    // The entry's text for this program and folder.
    std::string EntryText() const;

  private:
    std::filesystem::path m_entryFile;
    std::filesystem::path m_program;
    std::filesystem::path m_folder;
    std::string m_appName;
};

// One argument of a desktop entry's Exec key, quoted and escaped as the entry format requires.
std::string MzDesktopExecArg(const std::string& arg);
