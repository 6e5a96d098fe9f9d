// The SAPI 4 adapter against fake engine objects: the open's steps and failures, what is
// sent for a text, the sinks' counters, stopping and closing.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "console/keyboard.h"
#include "platform/core/win.h"
#include "sapi_fixture.h"
#include "speech/sapi/sapi4.h"
#include "speech/state.h"
#include "speech/wave.h"

namespace {

using namespace speech::sapi;

std::vector<std::string> gLog;

struct FakeWorld {
  int modes = 3;
  bool failSelect = false;
  bool failTextData = false;
  bool createEnumerator = true;
  HResult fileSetResult = HrOk;
  std::string directoryDuringSelect;  // Select changes the current directory to it
  std::vector<std::string> texts;     // every TextData's text, terminator included
  std::shared_ptr<ITTSNotifySink> notifySink;
  std::shared_ptr<ITTSBufNotifySink> bufSink;
};
FakeWorld gWorld;

Guid ModeId(int number) { return Guid{static_cast<uint32_t>(number), 1, 2, {}}; }

struct FakeAttributes : ITTSAttributes {
  HResult SpeedSet(uint32_t wpm) override {
    gLog.push_back("SpeedSet " + std::to_string(wpm));
    return HrOk;
  }
  HResult PitchSet(uint16_t hz) override {
    gLog.push_back("PitchSet " + std::to_string(hz));
    return HrOk;
  }
};

struct FakeCentral : ITTSCentral {
  ~FakeCentral() override { gLog.push_back("engine released"); }
  HResult Register(std::shared_ptr<ITTSNotifySink> sink, const Guid& iid, uint32_t& key) override {
    EXPECT_EQ(iid, IidTtsNotifySink);
    gWorld.notifySink = sink;
    key = 42;
    gLog.push_back("Register");
    return HrOk;
  }
  HResult UnRegister(uint32_t key) override {
    gLog.push_back("UnRegister " + std::to_string(key));
    gWorld.notifySink.reset();
    return HrOk;
  }
  HResult TextData(CharacterSet, uint32_t, std::string_view text, std::shared_ptr<ITTSBufNotifySink> sink,
                   const Guid& iid) override {
    EXPECT_EQ(iid, IidTtsBufNotifySink);
    gWorld.bufSink = sink;
    gWorld.texts.emplace_back(text);
    gLog.push_back("TextData");
    return gWorld.failTextData ? HrFail : HrOk;
  }
  HResult AudioReset() override {
    gLog.push_back("AudioReset at " + std::to_string(platform::NowMs()));
    return HrOk;
  }
  ITTSAttributes* QueryAttributes() override { return &attributes; }
  FakeAttributes attributes;
};

struct FakeEnum : ITTSEnum {
  ~FakeEnum() override { gLog.push_back("enumerator released"); }
  HResult Reset() override {
    next = 1;
    return HrOk;
  }
  HResult Next(uint32_t, TtsModeInfo* record, uint32_t*) override {
    gLog.push_back("Next");
    if (next > gWorld.modes) return HrFalse;
    record->gModeID = ModeId(next++);
    return HrOk;
  }
  HResult Select(const Guid& modeId, std::shared_ptr<ITTSCentral>& engine, std::shared_ptr<IAudioDest>) override {
    gLog.push_back("Select " + std::to_string(modeId.data1));
    if (!gWorld.directoryDuringSelect.empty()) std::filesystem::current_path(gWorld.directoryDuringSelect);
    if (gWorld.failSelect || modeId.IsNull()) return HrFail;
    engine = std::make_shared<FakeCentral>();
    return HrOk;
  }
  int next = 1;
};

struct FakeDevice : IAudioMultiMediaDevice {
  ~FakeDevice() override { gLog.push_back("device released"); }
};
struct FakeFile : IAudioFile {
  ~FakeFile() override { gLog.push_back("file released"); }
  HResult Set(std::u16string_view name, uint32_t flags) override {
    gLog.push_back("Set " + std::string(name.begin(), name.end()) + " " + std::to_string(flags));
    return gWorld.fileSetResult;
  }
  HResult Flush() override {
    gLog.push_back("Flush");
    return HrOk;
  }
};

class Sapi4Test : public SapiTest {
 protected:
  void SetUp() override {
    SapiTest::SetUp();
    gLog.clear();
    gWorld = FakeWorld{};
    Sapi4Objects objects;
    objects.CreateMMAudioDest = [] { return std::make_shared<FakeDevice>(); };
    objects.CreateAudioDestFile = [] { return std::make_shared<FakeFile>(); };
    objects.CreateTTSEnumerator = []() -> std::shared_ptr<ITTSEnum> {
      if (!gWorld.createEnumerator) return nullptr;
      return std::make_shared<FakeEnum>();
    };
    Sapi4().SetObjects(objects);
  }
  void TearDown() override {
    Sapi4Close();
    Sapi4().SetObjects(speech::InstalledSapi4Objects());
    SapiTest::TearDown();
  }
  int Count(const std::string& entry) { return static_cast<int>(std::count(gLog.begin(), gLog.end(), entry)); }
};

TEST_F(Sapi4Test, VoiceZeroIsTheFirstModeAndSpeedAndPitchGoToTheEngine) {
  ASSERT_TRUE(Sapi4Open(0, 220, 130, ""));
  EXPECT_EQ(Count("Next"), 1);
  EXPECT_EQ(Count("Select 1"), 1);
  EXPECT_EQ(Count("Register"), 1);
  EXPECT_EQ(Count("SpeedSet 220"), 1);
  EXPECT_EQ(Count("PitchSet 130"), 1);
}

TEST_F(Sapi4Test, TheVoiceThModeIsSelectedAndZeroSpeedAndPitchKeepTheEngines) {
  ASSERT_TRUE(Sapi4Open(2, 0, 0, ""));
  EXPECT_EQ(Count("Next"), 2);
  EXPECT_EQ(Count("Select 2"), 1);
  for (const auto& entry : gLog) EXPECT_EQ(entry.find("Set "), std::string::npos) << entry;
}

TEST_F(Sapi4Test, AVoicePastTheLastModeKeepsWhatTheLastNextLeft) {
  ASSERT_TRUE(Sapi4Open(7, 0, 0, ""));
  EXPECT_EQ(Count("Next"), 7);
  EXPECT_EQ(Count("Select 3"), 1);
}

TEST_F(Sapi4Test, FailedOpensReleaseEverythingAndRestoreTheDirectory) {
  const auto before = std::filesystem::current_path();
  gWorld.failSelect = true;
  gWorld.directoryDuringSelect = dir_;
  EXPECT_FALSE(Sapi4Open(1, 0, 0, ""));
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_EQ(Count("device released"), 1);
  EXPECT_EQ(Count("enumerator released"), 1);
  Sapi4Speak("nada");
  EXPECT_TRUE(gWorld.texts.empty());

  gWorld = FakeWorld{};
  gWorld.modes = 0;  // no engine installed: the record stays empty and cannot be selected
  EXPECT_FALSE(Sapi4Open(1, 0, 0, ""));

  gWorld = FakeWorld{};
  gWorld.createEnumerator = false;
  EXPECT_FALSE(Sapi4Open(1, 0, 0, ""));

  gWorld = FakeWorld{};
  gWorld.fileSetResult = HrFalse;  // any non-zero result of Set fails
  EXPECT_FALSE(Sapi4Open(1, 0, 0,
                         "sa\xED"
                         "da.wav"));
  EXPECT_EQ(Count("Set sa\xED"
                  "da.wav 1"),
            1);
  EXPECT_EQ(Count("Next"), 2);  // one for each open that reached the enumerator
}

TEST_F(Sapi4Test, TextsAreTrimmedALoneDigitGetsAPeriodAndBlanksAreNotSent) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  Sapi4Speak("7");
  Sapi4Speak("  ");
  Sapi4Speak("\t\r\n");
  Sapi4Speak("");
  Sapi4Speak(" \x01 Ol\xE1, marujo! \r\n");
  Sapi4Speak("77");
  Sapi4Speak("x");
  ASSERT_EQ(gWorld.texts.size(), 4u);
  EXPECT_EQ(gWorld.texts[0], std::string("7.\0", 3));
  EXPECT_EQ(gWorld.texts[1], std::string("Ol\xE1, marujo!\0", 13));
  EXPECT_EQ(gWorld.texts[2], std::string("77\0", 3));
  EXPECT_EQ(gWorld.texts[3], std::string("x\0", 2));
}

