// The engine dispatch: kinds, a missing engine, waiting after open, the wake-up message.

#include "speech/engine.h"
#include "platform/win.h"
#include "sound_fixture.h"
#include "speech/state.h"

namespace {

using namespace speech;

struct FakeEngine {
  static inline int busyPolls = 0;
  static inline int opens = 0, stops = 0, closes = 0;
  static inline std::string spoken;
  static inline int lastRate = 0;
  static EngineAdapter Adapter() {
    EngineAdapter a;
    a.open = [](int, int rate, int, const std::string&) {
      ++opens;
      lastRate = rate;
      return true;
    };
    a.close = [] { ++closes; };
    a.speak = [](std::string_view text) { spoken += text; };
    a.busy = [](int) { return busyPolls > 0 && busyPolls-- > 0; };
    a.stop = [] { ++stops; };
    return a;
  }
};

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
      SetEngineAdapter(kind, {});
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
  SetEngineAdapter(EngineKind::Sapi5, FakeEngine::Adapter());
  FakeEngine::busyPolls = 4;
  const uint64_t start = platform::NowMs();
  EXPECT_TRUE(EngineOpen(2, 7, 0, EngineKind::Sapi5, ""));
  EXPECT_EQ(FakeEngine::lastRate, 7);
  EXPECT_EQ(FakeEngine::busyPolls, 0);
  EXPECT_EQ(platform::NowMs() - start, 200u);  // four pauses of 50 ms
  EngineSpeak("ol\xE1");
  EXPECT_EQ(FakeEngine::spoken, "ol\xE1");
  EXPECT_FALSE(WakeWaiting());  // only the MBROLA front end's glue posts it
  // Another kind goes elsewhere.
  EXPECT_FALSE(EngineOpen(1, 0, 0, EngineKind::Sapi4, ""));
}

TEST_F(EngineTest, MbrolaGlueWakesTheWindowAndComputesItsFactors) {
  SetEngineAdapter(EngineKind::Mbrola, FakeEngine::Adapter());
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
