// Any bytes as a rule file, then as text to translate with what was loaded.
#include "speech/translator.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  speech::Translator translator;
  speech::LoadTranslatorRulesFromText(translator, bytes);
  (void)speech::TranslateText(translator, bytes.substr(0, 512));
  (void)speech::TranslateText(translator, "casa maria rainha d'\xE1gua show sp caf\xE9 mal mar");
  return 0;
}
