#pragma once
// The registry as the MBROLA database registration sees it: a database registered under
// SOFTWARE\TCTS\Mbrola\databases\<name>\ is a voice installed where Linux puts MBROLA voices.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot, Users };

// The text of a string value. path is a key path and a value name joined by "\" (an empty
// value name reads the key's default value); nothing when there is no "\", when the key
// or the value does not exist, or when the value is not a string.
//
// The only values this registry holds are the defaults of
// HKEY_LOCAL_MACHINE\SOFTWARE\TCTS\Mbrola\databases\<name>: the path
// <MbrolaVoiceFolder()>/<name>/<name> when that file exists (the name matched without
// regard to case, as registry keys are).
std::optional<std::string> ReadRegistryString(RegistryRoot root, std::string_view path);

// Where MBROLA voices are installed: /usr/share/mbrola unless a test moves it.
std::string MbrolaVoiceFolder();
void SetMbrolaVoiceFolder(std::string folder);  // empty restores the default

}  // namespace platform
