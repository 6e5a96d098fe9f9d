#include "binding_fixture.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "console/console.h"
#include "mbrola_front/mbrola_engine.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/backend.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "platform/services/registry.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/state.h"
#include "speech/wave.h"

namespace {

template <typename Function>
Function FakeControl(void* handle, const char* name) {
  auto* function = reinterpret_cast<Function>(::dlsym(handle, name));
  EXPECT_NE(function, nullptr) << name;
  return function;
}

}  // namespace

mbrola_front::MbrolaEngine& Front() {
  return static_cast<mbrola_front::MbrolaEngine&>(*speech::EngineOf(speech::EngineKind::Mbrola));
}

void BindingTest::SetUp() {
  root_ = MakeTestFolder("binding");
  ASSERT_FALSE(root_.empty());
  windows_ = root_ + "/windows";
  std::filesystem::create_directories(windows_);
  platform::SetWindowsDirectory(windows_);
  platform::SetDataRoot(QUELVAR_SOURCE_DATA);
  platform::SetMbrolaVoiceFolder(root_ + "/voices");
  StartHeadlessConsole();
  speech::ResetSpeech();
  speech::State().startFolder = root_;
  // Held open by the test as well, so that the record of calls outlives the binding's unload.
  fake_ = ::dlopen(FAKE_MBROLA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(fake_, nullptr) << ::dlerror();
  FakeControl<void (*)()>(fake_, "fake_Reset")();
}

void BindingTest::TearDown() {
  // What a test opened is closed, and what it set is put back as the program starts.
  FrontEndClose();
  FrontEndSetOutputFile("");
  FrontEndSetFactors(1.0, 1.0);
  speech::State().engineKind = speech::EngineKind::Sapi4;
  speech::State().keyStopsPlayback = false;
  speech::WaveStop();
  StopHeadlessConsole();
  platform::ClearNullWaveOutLog();
  platform::SetMbrolaVoiceFolder("");
  if (fake_ != nullptr) ::dlclose(fake_);
  std::filesystem::remove_all(root_);
}

void BindingTest::WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

void BindingTest::WriteIni(const std::string& content) { WriteFile(windows_ + "/TAMIRE.INI", content); }

bool BindingTest::Open(const std::string& library, const std::string& extra) {
  WriteIni("[ORLENTTS]\nMBROLA_LIB=" + library + "\n" + extra);
  const auto& where = LocateFrontEndFiles();
  return FrontEndOpen(where.database, where.files.rules, where.files.exceptions, where.files.abbreviations,
                      where.files.prosody, where.files.diphones);
}

std::string BindingTest::CopyOfFrontEndFiles(const std::string& without) {
  const std::string folder = root_ + "/front";
  std::filesystem::create_directories(folder);
  for (const char* extension : {".nrl", ".exc", ".abr", ".pro", ".dfn"}) {
    if (without == extension) continue;
    std::filesystem::copy_file(std::string(QUELVAR_SOURCE_DATA) + "/front/portug" + extension,
                               folder + "/portug" + extension, std::filesystem::copy_options::overwrite_existing);
  }
  return folder;
}

std::vector<std::string> BindingTest::Calls() const {
  std::vector<std::string> calls;
  std::istringstream text(FakeControl<const char* (*)()>(fake_, "fake_Calls")());
  for (std::string line; std::getline(text, line);) calls.push_back(line);
  return calls;
}

void BindingTest::ConfigureFake(int samplesPerUtterance, int chunkSamples) {
  FakeControl<void (*)(int, int)>(fake_, "fake_Configure")(samplesPerUtterance, chunkSamples);
}
void BindingTest::FailFakeInit(int mode) { FakeControl<void (*)(int)>(fake_, "fake_FailInit")(mode); }
void BindingTest::FailFakeLine(const std::string& start) {
  FakeControl<void (*)(const char*)>(fake_, "fake_FailLine")(start.c_str());
}
void BindingTest::FailFakeReads(int count) { FakeControl<void (*)(int)>(fake_, "fake_FailReads")(count); }

std::vector<std::vector<uint8_t>> BindingTest::Blocks() const {
  std::vector<std::vector<uint8_t>> blocks;
  for (const auto& block : platform::NullWaveOutLog().blocks) blocks.push_back(block.bytes);
  return blocks;
}

std::size_t BindingTest::BytesPlayed() const {
  std::size_t total = 0;
  for (const auto& block : platform::NullWaveOutLog().blocks) total += block.bytes.size();
  return total;
}

void BindingTest::PressKey(uint8_t character, int virtualKey) {
  platform::PostKeyEvent({virtualKey, 0, character}, true);
}
