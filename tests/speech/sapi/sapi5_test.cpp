// The SAPI 5 adapters (EngineKind::Sapi5 and its late-bound twin) against a fake voice: choosing
// the voice and rate, speaking, the busy poll with its wake-up message, stopping, closing.

#include <memory>
#include <string>
#include <vector>

#include "app/speech_wiring.h"
#include "platform/core/win.h"
#include "sapi_fixture.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/sapi/sapi5.h"
#include "speech/state.h"

namespace {

using namespace speech::sapi;

std::vector<std::string> gLog;

struct VoiceWorld {
  int voices = 3;
  bool failSpeak = false;
  int failingSpeaks = 0;  // how many more speaks fail (a voice that went away)
  int created = 0;
  int busyPolls = 0;  // how many more waits time out before the voice is done
  std::vector<std::u16string> spoken;
  std::vector<int32_t> flags;
};
VoiceWorld gWorld;

struct FakeToken : ISpeechObjectToken {
  explicit FakeToken(int n) : number(n) {}
  std::string GetDescription() override { return "voz " + std::to_string(number); }
  int number;
};

struct FakeTokens : ISpeechObjectTokens {
  int32_t Count() override { return gWorld.voices; }
  HResult Item(int32_t index, std::shared_ptr<ISpeechObjectToken>& token) override {
    gLog.push_back("Item " + std::to_string(index));
    token = std::make_shared<FakeToken>(index + 1);
    return HrOk;
  }
};

struct FakeStream : ISpeechFileStream {
  HResult Open(std::u16string_view name, int32_t mode, bool doEvents) override {
    gLog.push_back("Open " + std::string(name.begin(), name.end()) + " " + std::to_string(mode) + " " +
                   std::to_string(doEvents));
    return HrOk;
  }
  HResult Close() override {
    gLog.push_back("Close stream");
    return HrOk;
  }
};

// A handle that times out as often as the world says, then is set.
struct FakeVoice;
FakeVoice* gVoice = nullptr;  // the voice last created, while it lives

struct FakeVoice : ISpeechVoice {
  ~FakeVoice() override {
    gLog.push_back("voice released");
    if (gVoice == this) gVoice = nullptr;
  }
  HResult SetEventInterests(int32_t interests) override {
    gLog.push_back("EventInterests " + std::to_string(interests));
    return HrOk;
  }
  HResult GetVoices(std::u16string_view required, std::u16string_view optional,
                    std::shared_ptr<ISpeechObjectTokens>& tokens) override {
    EXPECT_TRUE(required.empty() && optional.empty());
    tokens = std::make_shared<FakeTokens>();
    return HrOk;
  }
  HResult SetVoice(std::shared_ptr<ISpeechObjectToken> token) override {
    gLog.push_back("Voice " + token->GetDescription());
    return HrOk;
  }
  HResult SetRate(int32_t rate) override {
    gLog.push_back("Rate " + std::to_string(rate));
    return HrFail;  // ignored by the adapter
  }
  HResult SetAudioOutputStream(std::shared_ptr<ISpeechFileStream>) override {
    gLog.push_back("AudioOutputStream");
    return HrOk;
  }
  HResult SpeakCompleteEvent(WaitHandle*& handle) override {
    handle = &done;
    return HrOk;
  }
  HResult Speak(std::u16string_view text, int32_t flags, uint32_t*) override {
    gWorld.spoken.emplace_back(text);
    gWorld.flags.push_back(flags);
    if (gWorld.failingSpeaks > 0) {
      --gWorld.failingSpeaks;
      return HrFail;
    }
    return gWorld.failSpeak ? HrFail : HrOk;
  }
  HResult PutPropertyByRef(std::string_view name, const PropertyValue& value) override {
    std::string entry = "by name " + std::string(name);
    if (const auto* token = std::get_if<std::shared_ptr<ISpeechObjectToken>>(&value)) {
      entry += " " + (*token)->GetDescription();
    }
    gLog.push_back(entry);
    return HrOk;
  }
  WaitHandle done;
};

Sapi5Objects FakeObjects() {
  Sapi5Objects objects;
  objects.CreateSpVoice = [] {
    auto voice = std::make_shared<FakeVoice>();
    gVoice = voice.get();
    ++gWorld.created;
    return voice;
  };
  objects.CreateSpFileStream = [] { return std::make_shared<FakeStream>(); };
  return objects;
}

class Sapi5Test : public SapiTest {
 protected:
  void SetUp() override {
    SapiTest::SetUp();
    gLog.clear();
    gWorld = VoiceWorld{};
    gVoice = nullptr;
    Sapi5().SetObjects(FakeObjects());
    Sapi54().SetObjects(FakeObjects());
  }
  void TearDown() override {
    if (gVoice) gVoice->done.Set();
    Sapi5Close();
    Sapi54Close();
    Sapi5().SetObjects(speech::sapi::Sapi5Objects{});
    Sapi54().SetObjects(speech::sapi::Sapi5Objects{});
    SapiTest::TearDown();
  }
  bool Logged(const std::string& entry) { return std::find(gLog.begin(), gLog.end(), entry) != gLog.end(); }
};

TEST_F(Sapi5Test, TheVoiceNumberPicksTheTokenAndTheRateIsSet) {
  ASSERT_TRUE(Sapi5Open(2, 4, ""));
  const std::vector<std::string> expected{"EventInterests 33790", "Item 1", "Voice voz 2", "Rate 4"};
  EXPECT_EQ(gLog, expected);
}

TEST_F(Sapi5Test, VoiceZeroOrPastTheCountOpensVoiceOneAtRateZero) {
  for (const int voice : {0, 4, -1}) {
    gLog.clear();
    ASSERT_TRUE(Sapi5Open(voice, 7, "")) << voice;
    EXPECT_TRUE(Logged("Voice voz 1")) << voice;
    EXPECT_TRUE(Logged("Rate 0")) << voice;
    gVoice->done.Set();
    Sapi5Close();
  }
  gLog.clear();
  ASSERT_TRUE(Sapi5Open(3, 7, ""));
  EXPECT_TRUE(Logged("Voice voz 3"));
  EXPECT_TRUE(Logged("Rate 7"));
}

TEST_F(Sapi5Test, NoVoiceInstalledFailsAndReleasesTheVoice) {
  gWorld.voices = 0;
  EXPECT_FALSE(Sapi5Open(1, 0, ""));
  EXPECT_TRUE(Logged("voice released"));
  Sapi5Speak("nada");
  EXPECT_TRUE(gWorld.spoken.empty());
  EXPECT_FALSE(Sapi5Busy());
}

TEST_F(Sapi5Test, TextsAreSpokenAsynchronouslyAndAnEmptyTextSpeaksABlank) {
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  Sapi5Speak("Ol\xE1");
  Sapi5Speak("");
  ASSERT_EQ(gWorld.spoken.size(), 2u);
  EXPECT_EQ(gWorld.spoken[0], u"Ol\u00E1");
  EXPECT_EQ(gWorld.spoken[1], u" ");
  EXPECT_EQ(gWorld.flags[0], 17);
  EXPECT_EQ(gWorld.flags[1], 17);
  EXPECT_EQ(Sound().Beeps(), 0);
  gWorld.failSpeak = true;
  Sapi5Speak("falha");
  EXPECT_EQ(Sound().Beeps(), 1);
}

// An engine lost in the middle of a game is started once more; when that does not help,
// the built-in voice takes over, and the text that found no engine is not lost.
TEST_F(Sapi5Test, AFailedSpeakReopensOnceThenLeavesSpeechToTheBuiltInVoice) {
  speech::State().engineActive = true;
  ASSERT_TRUE(Sapi5Open(2, 3, ""));
  gWorld.failingSpeaks = 1;
  Sapi5Speak("de novo");
  EXPECT_EQ(gWorld.created, 2);
  EXPECT_TRUE(Logged("Item 1"));  // the same voice again
  EXPECT_TRUE(speech::State().engineActive);
  ASSERT_EQ(gWorld.spoken.size(), 2u);
  EXPECT_EQ(gWorld.spoken[1], u"de novo");

  gWorld.failSpeak = true;
  Sapi5Speak("perdida");
  EXPECT_EQ(gWorld.created, 2) << "started again only once";
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_FALSE(Sapi5Busy());
  Sapi5Speak("depois");
  EXPECT_EQ(gWorld.spoken.size(), 3u);
}

TEST_F(Sapi5Test, BusyPostsTheWakeMessageEachTimeTheVoiceStillSpeaks) {
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  gVoice->done.Reset();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Sapi5Busy());
    EXPECT_TRUE(TakePosted(app::SpeechWakeMessage)) << i;
  }
  gVoice->done.Set();
  EXPECT_FALSE(Sapi5Busy());
  EXPECT_FALSE(TakePosted(app::SpeechWakeMessage));
}

