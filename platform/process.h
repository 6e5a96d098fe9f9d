#pragma once
// The running program: where its executable is, and the shared libraries it loads.

#include <memory>
#include <string>

namespace platform {

// The full path of the running executable (UTF-8); empty when the system does not say.
std::string ProgramPath();

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
