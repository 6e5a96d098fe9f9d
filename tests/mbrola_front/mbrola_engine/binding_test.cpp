// The MBROLA engine shell over a fake library: loading by name, opening and its failure
// texts, which database the library is given, the hand-over of samples in blocks, errors
// while speaking, the output file, and the registry the database registration reads.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/speech_wiring.h"
#include "binding_fixture.h"
#include "console/console.h"
#include "console/keyboard.h"
#include "mbrola_front/binding.h"
#include "mbrola_front/mbrola_engine.h"
#include "platform/audio/wave_out.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "platform/services/registry.h"
#include "speech/engine.h"
#include "speech/state.h"
#include "speech/wave.h"

namespace {

using namespace mbrola_front;

bool Contains(const std::vector<std::string>& calls, const std::string& call) {
  return std::find(calls.begin(), calls.end(), call) != calls.end();
}

std::size_t Count(const std::vector<std::string>& calls, const std::string& prefix) {
  return static_cast<std::size_t>(std::count_if(
      calls.begin(), calls.end(), [&](const std::string& c) { return c.compare(0, prefix.size(), prefix) == 0; }));
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

uint32_t Le32(const std::string& bytes, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

class BindingLoadTest : public BindingTest {
 protected:
  std::vector<std::string> CallsFrom(std::size_t first) const {
    std::vector<std::string> calls = Calls();
    calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(first));
    return calls;
  }
};

TEST_F(BindingLoadTest, AMissingEntryPointFailsTheLoadAndTheOpen) {
  EXPECT_TRUE(LoadMbrolaLibrary(FAKE_MBROLA_LIBRARY));
  EXPECT_NE(Mbrola().appendf0_Phone, nullptr);
  UnloadMbrolaLibrary();
  EXPECT_EQ(Mbrola().init_MBR, nullptr);

  EXPECT_FALSE(LoadMbrolaLibrary(FAKE_MBROLA_PARTIAL_LIBRARY));  // lacks init_Phone only
  EXPECT_FALSE(MbrolaLibraryLoaded());
  EXPECT_EQ(Mbrola().init_MBR, nullptr);
  EXPECT_FALSE(Open(FAKE_MBROLA_PARTIAL_LIBRARY));
  EXPECT_EQ(LastErrorText(), "");
  EXPECT_FALSE(Open(root_ + "/no-such-library.so"));
  EXPECT_EQ(LastErrorText(), "");
}

// The phoneme log is the program's: loading a library, unloading it or failing to load one
// leaves the log open; it ends only with its own close.
TEST_F(BindingLoadTest, ThePhonemeLogStaysOpenAcrossLoadsOfTheLibrary) {
  const std::string log = root_ + "/pho.txt";
  ASSERT_TRUE(OpenPhoLog(log));
  LogPhoLine("_ 50");
  EXPECT_TRUE(LoadMbrolaLibrary(FAKE_MBROLA_LIBRARY));
  UnloadMbrolaLibrary();
  EXPECT_FALSE(LoadMbrolaLibrary(FAKE_MBROLA_PARTIAL_LIBRARY));
  LogPhoLine("a\xE1 80");
  ClosePhoLog();
  LogPhoLine("o 60");
  EXPECT_EQ(ReadAll(log), "_ 50\na\xC3\xA1 80\n");
}

TEST_F(BindingLoadTest, TheConfiguredNameStandsForOurOwnLibrary) {
  for (const char* name : {"mbrola.dll", "MBROLA.DLL", ""}) {
    const std::string path = MbrolaLibraryPath(name);
    EXPECT_TRUE(path.ends_with("libquelvar_mbrola.so")) << path;
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
  }
  EXPECT_EQ(MbrolaLibraryPath("c:\\lorben\\lib\\m.so"), std::string(QUELVAR_SOURCE_DATA) + "/lib/m.so");
  EXPECT_EQ(MbrolaLibraryPath("libother.so"), "libother.so");
  EXPECT_TRUE(LoadMbrolaLibrary());
  EXPECT_TRUE(MbrolaLibraryLoaded());
}

TEST_F(BindingLoadTest, OpenRunsInItsOrderAndCloseReleasesEverything) {
  ASSERT_TRUE(OpenFake());
  EXPECT_EQ(LastErrorText(), "");
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "init_MBR " + std::string(QUELVAR_SOURCE_DATA) + "/mbrola/br4.voice");
  EXPECT_EQ(calls[1], "setNoError_MBR 1");
  // Opening again closes the voice first.
  ASSERT_TRUE(OpenFake());
  EXPECT_EQ(CallsFrom(2), (std::vector<std::string>{"close_MBR", calls[0], calls[1]}));
  FrontEndClose();
  EXPECT_EQ(Calls().back(), "close_MBR");
  EXPECT_FALSE(MbrolaLibraryLoaded());
  EXPECT_FALSE(FrontEndSpeak("ol\xE1"));  // nothing open
}

TEST_F(BindingLoadTest, TheDatabaseComesFromTheRegistryOurVoiceOrItsBareName) {
  // Registered where Linux keeps MBROLA voices.
  WriteFile(root_ + "/voices/br4/br4", "voice");
  ASSERT_TRUE(OpenFake());
  EXPECT_EQ(Calls()[0], "init_MBR " + root_ + "/voices/br4/br4");
  FrontEndClose();

  // A registered voice the loaded library cannot read: our own of that name instead.
  FailFakeInit(2);
  ASSERT_TRUE(OpenFake());
  auto calls = Calls();
  EXPECT_EQ(Count(calls, "init_MBR "), 3u);
  EXPECT_EQ(calls[calls.size() - 2], "init_MBR " + std::string(QUELVAR_SOURCE_DATA) + "/mbrola/br4.voice");
  FrontEndClose();

  // No registration and no voice of ours: the library gets the bare name.
  std::filesystem::remove_all(root_ + "/voices");
  FailFakeInit(0);
  const std::string front = CopyOfFrontEndFiles();
  platform::SetDataRoot(root_);
  ASSERT_TRUE(OpenFake("DIR=" + front + "\n"));
  EXPECT_EQ(Calls().back(), "setNoError_MBR 1");
  EXPECT_EQ(Calls()[Calls().size() - 2], "init_MBR br4");
}

TEST_F(BindingLoadTest, ADatabaseThatDoesNotOpenFailsWithoutText) {
  FailFakeInit(1);
  EXPECT_FALSE(OpenFake());
  EXPECT_EQ(LastErrorText(), "");
  EXPECT_FALSE(MbrolaLibraryLoaded());
  EXPECT_FALSE(Contains(Calls(), "setNoError_MBR 1"));
}

TEST_F(BindingLoadTest, EachMissingDataFileHasItsFailureText) {
  const std::pair<const char*, std::string> cases[] = {
      {".nrl", "Erro na base de dados de portugu\xEAs"},
      {".exc", "Erro na base de dados de portugu\xEAs"},
      {".abr", "Erro no arquivo de abreviaturas"},
      {".dfn",
       "Erro no arquivo de pros\xF3"
       "dia"},
  };
  for (const auto& [missing, text] : cases) {
    std::filesystem::remove_all(root_ + "/front");
    const std::string folder = CopyOfFrontEndFiles(missing);
    EXPECT_FALSE(OpenFake("DIR=" + folder + "\n")) << missing;
    EXPECT_EQ(LastErrorText(), text) << missing;
    EXPECT_FALSE(MbrolaLibraryLoaded()) << missing;
    EXPECT_EQ(Calls().back(), "close_MBR") << missing;
  }
  // A good open afterwards clears the text.
  std::filesystem::remove_all(root_ + "/front");
  EXPECT_TRUE(OpenFake("DIR=" + CopyOfFrontEndFiles() + "\n"));
  EXPECT_EQ(LastErrorText(), "");
}

TEST_F(BindingLoadTest, TheProsodyLoaderShowsItsMessageOnTheConsoleUntilEnter) {
  const std::string folder = CopyOfFrontEndFiles(".pro");
  PressKey('x', 'X');  // not Enter: the message stays
  PressKey(13, platform::VK_RETURN);
  EXPECT_FALSE(OpenFake("DIR=" + folder + "\n"));
  EXPECT_EQ(LastErrorText(),
            "Erro no arquivo de pros\xF3"
            "dia");
  EXPECT_NE(console::ScreenText().find("Configura\xC3\xA7\xC3\xA3o da pros\xC3\xB3"
                                       "dia n\xC3\xA3o foi achada"),
            std::string::npos)
      << console::ScreenText();
  EXPECT_FALSE(console::KeyAvailable());  // both keys were taken by the message
}

TEST_F(BindingLoadTest, AnOutputFileThatCannotBeCreatedFailsTheOpen) {
  FrontEndSetOutputFile(root_ + "/no/such/folder/x.wav");
  EXPECT_FALSE(OpenFake());
  EXPECT_EQ(LastErrorText(),
            "Arquivo de sa\xED"
            "da n\xE3o pode ser criado");
  EXPECT_FALSE(FrontEndFileMode());
  EXPECT_FALSE(MbrolaLibraryLoaded());
}

TEST_F(BindingLoadTest, BlankTextMakesNoCallAndSucceeds) {
  ConfigureFake(1000, 16000);
  ASSERT_TRUE(OpenFake());
  const std::size_t before = Calls().size();
  EXPECT_TRUE(FrontEndSpeak(""));
  EXPECT_TRUE(FrontEndSpeak(" \t\r\n  \x01"));
  EXPECT_EQ(Calls().size(), before);
  EXPECT_TRUE(Blocks().empty());
}

TEST_F(BindingLoadTest, EveryLineGoesOutWithItsLineEndAndTheLastIsFlushed) {
  ASSERT_TRUE(OpenFake());
  const std::size_t before = Calls().size();
  EXPECT_TRUE(FrontEndSpeak("Ol\xE1, mundo."));
  const std::vector<std::string> calls = CallsFrom(before);
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls.front(), "reset_MBR");
  EXPECT_EQ(calls.back(), "flush_MBR");
  EXPECT_TRUE(Contains(calls, "write_MBR ;Ol\xE1 <CRLF>"));
  EXPECT_TRUE(Contains(calls, "write_MBR ;mundo <CRLF>"));
  for (std::size_t i = 1; i + 1 < calls.size(); ++i) {
    EXPECT_TRUE(calls[i].starts_with("write_MBR ") && calls[i].ends_with(" <CRLF>")) << calls[i];
  }
  EXPECT_EQ(Count(calls, "flush_MBR"), 1u);
  EXPECT_TRUE(Blocks().empty());  // the fake made no samples
}

