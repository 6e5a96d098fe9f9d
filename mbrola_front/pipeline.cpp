// The Portuguese front end's pipeline from text to MBROLA phoneme lines.
#include "mbrola_front/pipeline.h"

#include "mbrola_front/text_codec.h"
#include "text/cp1252.h"
#include "text/files.h"

namespace mbrola_front {
FrontEndFiles FrontEndFilesIn(std::string_view folder, std::string_view base) {
  std::string prefix(folder);
  if (!prefix.empty() && !text::EndsWithSeparator(prefix)) prefix += '/';
  prefix += base;
  return {prefix + ".nrl", prefix + ".exc", prefix + ".abr", prefix + ".pro", prefix + ".dfn"};
}

FrontEndLoadError LoadFrontEndData(const FrontEndFiles& files, FrontEndData& data, FrontEndMessageSink messages) {
  data.exceptions.entries.clear();
  if (!LoadRules(files.rules, data.rules) || !LoadExceptions(files.exceptions, data.exceptions)) {
    return FrontEndLoadError::Rules;
  }
  if (!LoadAbbreviations(files.abbreviations, data.abbreviations)) {
    return FrontEndLoadError::Abbreviations;
  }
  if (!LoadProsody(files.prosody, data.prosody, messages) || !LoadDiphoneList(files.diphones, data.diphones)) {
    return FrontEndLoadError::Prosody;
  }
  return FrontEndLoadError::None;
}

std::string FrontEndLoadErrorText(FrontEndLoadError error) {
  switch (error) {
    case FrontEndLoadError::Rules: return text::Utf8ToCp1252("Erro na base de dados de português");
    case FrontEndLoadError::Abbreviations: return "Erro no arquivo de abreviaturas";
    case FrontEndLoadError::Prosody: return text::Utf8ToCp1252("Erro no arquivo de prosódia");
    case FrontEndLoadError::None: break;
  }
  return {};
}

std::vector<std::string> TextToPhoLines(const FrontEndData& data, PhoLineState& state, std::string_view cp1252Text,
                                        SpeechFactors factors) {
  if (TrimText(cp1252Text).empty()) return {};
  const std::string text = NormaliseText(data.abbreviations, cp1252Text);
  std::vector<std::string> pho;
  {
    const auto words = ClassifyWords(data.prosody, text);
    const auto coded = AssignPitchCodes(data.prosody, words, PitchTable::Use);
    const auto phonemes = TranscribeList(data.rules, data.exceptions, coded);
    pho = BuildPhoLines(data.prosody, data.diphones, phonemes, factors.duration, factors.pitch, state);
  }
  std::vector<std::string> lines;
  lines.reserve(pho.size());
  for (size_t i = 0; i < pho.size(); ++i) {
    if (pho[i].empty() && i + 1 < pho.size()) continue;
    lines.push_back(std::move(pho[i]));
  }
  return lines;
}

}  // namespace mbrola_front
