#include "MzMascotFolder.h"

#include <system_error>

namespace fs = std::filesystem;

fs::path MzProgramPath() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self;
}

fs::path MzDefaultMascotFolder(const fs::path& workingDir, const fs::path& programPath,
                               std::string_view sampleFromBin) {
    std::error_code error;
    if (fs::exists(workingDir / "config.nut", error) || programPath.empty()) return workingDir;
    fs::path sample = (programPath.parent_path() / sampleFromBin).lexically_normal();
    if (fs::exists(sample / "config.nut", error)) return sample;
    return workingDir;
}
