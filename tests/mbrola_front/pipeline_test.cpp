// The whole pipeline over the shipped data files, and the data files' consistency.
#include "mbrola_front/pipeline.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "mbrola_front/text_codec.h"
#include "tests/mbrola_front/test_text.h"

namespace mbrola_front {
namespace {

using Lines = std::vector<std::string>;

const std::set<std::string> VoiceLabels = {"_",  "a",  "an", "@", "b",  "d", "e",  "ee", "en", "f", "g",  "h",  "i",
                                           "in", "j",  "k",  "l", "lh", "m", "m2", "n",  "nh", "o", "on", "oo", "p",
                                           "r",  "r2", "rr", "s", "s2", "t", "u",  "un", "v",  "w", "x",  "y",  "z"};

class ShippedData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    data = new FrontEndData;
    loadResult = LoadFrontEndData(FrontEndFilesIn(QUELVAR_FRONT_DATA_DIR), *data);
  }
  static void TearDownTestSuite() { delete data; }
  void SetUp() override { ASSERT_EQ(loadResult, FrontEndLoadError::None); }

  Lines Pho(std::string_view utf8, SpeechFactors factors = {}) {
    PhoLineState state;
    return TextToPhoLines(*data, state, W(utf8), factors);
  }
  static std::string Labels(const Lines& lines) {
    std::string out;
    for (const auto& line : lines) {
      if (line.empty() || line[0] == ';') continue;
      out += line.substr(0, line.find(' ')) + " ";
    }
    return out;
  }

  static FrontEndData* data;
  static FrontEndLoadError loadResult;
};
FrontEndData* ShippedData::data = nullptr;
FrontEndLoadError ShippedData::loadResult = FrontEndLoadError::None;

TEST_F(ShippedData, BlankTextMakesNoOutput) {
  EXPECT_TRUE(Pho("").empty());
  EXPECT_TRUE(Pho(" \t\r\n ").empty());
}

TEST_F(ShippedData, WorkedExampleShape) {
  const Lines lines = Pho("Olá, mundo.");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), ";");
  EXPECT_EQ(lines.back().substr(0, 3), "_ 3");  // the closing pause, without a pitch target
  EXPECT_EQ(lines.back().find(' ', 2), std::string::npos);
  EXPECT_EQ(Labels(lines), "_ o l a _ m un d w _ _ _ ");  // ".", boundary, closing
  for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_FALSE(lines[i].empty()) << i;
  // The stressed a of Olá carries the 80 % target.
  bool stressedTarget = false;
  for (const auto& line : lines) {
    if (line.rfind("a ", 0) == 0 && line.find(" 80 ") != std::string::npos) stressedTarget = true;
  }
  EXPECT_TRUE(stressedTarget);
}

TEST_F(ShippedData, TranscriptionsOfCommonWords) {
  EXPECT_EQ(Labels(Pho("casas")), "_ k a z a s2 _ ");
  EXPECT_EQ(Labels(Pho("carro caro mar")), "_ k a rr w k a r w m a r2 _ ");
  EXPECT_EQ(Labels(Pho("pão mãe bem")), "_ p @ m an y b en _ ");
  EXPECT_EQ(Labels(Pho("filho ninho chave")), "_ f i lh w n i nh w x a v y _ ");
  EXPECT_EQ(Labels(Pho("as amigas")), "_ a z a m i g a s2 _ ");
  EXPECT_EQ(Labels(Pho("táxi")), "_ t a k s i _ ");  // through the exception file
  EXPECT_EQ(Labels(Pho("Sr. Silva")), "_ s e nh o r2 s i w v a _ ");
  EXPECT_EQ(Labels(Pho("2")), "_ d o y s2 _ ");
}

TEST_F(ShippedData, DurationFactorAndPitchFactor) {
  const Lines slow = Pho("casa", {1.0, 1.0});
  const Lines fast = Pho("casa", {0.5, 2.0});
  ASSERT_EQ(slow.size(), fast.size());
  std::istringstream a(slow[3]), b(fast[3]);
  std::string nameA, nameB;
  int msA = 0, msB = 0, posA = 0, posB = 0, hzA = 0, hzB = 0;
  a >> nameA >> msA >> posA >> hzA;
  b >> nameB >> msB >> posB >> hzB;
  EXPECT_EQ(nameA, "k");
  EXPECT_EQ(msB, msA / 2);
  EXPECT_NEAR(hzB, 2 * hzA, 1);
}

TEST_F(ShippedData, EveryRuleOutputIsAVoiceLabelWithADuration) {
  for (const auto& bucket : data->rules.buckets) {
    for (const RuleRecord& rule : bucket) {
      std::string phoneme;
      std::istringstream parts(rule.output);
      while (std::getline(parts, phoneme, '&')) {
        EXPECT_TRUE(VoiceLabels.count(phoneme)) << rule.focus << " -> " << phoneme;
      }
      EXPECT_LE(rule.output.size(), 11u) << rule.focus;
    }
  }
  for (const auto& label : VoiceLabels) {
    bool found = false;
    for (const auto& entry : data->prosody.durations) found = found || entry.name == label;
    EXPECT_TRUE(found) << label;
    for (const auto& other : VoiceLabels) EXPECT_TRUE(data->diphones.Contains(label + "-" + other));
  }
}

TEST_F(ShippedData, ShippedAbbreviationsAndKeys) {
  EXPECT_EQ(LookupAbbreviation(data->abbreviations, "Sr"), "senhor");
  EXPECT_EQ(LookupAbbreviation(data->abbreviations, W("PÁG")), W("página"));
  EXPECT_EQ(KeyOfWord(data->prosody, "Onde"), "QW");
  EXPECT_EQ(data->prosody.hertzSteps[5], 100);
}

TEST_F(ShippedData, QuestionsRiseAndStatementsFall) {
  auto lastHertz = [&](std::string_view text) {
    int hertz = 0;
    for (const auto& line : Pho(text)) {
      std::istringstream in(line);
      std::string name;
      int ms = 0, position = 0, hz = 0;
      if (line[0] != ';' && in >> name >> ms >> position >> hz && name != "_") hertz = hz;
    }
    return hertz;
  };
  EXPECT_GT(lastHertz("Vamos remar?"), lastHertz("Vamos remar."));
}

TEST(FrontEndFiles, NamesAndLoadErrors) {
  const FrontEndFiles files = FrontEndFilesIn("/x/y", "portug");
  EXPECT_EQ(files.rules, "/x/y/portug.nrl");
  EXPECT_EQ(files.diphones, "/x/y/portug.dfn");
  FrontEndData data;
  EXPECT_EQ(LoadFrontEndData(files, data), FrontEndLoadError::Rules);
  EXPECT_EQ(FrontEndLoadErrorText(FrontEndLoadError::Prosody), W("Erro no arquivo de prosódia"));
}

TEST(TextCodec, DataLinesAndIntegers) {
  EXPECT_EQ(SplitDataLines("a=\xC3\xA9\r\nb\n\nc"), (Lines{"a=\xE9", "b", "", "c"}));
  EXPECT_EQ(SplitDataLines("\xE9\n"), (Lines{"\xE9"}));
  EXPECT_EQ(SplitDataLines("\xEF\xBB\xBF"
                           "a=b\n"),
            (Lines{"a=b"}));
  EXPECT_EQ(ParseInteger("-12"), -12);
  EXPECT_FALSE(ParseInteger("12a").has_value());
  EXPECT_FALSE(ParseInteger("-").has_value());
}

}  // namespace
}  // namespace mbrola_front
