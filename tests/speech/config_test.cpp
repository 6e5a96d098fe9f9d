// Speech configuration: where TAMIRE.INI is read, "@" expansion, rates, the synthesizer and
// engine keys, loading the built-in data and start-up failures.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/services/files.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/engine.h"
#include "speech/settings.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "speech_fixture.h"
#include "text/files.h"

namespace {

class ConfigTest : public SpeechTest {
 protected:
  // A complete installation in the given diphone folder, with the database for a rate.
  void Install(const std::string& folder, const std::string& name) {
    std::filesystem::create_directories(folder);
    diphoneDir_ = folder;
    WriteDatabase(name, {{"$A", std::vector<uint8_t>(100, 20)}});
    WriteFile(folder + "/regras.rgr", "(A)=a\n");
    WriteFile(folder + "/portug.exc", "zzz=zz\n");
  }
};

TEST_F(ConfigTest, WindowsDirectoryCopyWinsAndFolderKeysComeOnlyFromIt) {
  WriteIni("[TAMIRE]\nX=windows\n");
  WriteStartFolderIni("[TAMIRE]\nX=start\n[TRADUTOR]\nDIRLETRAS=/nowhere\n[SINTETIZADOR]\nDIFONES3=FIX\n");
  EXPECT_EQ(speech::ReadSuiteSetting("", "X"), "windows");
  std::filesystem::remove(configDir_ + "/TAMIRE.INI");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "X"), "start");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "Y"), "");

  // The folders take their defaults, which live under the data root.
  Install(root_ + "/data/som/difones", "FIX");
  std::filesystem::create_directories(root_ + "/data/som/letras");
  speech::StartSpeech(0, "sons");
  EXPECT_EQ(speech::State().lettersFolder, "c:\\lorben\\som\\letras\\");
  EXPECT_EQ(speech::State().soundFolder, "sons\\");
  EXPECT_TRUE(speech::DiphoneDatabaseOpen());
  speech::EndSpeech();
  EXPECT_FALSE(speech::DiphoneDatabaseOpen());
}

TEST_F(ConfigTest, AtSignExpandsToTheSuiteFolder) {
  EXPECT_EQ(speech::ExpandSuiteFolder("@", "/suite"), "/suite");
  EXPECT_EQ(speech::ExpandSuiteFolder("x@\\y", "/suite"), "x/suite\\y");
  EXPECT_EQ(speech::ExpandSuiteFolder("a@b", "/suite"), "a@b");
  EXPECT_EQ(speech::ExpandSuiteFolder("@\\a@\\b", "/s"), "/s\\a/s\\b");
  EXPECT_EQ(speech::ExpandSuiteFolder("@\\x", "/p@\\q"), "/p@\\q\\x");  // inserted text stays

  WriteIni("[TAMIRE]\nPGMTAMIRE=/suite\nSOM=@\\som\\\nMAIL=eu@mar\n");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "SOM"), "/suite\\som\\");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "MAIL"), "eu@mar");
  WriteIni("[TAMIRE]\nPGMTAMIRE=@\\loop\nSOM=@\n");
  EXPECT_EQ(speech::ReadSuiteSetting("TAMIRE", "SOM"), startDir_);
}

