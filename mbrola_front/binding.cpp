#include "mbrola_front/binding.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#include <vector>

#include "platform/files.h"

namespace mbrola_front {
namespace {

// A loaded shared library, closed when dropped.
struct LibraryCloser {
  void operator()(void* handle) const { ::dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

LibraryHandle gLibrary;
MbrolaEntryPoints gEntryPoints;

constexpr const char* OwnLibraryFile = "libquelvar_mbrola.so";

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return {};
  const std::string path(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = path.rfind('/');
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
  slot = reinterpret_cast<Function>(::dlsym(gLibrary.get(), name));
  return slot != nullptr;
}

bool ResolveAll() {
  // In the order the library documents them; the first missing one ends the search.
  MbrolaEntryPoints& e = gEntryPoints;
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
  gLibrary.reset(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!gLibrary) return false;
  if (!ResolveAll()) {
    UnloadMbrolaLibrary();
    return false;
  }
  return true;
}

void UnloadMbrolaLibrary() {
  gEntryPoints = {};
  gLibrary.reset();
}

bool MbrolaLibraryLoaded() { return gLibrary != nullptr; }

const MbrolaEntryPoints& Mbrola() { return gEntryPoints; }

}  // namespace mbrola_front
