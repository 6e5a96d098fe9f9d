#pragma once
// The running program: where its executable is, its standard streams, and the shared
// libraries it loads.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The full path of the running executable (UTF-8); empty when the system does not say.
std::string ProgramPath();

// The command line's arguments as UTF-8 (on Windows from the wide command line, as main's
// argv holds the ANSI code page there).
std::vector<std::string> ProgramArguments(int argc, char** argv);
// An environment variable as UTF-8; nothing when it is unset or empty.
std::optional<std::string> EnvironmentVariable(const char* name);
// The user's home folder: $HOME, else the password database's entry for the user; nothing
// when neither names one (never a shared folder such as /tmp in its place).
std::optional<std::string> HomeFolder();
// Why a folder or file that the program takes settings or a socket from could be changed by
// someone other than the user, as ssh asks of its own files: it belongs to another user
// (root aside), or its group or everyone may write it. Empty when only the user (or root)
// can; also empty where files have no such owners (Windows, the web).
std::string WritableByOthers(const std::string& path);

// On Windows the program belongs to the desktop, without a console of its own: started
// from a console window it writes its messages there. Nothing to do elsewhere.
void ConnectStandardStreams();
// A line for the user (UTF-8) on standard error; on Windows, when the program was started
// from the desktop and has no standard error, in a message box, which screen readers read
// out: boxText there (the player's Portuguese) when given, else the line. A failure shows
// as an error there.
void ShowUserLine(const std::string& line, bool failure = false, const std::string& boxText = {});
// A line for the user on standard error (English, UTF-8): written now, or, while the
// terminal console owns the screen, once the terminal is given back; a line written before
// the terminal console took the screen is written again then, where it stays.
void TellUser(const std::string& line);
// The same for a line the player must learn of on Windows too: started from the desktop,
// where standard error is not seen, the Portuguese text (UTF-8) shows in a message box, as
// an error when it tells of a failure that ends the program.
void TellPlayer(const std::string& line, const std::string& portuguese, bool failure = false);
// The terminal console holds the told lines while it owns the screen, and gives them back
// with the terminal: every line told so far is written then.
void HoldToldLines();
void ReleaseToldLines();
// Starts a program detached from this one (its output goes nowhere; on Windows through the
// shell, which opens documents and addresses too) and returns at once; false when it could
// not be started. Through the starter, when one is set: a stand-in that records the
// commands instead (tests); an empty one puts the system back.
bool StartProgram(const std::vector<std::string>& command);
using ProgramStarter = std::function<bool(const std::vector<std::string>& command)>;
void SetProgramStarter(ProgramStarter starter);

// Whether the run failed though it went on (an output file that could not be written in
// full): it then ends with status 1.
void NoteRunFailed();
bool RunFailed();

// A failure that ends the program: "quelvar: " and the line, shown as above, the box saying
// in Portuguese that the game could not go on.
void ReportFailure(const std::string& line);

// Where nothing is loaded at run time (a web page), the libraries the program would load
// are linked in and registered under their file name without folder and extension
// ("libquelvar_mbrola"); LoadedLibrary finds them there.
struct LinkedSymbol {
  const char* name;
  void* address;
};
bool RegisterLinkedLibrary(std::string_view baseName, std::span<const LinkedSymbol> symbols);

// A shared library loaded at run time (a .so, or a DLL on Windows), unloaded when dropped.
class LoadedLibrary {
 public:
  // Nothing loaded when path cannot be loaded.
  explicit LoadedLibrary(const std::string& path);
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  ~LoadedLibrary();

  bool IsLoaded() const { return handle_ != nullptr; }
  // The address of an exported entry point; nullptr when it has none of that name.
  void* Symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace platform