TEST_F(ConfigTest, RateChoiceAndPerRateSynthesizerKeys) {
  EXPECT_EQ(speech::SpeechRateFor(7), 3);
  EXPECT_EQ(speech::SpeechRateFor(5), 5);
  EXPECT_EQ(speech::SpeechRateFor(0), 3);  // no configuration at all
  WriteIni("[TRADUTOR]\nVELOCIDADE=2\n");
  EXPECT_EQ(speech::SpeechRateFor(0), 2);
  EXPECT_EQ(speech::SpeechRateFor(-4), 2);
  WriteIni("[TRADUTOR]\nVELOCIDADE=2x\n");
  EXPECT_EQ(speech::SpeechRateFor(0), 3);

  WriteIni(
      "[SINTETIZADOR]\nDIFONES2=LONGNAME99\nCORTEFON2=abc\nSOBRAFON2=77\nINTERPAL2=-5\n"
      "RAPIDINHO2=Sim\nCORTAFALA2=N\nPAUSAVIRG2=90\nPAUSAPONTO3=1\n");
  speech::ApplySynthesizerSettings(2);
  const auto& diphone = speech::CurrentDiphoneSettings();
  EXPECT_EQ(diphone.databaseName, "LONGNAME");
  EXPECT_EQ(diphone.unitCutSamples, 0);
  EXPECT_EQ(diphone.unitMinimumSamples, 77);
  EXPECT_EQ(diphone.tokenGapSamples, 0);  // a negative silence is none
  EXPECT_TRUE(speech::State().fastPlayback);
  EXPECT_FALSE(speech::State().cutSpeech);
  EXPECT_EQ(speech::State().pauseAfterComma, 90);
  EXPECT_EQ(speech::State().pauseAfterPeriod, 250);
  EXPECT_EQ(speech::State().pauseAfterColon, 200);

  WriteIni(FixtureIni() + "DIFONES2=FIX\n[TRADUTOR]\nVELOCIDADE=2\n");
  Install(diphoneDir_, "FIX");
  speech::StartSpeech(0, "");
  EXPECT_EQ(speech::CurrentSpeechRate(), 2);
}

TEST_F(ConfigTest, SapiYesNoValues) {
  for (const char* off : {"Nao", "n", ""}) {
    WriteIni(std::string("[TRADUTOR]\nSAPI=") + off + "\n");
    EXPECT_FALSE(speech::ReadEngineSettings().wanted) << off;
  }
  for (const char* on : {"S", "1", "Sim"}) {
    WriteIni(std::string("[TRADUTOR]\nSAPI=") + on + "\n");
    EXPECT_TRUE(speech::ReadEngineSettings().wanted) << on;
  }
}

int gOpenedRate = -1;
bool gEngineWorks = true;
int gCloses = 0;

TEST_F(ConfigTest, EngineRateAboveTenIsKeptOnlyForKindFour) {
  // An engine that takes note of its rate and its closes.
  struct NotingEngine final : speech::Engine {
    bool Open(int, int rate, int, const std::string&) override {
      gOpenedRate = rate;
      return gEngineWorks;
    }
    void Close() override { ++gCloses; }
    void Speak(std::string_view) override {}
    bool Busy(int) override { return false; }
    void Stop() override {}
  };
  speech::SetEngine(speech::EngineKind::Sapi4, std::make_unique<NotingEngine>());
  speech::SetEngine(speech::EngineKind::Sapi5, std::make_unique<NotingEngine>());
  Install(diphoneDir_, "FIX");

  WriteIni(FixtureIni("[TRADUTOR]\nSAPI=Sim\n[SERVFALA]\nVELOCIDADE=15\nTIPOSAPI=4\n"));
  speech::StartSpeech(0, "");
  EXPECT_EQ(gOpenedRate, 15);
  EXPECT_TRUE(speech::State().engineActive);
  EXPECT_EQ(speech::State().engineType, speech::EngineKind::Sapi4);
  speech::EndSpeech();
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_EQ(gCloses, 1);

  WriteIni(FixtureIni("[TRADUTOR]\nSAPI=Sim\n[SERVFALA]\nVELOCIDADE=15\nTIPOSAPI=5\n"));
  speech::StartSpeech(0, "");
  EXPECT_EQ(gOpenedRate, 0);
  EXPECT_EQ(speech::State().engineType, speech::EngineKind::Sapi5);
  speech::EndSpeech();

  // TIPOSAPI 0 is the SAPI 4 engine too, but only 4 itself keeps the rate.
  WriteIni(FixtureIni("[TRADUTOR]\nSAPI=Sim\n[SERVFALA]\nVELOCIDADE=15\nTIPOSAPI=0\n"));
  speech::StartSpeech(0, "");
  EXPECT_EQ(gOpenedRate, 0);
  EXPECT_EQ(speech::State().engineType, speech::EngineKind::Sapi4);
  speech::EndSpeech();

  gEngineWorks = false;  // a failed open leaves built-in speech, silently
  speech::StartSpeech(0, "");
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_TRUE(speech::DiphoneDatabaseOpen());
}

