#include "mbrola_front/binding.h"

#include <cctype>
#include <memory>
#include <vector>

#include "platform/services/files.h"
#include "platform/services/output_file.h"
#include "platform/services/process.h"
#include "text/cp1252.h"
#include "text/files.h"

namespace mbrola_front {
namespace {

// The library loaded (one at a time: MBROLA keeps its own state for the whole process), its
// entry points, and the phoneme log.
struct LoadedMbrola {
  std::unique_ptr<platform::LoadedLibrary> library;
  MbrolaEntryPoints entryPoints;
  platform::OutputFile phoLog;
};

LoadedMbrola gMbrola;

#ifdef _WIN32
constexpr const char* OwnLibraryFile = "quelvar_mbrola.dll";
#else
constexpr const char* OwnLibraryFile = "libquelvar_mbrola.so";
#endif

bool IsFile(const std::string& path) {
  const std::optional<text::FileStamp> stamp = text::StampOf(path);
  return stamp && stamp->regular;
}

std::string ProgramFolder() {
  const std::string path = platform::ProgramPath();
  const std::size_t slash = path.find_last_of(platform::PathSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsOwnLibraryName(std::string_view name) {
  if (name.empty()) return true;
  if (name.size() != MbrolaLibraryName.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != MbrolaLibraryName[i]) return false;
  }
  return true;
}

std::string OwnLibraryPath() {
  std::vector<std::string> candidates;
  if (const std::string folder = ProgramFolder(); !folder.empty()) {
    candidates.push_back(folder + "/" + OwnLibraryFile);
    candidates.push_back(folder + "/../lib/quelvar/" + OwnLibraryFile);
  }
#ifdef QUELVAR_MBROLA_LIBRARY_PATH
  candidates.emplace_back(QUELVAR_MBROLA_LIBRARY_PATH);
#endif
#ifdef QUELVAR_MBROLA_INSTALLED_LIBRARY_PATH
  candidates.emplace_back(QUELVAR_MBROLA_INSTALLED_LIBRARY_PATH);
#endif
  for (const std::string& candidate : candidates) {
    if (IsFile(candidate)) return candidate;
  }
  // Let the loader search its own path.
  return OwnLibraryFile;
}

template <typename Function>
bool Resolve(Function& slot, const char* name) {
  slot = reinterpret_cast<Function>(gMbrola.library ? gMbrola.library->Symbol(name) : nullptr);
  return slot != nullptr;
}

bool ResolveAll() {
  // In the order the library documents them; the first missing one ends the search.
  MbrolaEntryPoints& e = gMbrola.entryPoints;
  return Resolve(e.init_MBR, "init_MBR") && Resolve(e.init_rename_MBR, "init_rename_MBR") &&
         Resolve(e.write_MBR, "write_MBR") && Resolve(e.flush_MBR, "flush_MBR") && Resolve(e.read_MBR, "read_MBR") &&
         Resolve(e.readtype_MBR, "readtype_MBR") && Resolve(e.close_MBR, "close_MBR") &&
         Resolve(e.reset_MBR, "reset_MBR") && Resolve(e.lastError_MBR, "lastError_MBR") &&
         Resolve(e.lastErrorStr_MBR, "lastErrorStr_MBR") && Resolve(e.setNoError_MBR, "setNoError_MBR") &&
         Resolve(e.getNoError_MBR, "getNoError_MBR") && Resolve(e.setFreq_MBR, "setFreq_MBR") &&
         Resolve(e.getFreq_MBR, "getFreq_MBR") && Resolve(e.setVolumeRatio_MBR, "setVolumeRatio_MBR") &&
         Resolve(e.getVolumeRatio_MBR, "getVolumeRatio_MBR") && Resolve(e.getVersion_MBR, "getVersion_MBR") &&
         Resolve(e.getDatabaseInfo_MBR, "getDatabaseInfo_MBR") && Resolve(e.setParser_MBR, "setParser_MBR") &&
         Resolve(e.init_Phone, "init_Phone") && Resolve(e.reset_Phone, "reset_Phone") &&
         Resolve(e.close_Phone, "close_Phone") && Resolve(e.appendf0_Phone, "appendf0_Phone");
}

}  // namespace

std::string MbrolaLibraryPath(std::string_view name) {
  if (IsOwnLibraryName(name)) return OwnLibraryPath();
  return platform::TranslateWindowsPath(name);
}

bool LoadMbrolaLibrary(std::string_view name) {
  UnloadMbrolaLibrary();
  const std::string path = MbrolaLibraryPath(name);
  gMbrola.library = std::make_unique<platform::LoadedLibrary>(path);
  if (!gMbrola.library->IsLoaded()) {
    gMbrola.library.reset();
    return false;
  }
  if (!ResolveAll()) {
    UnloadMbrolaLibrary();
    return false;
  }
  return true;
}

void UnloadMbrolaLibrary() {
  gMbrola.entryPoints = {};
  gMbrola.library.reset();
}

bool MbrolaLibraryLoaded() { return gMbrola.library != nullptr; }

const MbrolaEntryPoints& Mbrola() { return gMbrola.entryPoints; }

bool OpenPhoLog(const std::string& path, std::string* reason) {
  return gMbrola.phoLog.Create(path, "the phoneme log", reason);
}

void ClosePhoLog() { gMbrola.phoLog.Close(); }

void LogPhoLine(std::string_view line) {
  if (gMbrola.phoLog.Good()) gMbrola.phoLog.Write(text::Cp1252ToUtf8(line) + "\n");
}

}  // namespace mbrola_front
