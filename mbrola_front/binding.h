#pragma once
// The MBROLA synthesizer library, loaded at run time: its 23 entry points resolved by name,
// and the log of the phoneme lines handed to it.

#include <string>
#include <string_view>

namespace mbrola_front {

// The entry points with the library's C signatures.
struct MbrolaEntryPoints {
  int (*init_MBR)(char* databasePath) = nullptr;
  int (*init_rename_MBR)(char* databasePath, char* rename, char* clone) = nullptr;
  int (*write_MBR)(char* text) = nullptr;
  int (*flush_MBR)() = nullptr;
  int (*read_MBR)(short* buffer, int wanted) = nullptr;
  int (*readtype_MBR)(void* buffer, int wanted, int type) = nullptr;
  void (*close_MBR)() = nullptr;
  void (*reset_MBR)() = nullptr;
  int (*lastError_MBR)() = nullptr;
  int (*lastErrorStr_MBR)(char* buffer, int size) = nullptr;
  void (*setNoError_MBR)(int noError) = nullptr;
  int (*getNoError_MBR)() = nullptr;
  void (*setFreq_MBR)(int frequency) = nullptr;
  int (*getFreq_MBR)() = nullptr;
  void (*setVolumeRatio_MBR)(float ratio) = nullptr;
  float (*getVolumeRatio_MBR)() = nullptr;
  int (*getVersion_MBR)(char* buffer, int size) = nullptr;
  int (*getDatabaseInfo_MBR)(char* buffer, int size, int index) = nullptr;
  void (*setParser_MBR)(void* parser) = nullptr;
  void* (*init_Phone)(char* name, float durationMs) = nullptr;
  void (*reset_Phone)(void* phone) = nullptr;
  void (*close_Phone)(void* phone) = nullptr;
  void (*appendf0_Phone)(void* phone, float position, float pitch) = nullptr;
};

// The library name the front end loads: "mbrola.dll" (the name the configuration uses)
// stands for our own MBROLA-compatible library; see MbrolaLibraryPath.
inline constexpr std::string_view MbrolaLibraryName = "mbrola.dll";

// The file a library name loads. "mbrola.dll" (any case) or an empty name: our library
// libquelvar_mbrola.so beside the program, in <program>/../lib/quelvar, in the build tree,
// then in the installed library folder, the first that exists. A name in Windows form is
// translated; any other name is handed to the loader as it is.
std::string MbrolaLibraryPath(std::string_view name);

// Loads the library and resolves all 23 entry points; a missing one frees the library and
// fails the load. A library already loaded is freed first.
bool LoadMbrolaLibrary(std::string_view name = MbrolaLibraryName);
void UnloadMbrolaLibrary();
bool MbrolaLibraryLoaded();
// The resolved entry points; all empty while no library is loaded.
const MbrolaEntryPoints& Mbrola();

// --pho-log: every line handed to the library is also written to this file, UTF-8, one a
// line. False with the reason when the file cannot be created; a write that fails later is
// told once (platform::OutputFile). The log is the program's, as the speech log is: it is
// opened before any library is loaded and stays open across loads.
bool OpenPhoLog(const std::string& path, std::string* reason = nullptr);
void ClosePhoLog();
// Writes one line (Windows-1252, without its line end) to the log, when one is open.
void LogPhoLine(std::string_view line);

}  // namespace mbrola_front
