// Any bytes as an exception file, then the words of the file itself looked up.
#include "translator/translator.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  translator::Translator translator;
  translator::LoadTranslatorRulesFromText(translator, "(A)=a\n(S)#=z\n(S)=s\n(M)=m\n");
  translator::LoadTranslatorExceptionsFromText(translator, bytes);
  (void)translator::TranslateText(translator, bytes.substr(0, 512));
  return 0;
}
