// The engine dispatch: kinds, a missing engine, waiting after open, the wake-up message.

#include "speech/engine.h"
#include "platform/core/win.h"
#include "sound_fixture.h"
#include "speech/state.h"

namespace {

using namespace speech;

struct FakeEngine final : Engine {
  int busyPolls = 0;
  int opens = 0, stops = 0, closes = 0;
  std::string spoken;
  int lastRate = 0;
  bool Open(int, int rate, int, const std::string&) override {
    ++opens;
    lastRate = rate;
    return true;
  }
  void Close() override { ++closes; }
  void Speak(std::string_view text) override { spoken += text; }
  bool Busy(int) override { return busyPolls > 0 && busyPolls-- > 0; }
  void Stop() override { ++stops; }
};

// Enters a fake engine of a kind; speech keeps it, the test looks at it.
FakeEngine& EnterFake(EngineKind kind) {
  auto fake = std::make_unique<FakeEngine>();
  FakeEngine& entered = *fake;
  SetEngine(kind, std::move(fake));
  return entered;
}

// The dispatch alone: the installed engines are taken out for these tests.
class EngineTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    RemoveEngines();
  }
  void TearDown() override {
    RemoveEngines();
    State().engineKind = EngineKind::Sapi4;
    SoundTest::TearDown();
  }
  static void RemoveEngines() {
    for (auto kind : {EngineKind::Mbrola, EngineKind::Sapi5, EngineKind::Sapi5LateBound, EngineKind::Sapi4}) {
      SetEngine(kind, nullptr);
    }
  }
  // Whether speech woke the host since the last question.
  bool WakeWaiting() {
    const bool woken = host_.Wakes() > wakes_;
    wakes_ = host_.Wakes();
    return woken;
  }
  int wakes_ = 0;
};

TEST_F(EngineTest, SettingNumbersChooseTheirKinds) {
  for (int number : {0, 1, 2, 4, 7, -3}) EXPECT_EQ(EngineKindFromSetting(number), EngineKind::Sapi4) << number;
  EXPECT_EQ(EngineKindFromSetting(3), EngineKind::Mbrola);
  EXPECT_EQ(EngineKindFromSetting(5), EngineKind::Sapi5);
  EXPECT_EQ(EngineKindFromSetting(54), EngineKind::Sapi5LateBound);
  for (auto kind : {EngineKind::Mbrola, EngineKind::Sapi5, EngineKind::Sapi5LateBound, EngineKind::Sapi4}) {
    EXPECT_EQ(EngineKindFromSetting(EngineKindSetting(kind)), kind);
  }
}

TEST_F(EngineTest, EachEngineIsDescribedOnceAndFoundByItsNames) {
  EXPECT_EQ(EngineDescriptions().size(), EngineKindCount);
  for (auto kind : {EngineKind::Mbrola, EngineKind::Sapi5, EngineKind::Sapi5LateBound, EngineKind::Sapi4}) {
    const EngineDescription& engine = DescriptionOf(kind);
    EXPECT_EQ(engine.kind, kind);
    EXPECT_FALSE(engine.name.empty());
    EXPECT_LE(engine.lowestRate, 0);
    EXPECT_LE(engine.lowestPitch, 0);
    if (!engine.option.empty()) {
      EXPECT_EQ(EngineKindFromOption(engine.option), kind);
    }
  }
  EXPECT_EQ(EngineKindFromOption("espeak"), EngineKind::Sapi4);
  EXPECT_EQ(EngineKindFromOption("speech-dispatcher"), EngineKind::Sapi5);
  EXPECT_EQ(EngineKindFromOption("mbrola"), EngineKind::Mbrola);
  for (const char* other : {"", "builtin", "none", "MBROLA", "sapi5"}) EXPECT_FALSE(EngineKindFromOption(other));
  // Only the front end speaks through wave playback.
  EXPECT_TRUE(DescriptionOf(EngineKind::Mbrola).soundThroughWavePlayback);
  EXPECT_FALSE(DescriptionOf(EngineKind::Sapi4).soundThroughWavePlayback);
}

TEST_F(EngineTest, AReplacedEngineStaysAndOneAskingIsClosedAtTheEnd) {
  FakeEngine& first = EnterFake(EngineKind::Sapi4);
  CloseAtExit(first);
  CloseAtExit(first);  // asked twice, closed once
  FakeEngine& second = EnterFake(EngineKind::Sapi4);
  EXPECT_EQ(EngineOf(EngineKind::Sapi4), &second);
  EXPECT_EQ(first.closes, 0);
  EXPECT_THROW(platform::ExitProgram(0), ProgramExit);
  EXPECT_EQ(first.closes, 1);
  EXPECT_EQ(second.closes, 0);
}

TEST_F(EngineTest, WithoutAnEngineEveryOpenFails) {
  for (auto kind : {EngineKind::Mbrola, EngineKind::Sapi4, EngineKind::Sapi5, EngineKind::Sapi5LateBound}) {
    EXPECT_FALSE(EngineOpen(1, 0, 0, kind, ""));
    EXPECT_EQ(State().engineKind, kind);
  }
  EXPECT_FALSE(EngineBusy(0));
  EngineSpeak("nada");
  EngineStop();
  EngineClose();
}

TEST_F(EngineTest, OpenWaitsUntilTheEngineIsIdle) {
  FakeEngine& fake = EnterFake(EngineKind::Sapi5);
  fake.busyPolls = 4;
  const uint64_t start = platform::NowMs();
  EXPECT_TRUE(EngineOpen(2, 7, 0, EngineKind::Sapi5, ""));
  EXPECT_EQ(fake.lastRate, 7);
  EXPECT_EQ(fake.busyPolls, 0);
  EXPECT_EQ(platform::NowMs() - start, 200u);  // four pauses of 50 ms
  EngineSpeak("ol\xE1");
  EXPECT_EQ(fake.spoken, "ol\xE1");
  EXPECT_FALSE(WakeWaiting());  // only an engine that sounds through wave playback wakes it
  // Another kind goes elsewhere.
  EXPECT_FALSE(EngineOpen(1, 0, 0, EngineKind::Sapi4, ""));
}

TEST_F(EngineTest, MbrolaGlueWakesTheWindowAndComputesItsFactors) {
  EnterFake(EngineKind::Mbrola);
  ASSERT_TRUE(EngineOpen(1, 0, 0, EngineKind::Mbrola, ""));
  WakeWaiting();
  EngineSpeak("x");
  EXPECT_TRUE(WakeWaiting());
  EngineBusy(1);
  EXPECT_TRUE(WakeWaiting());
  EngineStop();
  EXPECT_TRUE(WakeWaiting());
  EXPECT_DOUBLE_EQ(MbrolaDurationFactor(0), 0.8);
  EXPECT_DOUBLE_EQ(MbrolaPitchFactor(0), 1.0);
  EXPECT_NEAR(MbrolaDurationFactor(10), 0.1333, 0.001);
  EXPECT_DOUBLE_EQ(MbrolaPitchFactor(11), 2.0);
}

}  // namespace