TEST_F(ConfigTest, LoadSpeechDataCodes) {
  WriteIni(FixtureIni());
  speech::SetDiphoneSettings({"FIX", 0, 0, 0});
  EXPECT_EQ(speech::LoadSpeechData(), 1);
  Install(diphoneDir_, "FIX");
  EXPECT_EQ(speech::LoadSpeechData(), 0);
  speech::FreeSpeechData();
  speech::FreeSpeechData();
  std::filesystem::remove(diphoneDir_ + "/portug.exc");
  EXPECT_EQ(speech::LoadSpeechData(), 2);
  EXPECT_EQ(speech::SpeechDataFailure().place, diphoneDir_ + "/portug.exc");
  EXPECT_EQ(speech::SpeechDataFailure().reason, "does not exist");
  speech::FreeSpeechData();
  std::filesystem::remove_all(lettersDir_);
  EXPECT_EQ(speech::LoadSpeechData(), 1);
}

// The rule file too large to read is named as itself, not as the exceptions after it.
TEST_F(ConfigTest, ATranslatorFileOverTheLimitIsNamedWithItsReason) {
  WriteIni(FixtureIni());
  speech::SetDiphoneSettings({"FIX", 0, 0, 0});
  Install(diphoneDir_, "FIX");
  std::filesystem::resize_file(diphoneDir_ + "/regras.rgr", text::DataFileLimit + 1);
  EXPECT_EQ(speech::LoadSpeechData(), 2);
  EXPECT_EQ(speech::SpeechDataFailure().place, diphoneDir_ + "/regras.rgr");
  EXPECT_EQ(speech::SpeechDataFailure().reason, "is larger than 64 MiB");
  speech::FreeSpeechData();
}

TEST_F(ConfigTest, BuiltInTranslatorComesFromTheDiphoneFolderAndGoesWithTheData) {
  WriteIni(FixtureIni());
  speech::SetDiphoneSettings({"FIX", 0, 0, 0});
  Install(diphoneDir_, "FIX");
  WriteFile(diphoneDir_ + "/regras.rgr", "(A)=a\n(B)=b\n");
  WriteFile(diphoneDir_ + "/portug.exc", "ab=ba\n");
  ASSERT_EQ(speech::LoadSpeechData(), 0);
  EXPECT_EQ(translator::TranslateText(speech::BuiltInTranslator(), "ab"), "[b/a]");
  speech::FreeSpeechData();
  EXPECT_TRUE(speech::BuiltInTranslator().buckets['A' - 32].empty());
}

TEST_F(ConfigTest, StartFailureWritesTheCodeAndDatabaseWaitsForEnterAndEnds) {
  WriteIni("[TRADUTOR]\nDIRLETRAS=" + lettersDir_ + "\nDIRDIFONES=" + diphoneDir_ +
           "\n[SINTETIZADOR]\nDIFONES3=NADA\n");
  ScriptKeys("ok\n");
  try {
    speech::StartSpeech(0, "");
    ADD_FAILURE() << "the program went on";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.code, 1) << "a failed start is not reported as success";
  }
  const std::string screen = host_.Written();
  EXPECT_EQ(screen.substr(0, 53), "Erro de inicializa\xE7\xE3o: 1\nBanco de dados de voz: NADA\n");
  EXPECT_FALSE(speech::DiphoneDatabaseOpen());
}

TEST_F(ConfigTest, MissingTranslatorFilesEndWithCodeTwo) {
  Install(diphoneDir_, "FIX");
  std::filesystem::remove(diphoneDir_ + "/regras.rgr");
  WriteIni(FixtureIni());
  ScriptKeys("\n");
  EXPECT_THROW(speech::StartSpeech(3, ""), ProgramExit);
  EXPECT_EQ(host_.Written().substr(0, 25), "Erro de inicializa\xE7\xE3o: 2\n");
}

}  // namespace
