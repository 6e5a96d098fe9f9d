#pragma once
// Windows-shaped files on Linux: the private-profile (INI) reader, the Windows directory,
// Windows-form paths, and file look-up that ignores case as Windows does.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/files.h"

namespace platform {

using text::PathSeparators;

// The folder that stands for the Windows directory: set by --config-dir, else
// $TAMIRE_WINDIR, else $XDG_CONFIG_HOME/tamire (when that is an absolute path), else
// ~/.config/tamire (HomeFolder: $HOME, else the password database). No trailing '/'; empty
// when the player has no home folder.
std::string WindowsDirectory();
void SetWindowsDirectory(std::string directory);

// The installed data root that stands for the suite's install folder (c:\lorben).
std::string DataRoot();
void SetDataRoot(std::string directory);

// Translates a path in Windows form: a drive letter is dropped, '\' becomes '/', and the
// suite's install folder (\lorben) becomes DataRoot(). Other paths pass unchanged.
std::string TranslateWindowsPath(std::string_view path);

// Finds an existing file or folder for path, matching each component without regard to
// case when the exact name is not there. Nothing when no match exists.
std::optional<std::string> FindPathIgnoringCase(const std::string& path);
bool FileExists(const std::string& path);       // after the case-insensitive look-up
bool DirectoryExists(const std::string& path);  // after the case-insensitive look-up

// The folder a path is in: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& path);

// Whether two paths name one existing file (the same device and inode, through links).
bool SameFile(const std::string& a, const std::string& b);
// Whether two outputs would write one file: one existing regular file, or one path yet to
// be made. A device or FIFO (/dev/null) takes any number of outputs.
bool SameOutputFile(const std::string& a, const std::string& b);
// Whether path (which need not exist yet) is inside the data root, through links: inside its
// folder or a folder it links to.
bool InsideDataRoot(const std::string& path);

// The file a profile call reads: a bare name lives in the Windows directory (or, when it is
// not there and a fallback folder is set, in that folder); any other name is translated
// from Windows form.
std::string ProfileFilePath(std::string_view fileName);
void SetProfileFallbackFolder(std::string folder);
// Why a settings file cannot be read as one (English, after its name: "is a folder, not a
// file"); empty when it can.
std::string SettingsFileProblem(const std::string& path);

// The first run: when the Windows directory holds no settings file of this name (in any
// letter case), the shipped one from the data root is copied there. An existing file is
// never replaced. When the copy cannot be written, profile calls read the shipped file in
// place (SetProfileFallbackFolder); so they do when the file there is no settings file at
// all (Refused: a folder, a FIFO or device, a link to nothing, too large, not text, no
// [section]). A folder or file that others could write (WritableByOthers), and a player
// without a home folder, have the shipped file read in place too, and nothing of that
// folder is read (Untrusted, NoFolder). 'path' gets the file now in use, 'reason' why a
// write failed or which file was refused and why.
enum class SettingsFile { Present, Written, ReadInPlace, Refused, Untrusted, NoFolder, NoDefault };
SettingsFile PrepareSettingsFile(std::string_view fileName, std::string& path, std::string& reason);

// GetPrivateProfileString: the value of key in section (both matched without regard to
// case), blanks trimmed and one pair of enclosing quotes removed; a missing file, section
// or key gives defaultValue; a present empty value gives "". The result is cut to
// bufferSize - 1 bytes as the caller's buffer would cut it.
std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string_view fileName, std::size_t bufferSize = 256);
// The profile reader keeps each file it read until the file changes on disk (its size,
// modification or change time, or the file itself); this forgets them all at once.
void ForgetProfileFiles();

}  // namespace platform
