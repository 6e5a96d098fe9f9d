// The diphone synthesizer: tokens, unit fall-backs, cuts, silences and the database files.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "speech/config.h"
#include "speech/diphone.h"
#include "speech/speak.h"
#include "speech_fixture.h"
#include "text/diphone_index.h"
#include "translator/translator.h"

namespace {

std::vector<uint8_t> Samples(std::size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

// All samples played, blocks joined.
std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& blocks) {
  std::vector<uint8_t> all;
  for (const auto& b : blocks) all.insert(all.end(), b.begin(), b.end());
  return all;
}

std::size_t CountOf(const std::vector<uint8_t>& samples, uint8_t value) {
  return static_cast<std::size_t>(std::count(samples.begin(), samples.end(), value));
}

class DiphoneTest : public SpeechTest {
 protected:
  void OpenFixture(std::vector<FixtureUnit> units, speech::DiphoneSettings settings = {"FIX", 0, 0, 0}) {
    WriteDatabase("FIX", std::move(units));
    WriteIni(FixtureIni());
    speech::SetDiphoneSettings(settings);
    ASSERT_TRUE(speech::OpenDiphoneDatabase());
  }
};

std::vector<std::string> Tokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t position = 0;
  bool stressed = true;
  while (position < text.size()) {
    const auto token = speech::NextDiphoneToken(text, position, stressed);
    std::string shown = token.text;
    if (token.silenceSamples) shown += "<" + std::to_string(token.silenceSamples) + ">";
    if (token.ending) shown += token.ending;
    tokens.push_back(shown);
  }
  return tokens;
}

TEST(DiphoneTokens, SlashJoinsSyllablesUntilTheTokenHasNineCharacters) {
  EXPECT_EQ(Tokens("ka/za"), (std::vector<std::string>{"kaza"}));
  EXPECT_EQ(Tokens("tt/tt/tt/tt/t"), (std::vector<std::string>{"ttttttttt"}));
  EXPECT_EQ(Tokens("ttt/ttt/ttt/tt"), (std::vector<std::string>{"ttttttttt/", "tt"}));
  EXPECT_EQ(Tokens("[ /_X/ /_Y]"), (std::vector<std::string>{" ", "_X ", "_Y]"}));
}

TEST(DiphoneTokens, PunctuationBecomesSilenceAndTheMarkerATokenOfItsOwn) {
  EXPECT_EQ(Tokens("_, _. _; _:"), (std::vector<std::string>{"<4000> ", "<8000> ", "<6000> ", "<8000>"}));
  EXPECT_EQ(Tokens("ab|cd"), (std::vector<std::string>{"ab", "_TRACO", "cd"}));
  EXPECT_EQ(Tokens(std::string(45, 'a')), (std::vector<std::string>{std::string(40, 'a'), std::string(5, 'a')}));
  EXPECT_EQ(Tokens("ab_"), (std::vector<std::string>{"ab_"}));
}

TEST(DiphoneIndex, MalformedIndexesAreRefusedAndBisectionUsesUnsignedOrder) {
  std::vector<text::DiphoneRecord> records;
  const auto record = [](std::string name, uint8_t length) {
    std::vector<uint8_t> r(15, 0);
    r[0] = length;
    std::copy(name.begin(), name.end(), r.begin() + 1);
    r[9] = 10;
    return r;
  };
  std::vector<uint8_t> index;
  for (const auto& [name, length] :
       std::vector<std::pair<std::string, uint8_t>>{{"$A", 2}, {"$AB", 3}, {"$B", 2}, {"$\xC7", 2}}) {
    const auto r = record(name, length);
    index.insert(index.end(), r.begin(), r.end());
  }
  index.push_back(0);  // a partial record at the end is not read
  ASSERT_TRUE(text::ParseDiphoneIndex(index, records));
  ASSERT_EQ(records.size(), 4u);
  for (const char* name : {"$a", "$ab", "$B", "$\xC7"})
    EXPECT_NE(speech::FindDiphoneUnit(records, name), nullptr) << name;
  EXPECT_EQ(speech::FindDiphoneUnit(records, "$C"), nullptr);
  EXPECT_EQ(speech::FindDiphoneUnit(records, "$ABC"), nullptr);

  auto tooLong = record("$ABCDEFGH", 9);
  EXPECT_FALSE(text::ParseDiphoneIndex(tooLong, records));
  auto unsorted = record("$B", 2);
  const auto second = record("$A", 2);
  unsorted.insert(unsorted.end(), second.begin(), second.end());
  EXPECT_FALSE(text::ParseDiphoneIndex(unsorted, records));
}