TEST_F(Sapi5Test, StopPurgesWithABlankAndReportsAFailedRequest) {
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  const uint64_t start = platform::NowMs();
  EXPECT_FALSE(Sapi5Stop());
  EXPECT_EQ(platform::NowMs(), start + 50);
  ASSERT_EQ(gWorld.spoken.size(), 1u);
  EXPECT_EQ(gWorld.spoken[0], u" ");
  EXPECT_EQ(gWorld.flags[0], 2);
  gWorld.failSpeak = true;
  EXPECT_TRUE(Sapi5Stop());
  EXPECT_EQ(Sound().Beeps(), 0);
}

TEST_F(Sapi5Test, CloseWaitsForTheVoiceThenClosesTheStreamAndReleasesTheVoice) {
  ASSERT_TRUE(Sapi5Open(1, 0, "fala.wav"));
  EXPECT_TRUE(Logged("Open fala.wav 3 1"));
  EXPECT_TRUE(Logged("AudioOutputStream"));
  gLog.clear();
  gVoice->done.Reset();
  // The voice ends while the adapter waits.
  platform::ScheduleCallback(platform::NowMs() + 700, [] { gVoice->done.Set(); });
  const uint64_t start = platform::NowMs();
  Sapi5Close();
  EXPECT_GE(platform::NowMs(), start + 900);
  const std::vector<std::string> expected{"Close stream", "voice released"};
  EXPECT_EQ(gLog, expected);
  gVoice = nullptr;
}

