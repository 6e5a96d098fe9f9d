// Any bytes as a rule file, then as text to translate with what was loaded.
#include "translator/translator.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  translator::Translator translator;
  translator::LoadTranslatorRulesFromText(translator, bytes);
  (void)translator::TranslateText(translator, bytes.substr(0, 512));
  (void)translator::TranslateText(translator, "casa maria rainha d'\xE1gua show sp caf\xE9 mal mar");
  return 0;
}