TEST_F(DiphoneTest, MissingUnitOfOneSoundIsNoise) {
  OpenFixture({{"$A", Samples(100, 20)}});
  speech::SpeakPhonetic("k");
  const auto blocks = PlayedBlocks();
  ASSERT_EQ(blocks.size(), 1u);
  ASSERT_EQ(blocks[0].size(), 300u);
  for (const uint8_t s : blocks[0]) EXPECT_TRUE(s >= 88 && s <= 167);
}

TEST_F(DiphoneTest, MissingUnitIsSplitIntoItsConsonantAtNineTenthsThenItsVowel) {
  OpenFixture({{"$A", Samples(200, 20)}, {"$B", Samples(100, 10)}});
  speech::SpeakPhonetic("ba");
  const auto played = Joined(PlayedBlocks());
  ASSERT_EQ(played.size(), 290u);
  EXPECT_EQ(CountOf(played, 10), 90u);
  EXPECT_TRUE(std::all_of(played.begin(), played.begin() + 90, [](uint8_t s) { return s == 10; }));
  EXPECT_EQ(CountOf(played, 20), 199u);  // the block's last sample is set to silence
}

TEST_F(DiphoneTest, PunctuationTokenIsOnlySilence) {
  OpenFixture({{"$A", Samples(200, 20)}});
  speech::SpeakPhonetic("_.");
  const auto played = Joined(PlayedBlocks());
  EXPECT_EQ(played.size(), 8000u);
  EXPECT_EQ(CountOf(played, 128), 8000u);
}

TEST_F(DiphoneTest, TokenGapFollowsATokenEndedBySlashOrBracket) {
  OpenFixture({{"$T", Samples(50, 30)}, {"$TT", Samples(100, 30)}}, {"FIX", 0, 0, 300});
  speech::SpeakPhonetic("t/t/t/t/t/t/t/t");  // eight sounds: one token
  EXPECT_EQ(Joined(PlayedBlocks()).size(), 400u);
  ClearPlayed();
  speech::SpeakPhonetic("t/t/t/t/t/t/t/t/t/t");  // the tenth "/" ends a token of nine
  const auto played = Joined(PlayedBlocks());
  EXPECT_EQ(played.size(), 800u);
  EXPECT_EQ(CountOf(played, 128), 301u);
  ClearPlayed();
  speech::SpeakPhonetic("[t] [t]");  // "]" ends with a gap, the space without one
  EXPECT_EQ(Joined(PlayedBlocks()).size(), 400u);
}

TEST_F(DiphoneTest, UnstressedUnitsLoseTheCutButKeepTheMinimum) {
  OpenFixture({{"$E", Samples(100, 40)}, {"$KA", Samples(1000, 50)}}, {"FIX", 400, 0, 0});
  speech::SpeakPhonetic("ka");
  EXPECT_EQ(CountOf(Joined(PlayedBlocks()), 50), 599u);  // 600, the last set to silence
  ClearPlayed();
  speech::SpeakPhonetic("kae");  // $KAE is missing: $KA at 0.9, then $E
  const auto split = Joined(PlayedBlocks());
  EXPECT_EQ(CountOf(split, 50), 540u);
  EXPECT_EQ(split.size(), 640u);
  ClearPlayed();
  speech::SpeakPhonetic("kA");  // stressed: whole
  EXPECT_EQ(Joined(PlayedBlocks()).size(), 1000u);

  speech::SetDiphoneSettings({"FIX", 400, 800, 0});
  ClearPlayed();
  speech::SpeakPhonetic("ka");
  EXPECT_EQ(Joined(PlayedBlocks()).size(), 800u);
  speech::SetDiphoneSettings({"FIX", -500, 0, 0});  // a negative cut never reaches past the unit
  ClearPlayed();
  speech::SpeakPhonetic("ka");
  EXPECT_EQ(Joined(PlayedBlocks()).size(), 1000u);
}