TEST_F(BindingLoadTest, ShortUtterancesArePaddedTo256Bytes) {
  ConfigureFake(50, 16000);  // 100 bytes
  ASSERT_TRUE(OpenFake());
  ASSERT_TRUE(FrontEndSpeak("a"));
  const auto& log = platform::NullWaveOutLog();
  ASSERT_EQ(log.blocks.size(), 1u);
  const auto& block = log.blocks[0].bytes;
  ASSERT_EQ(block.size(), 256u);
  EXPECT_NE(block[98] | block[99], 0);
  EXPECT_TRUE(std::all_of(block.begin() + 100, block.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(log.blocks[0].format.sampleRate, 16000u);
  EXPECT_EQ(log.blocks[0].format.bitsPerSample, 16);
  EXPECT_EQ(log.blocks[0].format.channels, 1);
}

TEST_F(BindingLoadTest, SamplesAreHandedOverInHalfSecondBlocksUncutAndAtTheirOwnRate) {
  speech::State().fastPlayback = true;
  speech::State().cutSpeech = true;
  ConfigureFake(20000, 3000);  // 40000 bytes in chunks of 6000
  ASSERT_TRUE(OpenFake());
  ASSERT_TRUE(FrontEndSpeak("a"));
  std::vector<std::size_t> sizes;
  for (const auto& block : Blocks()) sizes.push_back(block.size());
  // The first chunk goes at once; then blocks end where the next chunk would reach 16000.
  EXPECT_EQ(sizes, (std::vector<std::size_t>{6000, 12000, 12000, 10000}));
  for (const auto& block : platform::NullWaveOutLog().blocks) {
    EXPECT_EQ(block.format.sampleRate, 16000u);
    EXPECT_EQ(block.format.bitsPerSample, 16);
  }
  EXPECT_TRUE(speech::State().fastPlayback);
  EXPECT_TRUE(speech::State().cutSpeech);

  // A chunk as large as the read buffer makes a block of its own, twice the usual size.
  platform::ClearNullWaveOutLog();
  speech::WaveStop();
  ConfigureFake(40000, 16000);
  ASSERT_TRUE(FrontEndSpeak("a"));
  sizes.clear();
  for (const auto& block : Blocks()) sizes.push_back(block.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{32000, 32000, 16000}));
}

TEST_F(BindingLoadTest, AShortEndIsPaddedAsIfTheFirstBlockHadBeenHalfASecond) {
  // Ten chunks of 1580 bytes and one of 200: in half-second blocks the 200 bytes would end
  // the reply alone and be padded to 256. The first block goes early (4740 bytes), so the
  // end lands elsewhere, but it is padded the same.
  ConfigureFake(8000, 790);
  ASSERT_TRUE(OpenFake());
  ASSERT_TRUE(FrontEndSpeak("a"));
  std::vector<std::size_t> sizes;
  for (const auto& block : Blocks()) sizes.push_back(block.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{4740, 11316}));
  const auto blocks = Blocks();
  const auto& last = blocks.back();
  EXPECT_TRUE(std::all_of(last.end() - 56, last.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_NE(last[last.size() - 57] | last[last.size() - 58], 0);
}

TEST_F(BindingLoadTest, LibraryErrorsResetItAndTheRestIsStillSpoken) {
  ConfigureFake(100, 16000);
  ASSERT_TRUE(OpenFake());
  FailFakeLine(";mundo");
  const std::size_t before = Calls().size();
  EXPECT_FALSE(FrontEndSpeak("Ol\xE1, mundo, de novo."));
  const std::vector<std::string> calls = CallsFrom(before);
  const auto failed = std::find(calls.begin(), calls.end(), "write_MBR ;mundo <CRLF>");
  ASSERT_NE(failed, calls.end());
  ASSERT_NE(failed + 1, calls.end());
  EXPECT_EQ(*(failed + 1), "reset_MBR");
  EXPECT_NE(std::find(failed, calls.end(), "write_MBR ;novo <CRLF>"), calls.end());
  EXPECT_EQ(calls.back(), "flush_MBR");

  // A failing read: reset, false, and the next line goes on.
  FailFakeLine("");
  FailFakeReads(1);
  EXPECT_FALSE(FrontEndSpeak("sim"));
  EXPECT_TRUE(Contains(Calls(), "read_MBR failed"));
  EXPECT_TRUE(FrontEndSpeak("sim"));
}

TEST_F(BindingLoadTest, TheOutputFileReceivesEverySampleAndItsHeaderAtClose) {
  ConfigureFake(5000, 3000);
  const std::string path = root_ + "/fala.wav";
  FrontEndSetOutputFile(path);
  ASSERT_TRUE(OpenFake());
  EXPECT_TRUE(FrontEndFileMode());
  EXPECT_EQ(Le32(ReadAll(path), 40), 0u);
  ASSERT_TRUE(FrontEndSpeak("a"));
  ASSERT_TRUE(FrontEndSpeak("b"));
  EXPECT_TRUE(Blocks().empty());
  EXPECT_FALSE(FrontEndBusy());
  FrontEndClose();
  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 44u + 20000u);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(bytes, 4), 20000u + 36u);
  EXPECT_EQ(Le32(bytes, 24), 16000u);
  EXPECT_EQ(Le32(bytes, 28), 32000u);
  EXPECT_EQ(Le32(bytes, 40), 20000u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 44), MakeWaveHeader(20000));
  EXPECT_FALSE(FrontEndFileMode());
}

