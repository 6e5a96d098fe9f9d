#include "speech/sapi/engines.h"

#include <memory>

#include "speech/engine.h"
#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"

namespace speech {

void RegisterSapiEngines() {
  SetEngine(EngineKind::Sapi5, std::make_unique<Sapi5Engine>(Sapi5Engine::Binding::Early));
  SetEngine(EngineKind::Sapi5LateBound, std::make_unique<Sapi5Engine>(Sapi5Engine::Binding::Late));
  SetEngine(EngineKind::Sapi4, std::make_unique<Sapi4Engine>());
}

}  // namespace speech
