// Where the program finds itself and the mascot folder it runs when the command line names none.
#pragma once

#include <filesystem>
#include <string_view>

// The running program's own file (from /proc/self/exe); empty when the system does not say.
std::filesystem::path MzProgramPath();

// The working directory when it holds config.nut; otherwise the sample installed with the program
// (`sampleFromBin` relative to the program's folder) when that exists; otherwise the working
// directory again, whose missing config.nut is then reported as usual.
std::filesystem::path MzDefaultMascotFolder(const std::filesystem::path& workingDir,
                                            const std::filesystem::path& programPath,
                                            std::string_view sampleFromBin);