TEST_F(BindingLoadTest, TheDispatchOpensKindThreeWithItsFactorsAndWakesTheWindow) {
  WriteIni("[ORLENTTS]\nMBROLA_LIB=" FAKE_MBROLA_LIBRARY "\n");
  LocateFrontEndFiles();  // found once, before the first open
  ConfigureFake(4000, 16000);
  ASSERT_TRUE(speech::EngineOpen(7, 10, 11, speech::EngineKind::Mbrola, ""));
  EXPECT_DOUBLE_EQ(FrontEndPitchFactor(), 2.0);
  EXPECT_NEAR(FrontEndDurationFactor(), 0.8 - 10 / 15.0, 1e-12);
  platform::Message message;
  while (platform::PeekMessage(message)) {
  }
  speech::EngineSpeak("a");
  bool woken = false;
  while (platform::PeekMessage(message)) woken = woken || message.message == app::SpeechWakeMessage;
  EXPECT_TRUE(woken);
  EXPECT_EQ(BytesPlayed(), 8000u);
  speech::EngineClose();  // waits for the sound to end
  EXPECT_EQ(speech::WaveQueuedBlocks(), 0);
  EXPECT_EQ(Calls().back(), "close_MBR");
  EXPECT_FALSE(MbrolaLibraryLoaded());

  // A failed open still takes the factors.
  FailFakeInit(1);
  EXPECT_FALSE(speech::EngineOpen(0, 0, 0, speech::EngineKind::Mbrola, ""));
  EXPECT_DOUBLE_EQ(FrontEndPitchFactor(), 1.0);
  EXPECT_DOUBLE_EQ(FrontEndDurationFactor(), 0.8);
}

