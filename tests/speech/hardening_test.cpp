// Bad input to the speech services: every value of every numeric setting, files that are
// folders or FIFOs where data files belong, pauses a key must end, and a configuration
// that changes on disk.

#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/engine.h"
#include "speech/settings.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "speech_fixture.h"
#include "text/files.h"

namespace {

const std::vector<std::string> Extremes = {"-2147483648", "-2147483647", "-1",           "0",          "1",
                                           "2147483647",  "2147483648",  "-99999999999", "99999999999"};

class HardeningTest : public SpeechTest {
 protected:
  void SetUp() override {
    SpeechTest::SetUp();
    WriteDatabase("FIX", {{"$A", std::vector<uint8_t>(300, 20)}, {"AB", std::vector<uint8_t>(300, 40)}});
    WriteFile(diphoneDir_ + "/regras.rgr", "(A)=a\n(B)=b\n");
    WriteFile(diphoneDir_ + "/portug.exc", "zzz=zz\n");
    WriteIni(FixtureIni());
  }
  void TearDown() override {
    speech::EndSpeech();
    SpeechTest::TearDown();
  }
};

// Each synthesizer key at the ends of the 32-bit range and beyond: start-up keeps every
// value in its range, and speaking with it (units cut, silences, pauses) is clean.
TEST_F(HardeningTest, EverySynthesizerKeyAtEveryExtremeStaysInRange) {
  for (const char* key : {"CORTEFON3", "SOBRAFON3", "INTERPAL3", "PAUSAPONTO3", "PAUSAVIRG3", "PAUSADOISPONTOS3"}) {
    for (const std::string& value : Extremes) {
      SCOPED_TRACE(std::string(key) + "=" + value);
      WriteIni(FixtureIni(std::string(key) + "=" + value + "\n"));
      platform::ForgetProfileFiles();
      speech::StartSpeech(0, "");
      const auto& diphone = speech::CurrentDiphoneSettings();
      EXPECT_GE(diphone.unitCutSamples, 0);
      EXPECT_LE(diphone.unitCutSamples, 65535);
      EXPECT_GE(diphone.unitMinimumSamples, 0);
      EXPECT_LE(diphone.unitMinimumSamples, 65535);
      EXPECT_GE(diphone.tokenGapSamples, 0);
      EXPECT_LE(diphone.tokenGapSamples, 22050);
      for (const int pause :
           {speech::State().pauseAfterPeriod, speech::State().pauseAfterComma, speech::State().pauseAfterColon}) {
        EXPECT_GE(pause, 0);
        EXPECT_LE(pause, 10000);
      }
      const uint64_t start = platform::NowMs();
      speech::SpeakText("ab, ab. ab: ab ba");
      speech::WaitUntilSilent();
      EXPECT_LT(platform::NowMs() - start, 60000u);
      speech::EndSpeech();
    }
  }
}

TEST_F(HardeningTest, EngineKeysAtEveryExtremeStayInRangeForEachKind) {
  for (const char* kind : {"3", "4", "5", "54", "-2147483648", "2147483647"}) {
    for (const char* key : {"VOZ", "VELOCIDADE", "TOM"}) {
      for (const std::string& value : Extremes) {
        SCOPED_TRACE(std::string(key) + "=" + value + " TIPOSAPI=" + kind);
        WriteIni(FixtureIni(std::string("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=") + kind + "\n" + key + "=" + value +
                            "\n"));
        const speech::EngineSettings engine = speech::ReadEngineSettings();
        EXPECT_GE(engine.voice, 0);
        EXPECT_LE(engine.voice, 9999);
        EXPECT_GE(engine.rate, -65535);
        EXPECT_LE(engine.rate, 65535);
        EXPECT_GE(engine.pitch, -65535);
        EXPECT_LE(engine.pitch, 65535);
        if (engine.kind == speech::EngineKind::Mbrola) {
          // The front end's factors stay positive.
          EXPECT_GT(speech::MbrolaDurationFactor(engine.rate), 0.0);
          EXPECT_GT(speech::MbrolaPitchFactor(engine.pitch), 0.0);
          EXPECT_LE(speech::MbrolaPitchFactor(engine.pitch), 4.0);
        } else if (engine.kind == speech::EngineKind::Sapi5 || engine.kind == speech::EngineKind::Sapi5LateBound) {
          EXPECT_GE(engine.rate, -10);
          EXPECT_LE(engine.rate, 10);
        } else {
          EXPECT_GE(engine.rate, 0);  // words per minute and Hz, as the engine takes them
          EXPECT_GE(engine.pitch, 0);
        }
      }
    }
  }
  for (const std::string& value : Extremes) {
    WriteIni("[TRADUTOR]\nVELOCIDADE=" + value + "\n");
    const int rate = speech::SpeechRateFor(0);
    EXPECT_TRUE(rate >= 1 && rate <= 5) << value;
  }
}

TEST_F(HardeningTest, AKeyEndsAPauseLoopNotOnlyItsSleeps) {
  speech::StartSpeech(0, "");
  speech::State().punctuationNames = false;
  // As long a pause as the variable holds: only ending the loop lets this return.
  speech::State().pauseAfterPeriod = INT_MAX;
  ScriptKeys("<Wait:120>x<NoEnter>");
  const uint64_t start = platform::NowMs();
  speech::SpeakText("ab. ab");
  EXPECT_LT(platform::NowMs() - start, 1000u);
  EXPECT_TRUE(host_.KeyAvailable());
}

TEST_F(HardeningTest, AKeyEndsDiallingCommasPausesAndAll) {
  speech::StartSpeech(0, "");
  ScriptKeys("<Wait:120>x<NoEnter>");
  const uint64_t dialled = platform::NowMs();
  speech::PlayDialTones(std::string(200, ','));
  EXPECT_LT(platform::NowMs() - dialled, 2000u);
}

// A folder or FIFO where a data file belongs is a missing file: start-up fails with its
// code instead of blocking or throwing.
TEST_F(HardeningTest, FoldersAndFifosAsDataFilesAreMissingFiles) {
  WriteIni(FixtureIni());
  EXPECT_EQ(speech::LoadSpeechData(), 0);
  speech::FreeSpeechData();

  std::filesystem::remove(diphoneDir_ + "/regras.rgr");
  std::filesystem::create_directory(diphoneDir_ + "/regras.rgr");
  EXPECT_EQ(speech::LoadSpeechData(), 2);
  speech::FreeSpeechData();
  std::filesystem::remove(diphoneDir_ + "/regras.rgr");
  ASSERT_EQ(::mkfifo((diphoneDir_ + "/regras.rgr").c_str(), 0600), 0);
  EXPECT_EQ(speech::LoadSpeechData(), 2);
  speech::FreeSpeechData();
  std::filesystem::remove(diphoneDir_ + "/regras.rgr");
  WriteFile(diphoneDir_ + "/regras.rgr", "(A)=a\n");

  std::filesystem::remove(diphoneDir_ + "/portug.exc");
  std::filesystem::create_directory(diphoneDir_ + "/portug.exc");
  EXPECT_EQ(speech::LoadSpeechData(), 2);
  speech::FreeSpeechData();
  std::filesystem::remove(diphoneDir_ + "/portug.exc");
  WriteFile(diphoneDir_ + "/portug.exc", "zzz=zz\n");

  for (const char* name : {"/FIX.IND", "/FIX.DIF"}) {
    SCOPED_TRACE(name);
    const std::string path = diphoneDir_ + name;
    const std::string saved = *text::ReadWholeFile(path);
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(speech::LoadSpeechData(), 1);
    speech::FreeSpeechData();
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(speech::LoadSpeechData(), 1);
    speech::FreeSpeechData();
    std::filesystem::remove(path);
    WriteFile(path, saved);
  }

  // A recorded sound that is a FIFO is a missing sound.
  std::filesystem::remove(lettersDir_ + "/_65.wav");
  ASSERT_EQ(::mkfifo((lettersDir_ + "/_65.wav").c_str(), 0600), 0);
  speech::PlayCharSound('A');
  speech::WaitUntilSilent();

  // TAMIRE.INI itself: a folder or a FIFO reads as no file at all.
  std::filesystem::remove(configDir_ + "/TAMIRE.INI");
  std::filesystem::create_directory(configDir_ + "/TAMIRE.INI");
  EXPECT_EQ(speech::ReadWindowsDirectorySetting("TRADUTOR", "DIRDIFONES", "dflt"), "dflt");
  std::filesystem::remove(configDir_ + "/TAMIRE.INI");
  ASSERT_EQ(::mkfifo((configDir_ + "/TAMIRE.INI").c_str(), 0600), 0);
  EXPECT_EQ(speech::ReadWindowsDirectorySetting("TRADUTOR", "DIRDIFONES", "dflt"), "dflt");
  std::filesystem::remove(configDir_ + "/TAMIRE.INI");
}

TEST_F(HardeningTest, WholeFileReaderRefusesWhatIsNotARegularFileWithinTheLimit) {
  text::FileRefusal why = text::FileRefusal::None;
  EXPECT_FALSE(text::ReadWholeFile(root_, text::DataFileLimit, &why));
  EXPECT_EQ(why, text::FileRefusal::Folder);
  EXPECT_FALSE(text::ReadWholeFile("/dev/zero", text::DataFileLimit, &why));
  EXPECT_EQ(why, text::FileRefusal::NotRegular);
  EXPECT_FALSE(text::ReadWholeFile(root_ + "/nothing", text::DataFileLimit, &why));
  EXPECT_EQ(why, text::FileRefusal::Missing);

  WriteFile(root_ + "/ten", "0123456789");
  EXPECT_EQ(text::ReadWholeFile(root_ + "/ten", 10).value_or("?"), "0123456789");
  EXPECT_FALSE(text::ReadWholeFile(root_ + "/ten", 9, &why));
  EXPECT_EQ(why, text::FileRefusal::TooLarge);
  WriteFile(root_ + "/empty", "");
  EXPECT_EQ(text::ReadWholeFile(root_ + "/empty").value_or("?"), "");

  std::FILE* stream = text::OpenDataFile(root_ + "/ten");
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_EQ(text::OpenDataFile(root_), nullptr);
  EXPECT_FALSE(text::OpenRegularFile("/dev/null").IsOpen());
}

// Changed on disk, the configuration is read again, even when its size stays the same.
TEST_F(HardeningTest, ConfigurationIsReadAgainWhenItChanges) {
  const std::string path = configDir_ + "/TAMIRE.INI";
  const auto writeAt = [&](const std::string& content, time_t seconds) {
    WriteFile(path, content);
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  writeAt("[TAMIRE]\nX=1\n", 1000000000);
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "X"), "1");
  EXPECT_EQ(speech::ReadSuiteSetting("tamire", "x"), "1");
  writeAt("[TAMIRE]\nX=2\n", 1000000100);
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "X"), "2");
  // Written again at once, the same size: the change comes through all the same.
  WriteFile(path, "[TAMIRE]\nX=3\n");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "X"), "3");
  WriteFile(path, "[TAMIRE]\nX=4\n");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "X"), "4");
  std::filesystem::remove(path);
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "X"), "");
}

}  // namespace