TEST_F(Sapi4Test, AWaitingKeyQueuesNothingWhileKeysStopPlayback) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  PressKey('a');
  Sapi4Speak("Bom dia");
  EXPECT_TRUE(gWorld.texts.empty());
  EXPECT_TRUE(console::KeyAvailable());  // the key stays for its reader
  speech::State().keyStopsPlayback = false;
  Sapi4Speak("Bom dia");
  EXPECT_EQ(gWorld.texts.size(), 1u);
}

TEST_F(Sapi4Test, LongTextsAreCutToTheBuffer) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  Sapi4Speak(std::string(70000, 'a'));
  ASSERT_EQ(gWorld.texts.size(), 1u);
  EXPECT_EQ(gWorld.texts[0].size(), 64001u);
  EXPECT_EQ(gWorld.texts[0].back(), '\0');
}

TEST_F(Sapi4Test, TheSinksKeepTheCountersAndBusyAsksThem) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  Sapi4Speak("um");
  ASSERT_TRUE(gWorld.bufSink && gWorld.notifySink);
  EXPECT_FALSE(Sapi4Busy(true));
  gWorld.bufSink->TextDataStarted(0);
  EXPECT_TRUE(Sapi4Busy(true));
  gWorld.notifySink->AudioStart(0);
  gWorld.bufSink->TextDataDone(0, 0);
  EXPECT_FALSE(Sapi4Busy(true));
  EXPECT_TRUE(Sapi4Busy(false));  // the audio still plays
  gWorld.notifySink->AudioStop(0);
  EXPECT_FALSE(Sapi4Busy(false));
  // More ends than starts never take the count below 0.
  gWorld.bufSink->TextDataDone(0, 0);
  gWorld.bufSink->TextDataDone(0, 0);
  gWorld.bufSink->TextDataStarted(0);
  EXPECT_TRUE(Sapi4Busy(true));
  gWorld.bufSink->TextDataDone(0, 0);
  EXPECT_FALSE(Sapi4Busy(true));
}

