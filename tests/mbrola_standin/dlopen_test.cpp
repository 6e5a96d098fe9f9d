// The library loaded by path at run time, as the front end loads it: every entry point is exported.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "mbrola_standin/mbrola.h"

namespace {

TEST(MbrolaExports, AllEntryPointsResolveAndSpeak) {
  void* library = dlopen(QUELVAR_MBROLA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const char* const EntryPointNames[] = {
      "init_MBR",           "init_rename_MBR", "write_MBR",           "flush_MBR",     "read_MBR",
      "readtype_MBR",       "close_MBR",       "reset_MBR",           "lastError_MBR", "lastErrorStr_MBR",
      "setNoError_MBR",     "getNoError_MBR",  "setFreq_MBR",         "getFreq_MBR",   "setVolumeRatio_MBR",
      "getVolumeRatio_MBR", "getVersion_MBR",  "getDatabaseInfo_MBR", "setParser_MBR", "init_Phone",
      "reset_Phone",        "close_Phone",     "appendf0_Phone"};
  for (const char* name : EntryPointNames) EXPECT_NE(dlsym(library, name), nullptr) << name;

  const auto init = reinterpret_cast<decltype(&init_MBR)>(dlsym(library, "init_MBR"));
  const auto setNoError = reinterpret_cast<decltype(&setNoError_MBR)>(dlsym(library, "setNoError_MBR"));
  const auto reset = reinterpret_cast<decltype(&reset_MBR)>(dlsym(library, "reset_MBR"));
  const auto write = reinterpret_cast<decltype(&write_MBR)>(dlsym(library, "write_MBR"));
  const auto lastError = reinterpret_cast<decltype(&lastError_MBR)>(dlsym(library, "lastError_MBR"));
  const auto flush = reinterpret_cast<decltype(&flush_MBR)>(dlsym(library, "flush_MBR"));
  const auto read = reinterpret_cast<decltype(&read_MBR)>(dlsym(library, "read_MBR"));
  const auto close = reinterpret_cast<decltype(&close_MBR)>(dlsym(library, "close_MBR"));
  ASSERT_EQ(init(QUELVAR_MBROLA_VOICE_PATH), 0);
  setNoError(1);
  reset();
  for (const char* line : {";Olá\r\n", "_ 100\r\n", "o 80 50 200\r\n", "l 60\r\n", "a 150 50 220\r\n", "_ 100\r\n"}) {
    write(line);
    EXPECT_EQ(lastError(), 0);
  }
  flush();
  static short buffer[16000];
  int total = 0, n = 0;
  while ((n = read(buffer, 16000)) > 0) total += n;
  EXPECT_EQ(total, 490 * 16);
  close();
  EXPECT_EQ(dlclose(library), 0);
}

}  // namespace
