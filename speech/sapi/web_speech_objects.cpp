// The installed engines in a web page. SAPI 5 objects over the browser's own voices (the
// Web Speech API, through web/library.js): the voices are the browser's, Brazilian
// Portuguese first, then other Portuguese ones; the speak-complete handle is set when the
// page reports the end of what was said. There is no SAPI 4 engine in a page.
//
// On the page's screen-reader road the one voice is the player's own reader: the page
// puts each text in a live region (the story's lines, which the screen also shows, apart
// from the answers to a key) and has said it at once. The recorded sounds the game plays
// (a character, an editing sound, the words of the time) go to the page by name too.

#include <emscripten.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/backends/web/web_page.h"
#include "speech/cues.h"
#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"
#include "text/cp1252.h"

extern "C" {
// web/library.js: the browser's voices, Portuguese first; their names (UTF-8, to be
// freed); speaking with one of them at a rate of -10..10, cancelling first when 'purge' is
// set ('written': the text is on the screen as it is said), which gives 0 when it cannot
// speak, 1 when the page will report the end, 2 when the text is already said.
int quelvar_web_voice_count();
char* quelvar_web_voice_name(int index);
int quelvar_web_speak(const char* utf8, int voice, int rate, int purge, int written);
// A recorded sound played, by name (UTF-8).
void quelvar_web_cue(const char* utf8);
}

namespace speech {
namespace {

class WebVoiceToken final : public sapi::ISpeechObjectToken {
 public:
  explicit WebVoiceToken(int index) : index_(index) {}
  std::string GetDescription() override {
    char* name = quelvar_web_voice_name(index_);
    std::string description = name ? name : "";
    std::free(name);
    return description;
  }
  int Index() const { return index_; }

 private:
  int index_;
};

class WebVoiceTokens final : public sapi::ISpeechObjectTokens {
 public:
  int32_t Count() override { return quelvar_web_voice_count(); }
  sapi::HResult Item(int32_t index, std::shared_ptr<sapi::ISpeechObjectToken>& token) override {
    if (index < 0 || index >= Count()) return sapi::HrInvalidArgument;
    token = std::make_shared<WebVoiceToken>(index);
    return sapi::HrOk;
  }
};

class WebVoice;
WebVoice* gSpeaking = nullptr;  // the voice whose end the page will report

class WebVoice final : public sapi::ISpeechVoice {
 public:
  ~WebVoice() override {
    if (gSpeaking == this) gSpeaking = nullptr;
  }
  sapi::HResult SetEventInterests(int32_t) override { return sapi::HrOk; }
  sapi::HResult GetVoices(std::u16string_view, std::u16string_view,
                          std::shared_ptr<sapi::ISpeechObjectTokens>& tokens) override {
    tokens = std::make_shared<WebVoiceTokens>();
    return sapi::HrOk;
  }
  sapi::HResult SetVoice(std::shared_ptr<sapi::ISpeechObjectToken> token) override {
    auto* ours = dynamic_cast<WebVoiceToken*>(token.get());
    if (!ours) return sapi::HrInvalidArgument;
    voice_ = ours->Index();
    return sapi::HrOk;
  }
  sapi::HResult SetRate(int32_t rate) override {
    rate_ = rate;
    return sapi::HrOk;
  }
  // A page has no files to speak into.
  sapi::HResult SetAudioOutputStream(std::shared_ptr<sapi::ISpeechFileStream>) override {
    return sapi::HrNotImplemented;
  }
  sapi::HResult SpeakCompleteEvent(sapi::WaitHandle*& handle) override {
    handle = &done_;
    return sapi::HrOk;
  }
  sapi::HResult Speak(std::u16string_view text, int32_t flags, uint32_t* streamNumber) override {
    if (streamNumber) *streamNumber = 1;
    std::string utf8;
    for (const char16_t c : text) text::AppendUtf8(utf8, c);
    const bool purge = flags & sapi::SpeakPurgeBeforeSpeak;
    // A purge with nothing to say only silences.
    const bool silent = utf8.find_first_not_of(' ') == std::string::npos;
    if (silent && purge) {
      quelvar_web_speak("", voice_, rate_, 1, 0);
      done_.Set();
      return sapi::HrOk;
    }
    done_.Reset();
    gSpeaking = this;
    const int spoken =
        quelvar_web_speak(utf8.c_str(), voice_, rate_, purge ? 1 : 0, platform::WebJustWrote(utf8) ? 1 : 0);
    if (spoken != 1) done_.Set();
    return spoken == 0 ? sapi::HrFail : sapi::HrOk;
  }
  sapi::HResult PutPropertyByRef(std::string_view name, const sapi::PropertyValue& value) override {
    if (name == "Voice" && std::holds_alternative<std::shared_ptr<sapi::ISpeechObjectToken>>(value)) {
      return SetVoice(std::get<std::shared_ptr<sapi::ISpeechObjectToken>>(value));
    }
    return sapi::HrInvalidArgument;
  }

  void Ended() { done_.Set(); }

 private:
  int voice_ = 0;
  int rate_ = 0;
  sapi::WaitHandle done_;
};

void TellPage(std::string_view cp1252) { quelvar_web_cue(text::Cp1252ToUtf8(cp1252).c_str()); }

std::shared_ptr<sapi::ISpeechVoice> CreateVoice() {
  if (quelvar_web_voice_count() < 1) return nullptr;
  return std::make_shared<WebVoice>();
}

}  // namespace

sapi::Sapi4Objects InstalledSapi4Objects() { return {}; }

sapi::Sapi5Objects InstalledSapi5Objects(bool) {
  ListenToRecordedSounds(TellPage);
  return {CreateVoice, nullptr};
}

}  // namespace speech

// The page: everything given to the browser's voice has been said (or cancelled).
extern "C" EMSCRIPTEN_KEEPALIVE void quelvar_web_speech_ended() {
  if (speech::gSpeaking) speech::gSpeaking->Ended();
}
