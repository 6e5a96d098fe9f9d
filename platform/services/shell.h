#pragma once
// The shell's "open" on Linux: documents and web addresses go to xdg-open, programs are run
// themselves, always through an argument vector and never through a shell command line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Where a program named without a folder may be looked for: a configured program name may
// be found on PATH; text the user typed only ever names a file or a web address, so that a
// word such as "poweroff" runs nothing.
enum class ProgramSearch { FilesOnly, FilesAndPath };

// The argument vector that opens program with parameter, or nothing when nothing should be
// run: program is a web address (http://, https://, www.), a file (Windows or Linux form,
// relative to the current directory) or, when allowed, a program name found on PATH. An
// executable file or program is run with the parameter as its one argument (none when
// empty); any other existing file is opened with xdg-open; anything else opens nothing.
std::optional<std::vector<std::string>> ShellOpenCommand(std::string_view program, std::string_view parameter,
                                                         ProgramSearch search = ProgramSearch::FilesOnly);

// Starts the command detached from the program (platform/services/process.h's
// StartProgram); false when there was nothing to start or it could not be started.
bool ShellOpen(std::string_view program, std::string_view parameter, ProgramSearch search = ProgramSearch::FilesOnly);

}  // namespace platform
