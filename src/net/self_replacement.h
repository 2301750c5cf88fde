#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/program_process.h"

namespace vantrel {

// The downloaded update and the script that installs it, both in the program's folder.
inline constexpr std::string_view UpdateFileName = "vantrel1.exe";
inline constexpr std::string_view ReplacementScriptName = "$$336699.bat";

struct ReplacementPaths {
    std::string executable;  // the running program
    std::string download;    // the new program
    std::string script;      // the script itself
    long processId = 0;      // the running program's process
};

// `text` as one shell word that the shell takes literally, whatever bytes it holds.
std::string quoteForShell(std::string_view text);

// A POSIX shell script that waits (sleeping) until the process has ended, then moves the download
// over the executable in one rename with the executable bit set, and removes itself.
std::string buildReplacementScript(const ReplacementPaths& paths);

// True when `candidate` starts with an ELF header of an executable or shared object for the same
// class, byte order and machine as the ELF header that `running` starts with.
bool isExecutableLike(std::string_view candidate, std::string_view running);

// Installs the downloaded update once the program has ended: checks that the download is a
// program for this machine, writes the script and starts it. False when the download is not
// installable (it is then removed) or the script cannot be written or started; the running
// executable is untouched in every case. `programFolder` ends with "/".
bool startSelfReplacement(FileSystem& files, ProgramProcess& process,
                          const std::string& programFolder);

}  // namespace vantrel
