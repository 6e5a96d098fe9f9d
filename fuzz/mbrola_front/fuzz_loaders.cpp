// One source for the five loader fuzzers; FUZZ_<LOADER> picks the loader. Each input is a
// whole data file; the loaded tables are then used on a short text so that what a loader
// accepts is also safe for the pipeline.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mbrola_front/pipeline.h"
#include "mbrola_front/text_codec.h"

namespace {

void Quiet(std::string_view, std::string_view) {}

const char SampleText[] = "Ol\xE1, Sr. Silva! 3\xBA caf\xE9 na rua 25... AS \xC1GUAS?";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace mbrola_front;
  const auto lines = SplitDataLines(std::string_view(reinterpret_cast<const char*>(bytes), size));
  FrontEndData data;
  LoadRuleLines({"(A)=a", "(S)%=s2", "(S)=s", "(L)=l", "(O)=o"}, data.rules);
  LoadDiphoneLines({"_ a", "a _"}, data.diphones);
#if defined(FUZZ_ABBREVIATIONS)
  LoadAbbreviationLines(lines, data.abbreviations);
#elif defined(FUZZ_RULES)
  LoadRuleLines(lines, data.rules);
#elif defined(FUZZ_EXCEPTIONS)
  LoadExceptionLines(lines, data.exceptions);
#elif defined(FUZZ_PROSODY)
  if (!LoadProsodyLines(lines, data.prosody, Quiet)) return 0;
#elif defined(FUZZ_DIPHONES)
  LoadDiphoneLines(lines, data.diphones);
#endif
  PhoLineState state;
  (void)TextToPhoLines(data, state, SampleText, {0.8, 1.0});
  return 0;
}