// Built-in speech says the words of one phrase together: the voiced s of the first runs
// into the second without the gap that parts other words.
TEST_F(DiphoneTest, BuiltInSpeechSaysTheWordsOfAPhraseTogether) {
  OpenFixture({{"$A", Samples(100, 21)},
               {"$AZ", Samples(100, 20)},
               {"$BA", Samples(100, 22)},
               {"$PA", Samples(100, 23)},
               {"$S", Samples(100, 24)}},
              {"FIX", 0, 0, 300});
  WriteFile(diphoneDir_ + "/fix.rgr", "(A)=a\n(B)=b\n(P)=p\n(S)=s\n");
  ASSERT_TRUE(translator::LoadTranslatorRules(speech::BuiltInTranslator(), diphoneDir_ + "/fix.rgr"));
  const auto spoken = [this](std::string_view text) {
    ClearPlayed();
    speech::SpeakText(text);
    auto samples = Joined(PlayedBlocks());
    // The block is padded with silence to the smallest size the device takes.
    while (!samples.empty() && samples.back() == 128) samples.pop_back();
    return samples;
  };
  const std::vector<uint8_t> together = spoken("as ba");  // $AZ, then $BA at once
  EXPECT_EQ(together.size(), 199u);
  EXPECT_EQ(CountOf(together, 20), 100u);
  EXPECT_EQ(CountOf(together, 22), 99u);
  // Before p the s stays ($A at 0.7, $S), and so does the gap between the words.
  EXPECT_EQ(spoken("as pa").size(), 70u + 100u + 300u + 99u);
  const std::vector<uint8_t> parted = spoken("as, ba");  // punctuation parts the phrase
  EXPECT_EQ(CountOf(parted, 20), 0u);
  EXPECT_EQ(CountOf(parted, 24), 99u);
}

TEST_F(DiphoneTest, NasalVowelFallsBackToClosedVowelAndShortNasal) {
  OpenFixture({{"$ACIRC", Samples(100, 60)}, {"$M", Samples(100, 61)}, {"$NN", Samples(100, 62)}});
  speech::SpeakPhonetic("ma~");  // $MATIL missing: $MACIRC (missing: $M, $ACIRC), then $NN
  const auto played = Joined(PlayedBlocks());
  EXPECT_EQ(CountOf(played, 61), 81u);  // $M at 0.9 x 0.9
  EXPECT_EQ(CountOf(played, 60), 90u);  // $ACIRC at 0.9
  EXPECT_EQ(CountOf(played, 62), 89u);  // $NN at 0.9, last sample silenced
}

TEST_F(DiphoneTest, UnderscoreCharacterPlaysItsRecordingAndMissingOnesAreQuiet) {
  OpenFixture({{"$A", Samples(100, 20)}});
  WriteTaggedRecording("_88", 70, 120);
  speech::SpeakPhonetic("[ /_X]");
  EXPECT_EQ(PlayedSounds(), (std::vector<std::string>{"_88"}));
  ClearPlayed();
  speech::SpeakPhonetic("_Y");  // _89 is missing and cannot be split
  EXPECT_TRUE(PlayedBlocks().empty());
}

TEST_F(DiphoneTest, LongSpeechIsPlayedInPiecesThatFitTheBuffer) {
  OpenFixture({{"$T", Samples(30000, 30)}});
  speech::SpeakPhonetic("t t t t t");
  const auto blocks = PlayedBlocks();
  ASSERT_EQ(blocks.size(), 3u);
  for (const auto& b : blocks) EXPECT_LE(b.size(), speech::DiphoneBufferSize);
  EXPECT_EQ(Joined(blocks).size(), 150000u);
}

TEST_F(DiphoneTest, KeyPressSilencesTheRestOfTheCall) {
  OpenFixture({{"$T", Samples(30000, 30)}});
  ScriptKeys("<Wait:100>x<NoEnter>");
  speech::SpeakPhonetic("t t t t t t t t");
  EXPECT_LE(PlayedBlocks().size(), 1u);
}