TEST_F(Sapi5Test, TheLateBoundTwinSetsVoiceAndStreamByName) {
  ASSERT_TRUE(Sapi54Open(2, 3, "fala.wav"));
  EXPECT_TRUE(Logged("by name Voice voz 2"));
  EXPECT_TRUE(Logged("by name AudioOutputStream"));
  EXPECT_FALSE(Logged("Voice voz 2"));
  EXPECT_FALSE(Logged("AudioOutputStream"));
  Sapi54Speak("");
  ASSERT_EQ(gWorld.spoken.size(), 1u);
  EXPECT_EQ(gWorld.spoken[0], u" ");
}

TEST_F(Sapi5Test, TheDispatchSendsBothSapi5KindsToTheirAdapters) {
  ASSERT_TRUE(speech::EngineOpen(1, 0, 0, speech::EngineKind::Sapi5LateBound, ""));
  EXPECT_TRUE(Logged("by name Voice voz 1"));
  speech::EngineSpeak("um");
  EXPECT_EQ(gWorld.spoken.size(), 1u);
  speech::EngineClose();
  gLog.clear();
  ASSERT_TRUE(speech::EngineOpen(1, 0, 0, speech::EngineKind::Sapi5, ""));
  EXPECT_TRUE(Logged("Voice voz 1"));
  speech::EngineClose();
  gVoice = nullptr;
  speech::State().engineKind = speech::EngineKind::Sapi4;
}

}  // namespace
