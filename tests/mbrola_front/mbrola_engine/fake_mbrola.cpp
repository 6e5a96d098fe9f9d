// A stand-in MBROLA library for the binding's tests: it records every call, produces a
// chosen number of samples per utterance in chosen chunk sizes, and fails on request.
// Built a second time without init_Phone to check that a missing entry point fails.

#include <algorithm>
#include <string>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

struct Fake {
  std::string calls;  // one call a line: "name argument"
  int samplesPerUtterance = 0;
  int chunkSamples = 16000;
  int pending = 0;  // samples ready to be read
  int error = 0;
  int failInit = 0;         // 1: every open fails; 2: all but ".voice" files
  std::string failingLine;  // write_MBR of a line starting so reports an error
  int readFailures = 0;     // the next reads fail with an error pending
};
Fake fake;

void Record(const std::string& call) { fake.calls += call + "\n"; }

}  // namespace

// ---- controls for the tests ----
FAKE_API void fake_Reset() { fake = Fake{}; }
FAKE_API void fake_Configure(int samplesPerUtterance, int chunkSamples) {
  fake.samplesPerUtterance = samplesPerUtterance;
  fake.chunkSamples = chunkSamples;
}
FAKE_API void fake_FailInit(int mode) { fake.failInit = mode; }
FAKE_API void fake_FailLine(const char* start) { fake.failingLine = start; }
FAKE_API void fake_FailReads(int count) { fake.readFailures = count; }
FAKE_API const char* fake_Calls() { return fake.calls.c_str(); }

// ---- the library ----
FAKE_API int init_MBR(char* path) {
  const std::string name(path);
  Record("init_MBR " + name);
  const bool voiceFile = name.size() > 6 && name.compare(name.size() - 6, 6, ".voice") == 0;
  return fake.failInit == 1 || (fake.failInit == 2 && !voiceFile) ? -2 : 0;
}
FAKE_API int init_rename_MBR(char*, char*, char*) { return -1; }
FAKE_API int write_MBR(char* text) {
  std::string line(text);
  const bool crlf = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
  Record("write_MBR " + (crlf ? line.substr(0, line.size() - 2) + " <CRLF>" : line));
  if (!fake.failingLine.empty() && line.compare(0, fake.failingLine.size(), fake.failingLine) == 0) {
    fake.error = -5;
    return -5;
  }
  return static_cast<int>(line.size());
}
FAKE_API int flush_MBR() {
  Record("flush_MBR");
  fake.pending += fake.samplesPerUtterance;
  return 0;
}
FAKE_API int read_MBR(short* buffer, int wanted) {
  if (fake.readFailures > 0) {
    --fake.readFailures;
    fake.error = -1;
    Record("read_MBR failed");
    return -1;
  }
  const int n = std::min({fake.pending, wanted, fake.chunkSamples});
  for (int i = 0; i < n; ++i) buffer[i] = static_cast<short>(1000 + (fake.pending - i) % 7);
  fake.pending -= n;
  return n;
}
FAKE_API int readtype_MBR(void*, int, int) { return 0; }
FAKE_API void close_MBR() { Record("close_MBR"); }
FAKE_API void reset_MBR() {
  Record("reset_MBR");
  fake.error = 0;
  fake.pending = 0;
}
FAKE_API int lastError_MBR() { return fake.error; }
FAKE_API int lastErrorStr_MBR(char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  return 0;
}
FAKE_API void setNoError_MBR(int value) { Record("setNoError_MBR " + std::to_string(value)); }
FAKE_API int getNoError_MBR() { return 1; }
FAKE_API void setFreq_MBR(int) {}
FAKE_API int getFreq_MBR() { return 16000; }
FAKE_API void setVolumeRatio_MBR(float) {}
FAKE_API float getVolumeRatio_MBR() { return 1.0f; }
FAKE_API int getVersion_MBR(char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  return 0;
}
FAKE_API int getDatabaseInfo_MBR(char*, int, int) { return 0; }
FAKE_API void setParser_MBR(void*) {}
#ifndef FAKE_MBROLA_WITHOUT_INIT_PHONE
FAKE_API void* init_Phone(char*, float) { return nullptr; }
#endif
FAKE_API void reset_Phone(void*) {}
FAKE_API void close_Phone(void*) {}
FAKE_API void appendf0_Phone(void*, float, float) {}