TEST_F(DiphoneTest, BadDatabasesAreNotOpened) {
  WriteIni(FixtureIni());
  speech::SetDiphoneSettings({"FIX", 0, 0, 0});
  EXPECT_FALSE(speech::OpenDiphoneDatabase());  // no files at all

  WriteDatabase("FIX", {{"$A", Samples(100, 20)}});
  WriteFile(diphoneDir_ + "/FIX.DIF", std::string(50, '\x80'));  // the unit reaches past the end
  EXPECT_FALSE(speech::OpenDiphoneDatabase());

  WriteFile(diphoneDir_ + "/FIX.IND", std::string("\x0C$ABCDEFGHIJK\x01\x00\x00\x00\x00\x00", 15));
  EXPECT_FALSE(speech::OpenDiphoneDatabase());

  WriteDatabase("fix", {{"$A", Samples(100, 20)}});  // names are found without regard to case
  std::filesystem::remove(diphoneDir_ + "/FIX.IND");
  std::filesystem::remove(diphoneDir_ + "/FIX.DIF");
  EXPECT_TRUE(speech::OpenDiphoneDatabase());

  WriteIni("[TRADUTOR]\nDIRLETRAS=" + root_ + "/none\nDIRDIFONES=" + diphoneDir_ + "\n");
  EXPECT_FALSE(speech::OpenDiphoneDatabase());
  EXPECT_FALSE(speech::DiphoneDatabaseOpen());
}

// Each failure names the file at fault: the index or the samples, and why.
TEST_F(DiphoneTest, AFailedOpenNamesTheFileAndWhy) {
  WriteIni(FixtureIni());
  speech::SetDiphoneSettings({"FIX", 0, 0, 0});
  speech::SpeechDataProblem problem;
  const auto failure = [&problem] {
    problem = {};
    EXPECT_FALSE(speech::OpenDiphoneDatabase(&problem));
    return problem.place.substr(problem.place.find_last_of('/') + 1) + " " + problem.reason;
  };
  EXPECT_EQ(failure(), "FIX.IND does not exist");

  WriteDatabase("FIX", {{"$A", Samples(100, 20)}});
  WriteFile(diphoneDir_ + "/FIX.DIF", std::string(50, '\x80'));
  EXPECT_EQ(failure(), "FIX.DIF is shorter than its index " + diphoneDir_ + "/FIX.IND says");
  std::filesystem::remove(diphoneDir_ + "/FIX.DIF");
  EXPECT_EQ(failure(), "FIX.DIF does not exist");

  // An index with nothing in it, or naming no unit, would make every unit a noise burst.
  WriteDatabase("FIX", {{"$A", Samples(100, 20)}});
  WriteFile(diphoneDir_ + "/FIX.IND", "");
  EXPECT_EQ(failure(), "FIX.IND is empty");
  WriteFile(diphoneDir_ + "/FIX.IND", std::string(30, '\0'));
  EXPECT_EQ(failure(), "FIX.IND names no units");
  EXPECT_TRUE(problem.setting.empty());

  // A folder setting that names no folder is the setting's fault, not the data's.
  WriteIni("[TRADUTOR]\nDIRLETRAS=-1\nDIRDIFONES=" + diphoneDir_ + "\n");
  failure();
  EXPECT_EQ(problem.place + " " + problem.reason, "-1/ does not exist");
  EXPECT_EQ(problem.setting, "DIRLETRAS");
}

// The samples file cut short while the game runs (a rebuild, an upgrade): the units it no
// longer holds are silent, the program goes on, and one line tells of it.
TEST_F(DiphoneTest, ASoundFileCutShortUnderTheGameLeavesItsUnitsSilent) {
  OpenFixture({{"$A", Samples(3000, 20)}, {"$T", Samples(3000, 30)}});
  speech::AllocateDiphoneBuffer();
  speech::SpeakPhonetic("a t");
  EXPECT_GT(CountOf(Joined(PlayedBlocks()), 30), 2900u);
  EXPECT_FALSE(speech::DiphoneSoundDamaged());

  std::filesystem::resize_file(diphoneDir_ + "/FIX.DIF", 0);
  ClearPlayed();
  speech::SpeakPhonetic("a t a t");
  EXPECT_EQ(CountOf(Joined(PlayedBlocks()), 20) + CountOf(Joined(PlayedBlocks()), 30), 0u);
  EXPECT_TRUE(speech::DiphoneSoundDamaged());

  testing::internal::CaptureStderr();
  speech::HandleDamagedVoice();
  speech::HandleDamagedVoice();
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("FIX.DIF was cut short"), std::string::npos) << said;
  EXPECT_EQ(said.find("quelvar:"), said.rfind("quelvar:")) << said;
  speech::FreeDiphoneBuffer();
}

}  // namespace