// ---- where the files are ----

TEST_F(BindingLoadTest, LocatingTakesTheSettingsThenTheDefaults) {
  WriteIni("");
  auto where = LocateFrontEndFiles();
  EXPECT_EQ(where.database, "br4");
  EXPECT_EQ(where.library, "mbrola.dll");
  EXPECT_EQ(where.files.rules, std::string(QUELVAR_SOURCE_DATA) + "/front/portug.nrl");
  EXPECT_EQ(where.files.diphones, std::string(QUELVAR_SOURCE_DATA) + "/front/portug.dfn");

  WriteIni("[ORLENTTS]\nMBROLA_DB=pt1\nDIR=c:\\lorben\\outra\nBASE=teste\n");
  where = LocateFrontEndFiles();
  EXPECT_EQ(where.database, "pt1");
  EXPECT_EQ(where.files.exceptions, std::string(QUELVAR_SOURCE_DATA) + "/outra/teste.exc");
  EXPECT_EQ(where.files.abbreviations, std::string(QUELVAR_SOURCE_DATA) + "/outra/teste.abr");
  EXPECT_EQ(where.files.prosody, std::string(QUELVAR_SOURCE_DATA) + "/outra/teste.pro");

  // The registered voice's folder only when the front end's files are beside it.
  WriteIni("");
  WriteFile(root_ + "/voices/br4/br4", "voice");
  EXPECT_EQ(LocateFrontEndFiles().files.rules, std::string(QUELVAR_SOURCE_DATA) + "/front/portug.nrl");
  WriteFile(root_ + "/voices/br4/portug.nrl", "");
  EXPECT_EQ(LocateFrontEndFiles().files.rules, root_ + "/voices/br4/portug.nrl");
}

TEST_F(BindingLoadTest, TheRegistryAnswersOnlyForInstalledMbrolaVoices) {
  using platform::ReadRegistryString;
  using platform::RegistryRoot;
  const std::string key = "SOFTWARE\\TCTS\\Mbrola\\databases\\";
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "br4\\"));
  WriteFile(root_ + "/voices/br4/br4", "voice");
  EXPECT_EQ(ReadRegistryString(RegistryRoot::LocalMachine, key + "br4\\"), root_ + "/voices/br4/br4");
  EXPECT_EQ(ReadRegistryString(RegistryRoot::LocalMachine, "software\\tcts\\MBROLA\\Databases\\BR4\\"),
            root_ + "/voices/br4/br4");
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::CurrentUser, key + "br4\\"));
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "br4\\Path"));  // a named value
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "br4"));        // the key itself as value
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, "no backslash"));
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "\\"));
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "..\\"));
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "br4\\br4\\"));
  std::filesystem::create_directories(root_ + "/voices/us1/us1");  // a folder, not a voice
  EXPECT_FALSE(ReadRegistryString(RegistryRoot::LocalMachine, key + "us1\\"));
}

}  // namespace