TEST_F(Sapi4Test, ATextWhileOthersArePendingWaitsTwentyMilliseconds) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  Sapi4Speak("um");
  const uint64_t before = platform::NowMs();
  Sapi4Speak("dois");
  EXPECT_EQ(platform::NowMs(), before);
  gWorld.bufSink->TextDataStarted(0);
  Sapi4Speak("tr\xEAs");
  EXPECT_EQ(platform::NowMs(), before + 20);
  EXPECT_EQ(gWorld.texts.size(), 3u);
}

TEST_F(Sapi4Test, StopResetsTheAudioBetweenPausesAndClearsTheCounters) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  const uint64_t start = platform::NowMs();
  Sapi4Stop();  // nothing playing: nothing to reset, no pause
  EXPECT_EQ(platform::NowMs(), start);
  EXPECT_EQ(Count("AudioReset at " + std::to_string(start)), 0);

  Sapi4Speak("um");
  gWorld.bufSink->TextDataStarted(0);
  gWorld.notifySink->AudioStart(0);
  Sapi4Stop();
  EXPECT_EQ(Count("AudioReset at " + std::to_string(start + 50)), 1);
  EXPECT_EQ(platform::NowMs(), start + 200);
  EXPECT_FALSE(Sapi4Busy(false));
}

TEST_F(Sapi4Test, AFailingTextDataStopsTheEngine) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  Sapi4Speak("um");
  gWorld.bufSink->TextDataStarted(0);
  gWorld.notifySink->AudioStart(0);
  gWorld.failTextData = true;
  Sapi4Speak("dois");
  EXPECT_FALSE(Sapi4Busy(false));
  EXPECT_EQ(std::count_if(gLog.begin(), gLog.end(), [](const std::string& e) { return e.rfind("AudioReset", 0) == 0; }),
            1);
}

TEST_F(Sapi4Test, CloseFlushesTheFileUnregistersAndReleasesTheEngineLast) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, "fala.wav"));
  gLog.clear();
  Sapi4Close();
  const std::vector<std::string> expected{"Flush", "file released", "enumerator released", "UnRegister 42",
                                          "engine released"};
  EXPECT_EQ(gLog, expected);
  Sapi4Speak("depois");
  EXPECT_TRUE(gWorld.texts.empty());
}

}  // namespace
