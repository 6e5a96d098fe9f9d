// The installed engines on Windows. SAPI 5 objects over the system's voices (COM); there
// is no SDK to build a SAPI 4 client against, so EngineKind::Sapi4 finds no engine. A voice that
// cannot speak (Wine's answers E_NOTIMPL) is not created, so the adapter's open fails and
// the built-in voice speaks.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"
#include "text/cp1252.h"

// After our own headers, whose names some of its macros share.
#include <windows.h>

#include <sapi.h>  // needs windows.h first

namespace speech {
namespace {

// The stream format "WAVEFORMATEX follows" (SPDFID_WaveFormatEx, which no import library
// here defines).
constexpr GUID WaveFormatExId = {0xC31ADBAE, 0x527F, 0x4FF5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};

// Where the system lists its voices.
constexpr const wchar_t* VoicesCategory = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices";

// One reference to a COM interface, released when dropped.
template <typename Interface>
struct ComPointer {
  Interface* p = nullptr;
  ComPointer() = default;
  explicit ComPointer(Interface* given) : p(given) {}
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  ~ComPointer() {
    if (p) p->Release();
  }
  Interface* operator->() const { return p; }
};

bool ComReady() {
  static const bool ready = [] {
    const HRESULT result = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
  }();
  return ready;
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

class ComToken final : public sapi::ISpeechObjectToken {
 public:
  explicit ComToken(ISpObjectToken* token) : token_(token) {}
  std::string GetDescription() override {
    wchar_t* description = nullptr;
    if (FAILED(token_->GetStringValue(nullptr, &description)) || !description) return {};
    std::string utf8 = text::NarrowFileName(description);
    ::CoTaskMemFree(description);
    return utf8;
  }
  ISpObjectToken* Get() const { return token_.p; }

 private:
  ComPointer<ISpObjectToken> token_;
};

class ComTokens final : public sapi::ISpeechObjectTokens {
 public:
  std::vector<std::shared_ptr<ComToken>> tokens;
  int32_t Count() override { return static_cast<int32_t>(tokens.size()); }
  sapi::HResult Item(int32_t index, std::shared_ptr<sapi::ISpeechObjectToken>& token) override {
    if (index < 0 || index >= Count()) return sapi::HrInvalidArgument;
    token = tokens[static_cast<std::size_t>(index)];
    return sapi::HrOk;
  }
};

class ComFileStream final : public sapi::ISpeechFileStream {
 public:
  sapi::HResult Open(std::u16string_view fileName, int32_t, bool) override {
    ISpStream* created = nullptr;
    HRESULT result =
        ::CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_ISpStream, reinterpret_cast<void**>(&created));
    if (FAILED(result)) return result;
    stream_.p = created;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 44100;
    return stream_->BindToFile(Wide(fileName).c_str(), SPFM_CREATE_ALWAYS, &WaveFormatExId, &format, 0);
  }
  sapi::HResult Close() override { return stream_.p ? stream_->Close() : sapi::HrOk; }
  ISpStream* Get() const { return stream_.p; }

 private:
  ComPointer<ISpStream> stream_;
};

class ComVoice final : public sapi::ISpeechVoice {
 public:
  explicit ComVoice(ISpVoice* voice) : voice_(voice), done_(voice->SpeakCompleteEvent()) {
    watcher_ = std::thread([this] { Watch(); });
  }
  ~ComVoice() override {
    stopping_ = true;
    watcher_.join();
  }

  sapi::HResult SetEventInterests(int32_t interests) override {
    return voice_->SetInterest(static_cast<ULONGLONG>(static_cast<uint32_t>(interests)),
                               static_cast<ULONGLONG>(static_cast<uint32_t>(interests)));
  }
  sapi::HResult GetVoices(std::u16string_view, std::u16string_view,
                          std::shared_ptr<sapi::ISpeechObjectTokens>& tokens) override {
    ISpObjectTokenCategory* category = nullptr;
    HRESULT result = ::CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_ISpObjectTokenCategory,
                                        reinterpret_cast<void**>(&category));
    if (FAILED(result)) return result;
    ComPointer<ISpObjectTokenCategory> owned(category);
    if (FAILED(result = category->SetId(VoicesCategory, FALSE))) return result;
    IEnumSpObjectTokens* found = nullptr;
    if (FAILED(result = category->EnumTokens(nullptr, nullptr, &found))) return result;
    ComPointer<IEnumSpObjectTokens> each(found);
    auto list = std::make_shared<ComTokens>();
    ISpObjectToken* token = nullptr;
    while (each->Next(1, &token, nullptr) == S_OK) list->tokens.push_back(std::make_shared<ComToken>(token));
    tokens = std::move(list);
    return sapi::HrOk;
  }
  sapi::HResult SetVoice(std::shared_ptr<sapi::ISpeechObjectToken> token) override {
    auto* ours = dynamic_cast<ComToken*>(token.get());
    return ours ? voice_->SetVoice(ours->Get()) : sapi::HrInvalidArgument;
  }
  sapi::HResult SetRate(int32_t rate) override { return voice_->SetRate(rate); }
  sapi::HResult SetAudioOutputStream(std::shared_ptr<sapi::ISpeechFileStream> stream) override {
    auto* ours = dynamic_cast<ComFileStream*>(stream.get());
    if (!ours || !ours->Get()) return sapi::HrInvalidArgument;
    keptStream_ = std::move(stream);
    return voice_->SetOutput(ours->Get(), TRUE);
  }
  sapi::HResult SpeakCompleteEvent(sapi::WaitHandle*& handle) override {
    handle = &speakDone_;
    return sapi::HrOk;
  }
  sapi::HResult Speak(std::u16string_view text, int32_t flags, uint32_t* streamNumber) override {
    speakDone_.Reset();
    speaking_ = true;
    ULONG number = 0;
    const HRESULT result = voice_->Speak(Wide(text).c_str(), static_cast<DWORD>(flags), &number);
    if (FAILED(result)) {
      speaking_ = false;
      speakDone_.Set();
    }
    if (streamNumber) *streamNumber = number;
    return result;
  }
  sapi::HResult PutPropertyByRef(std::string_view name, const sapi::PropertyValue& value) override {
    if (name == "Voice" && std::holds_alternative<std::shared_ptr<sapi::ISpeechObjectToken>>(value)) {
      return SetVoice(std::get<std::shared_ptr<sapi::ISpeechObjectToken>>(value));
    }
    if (name == "AudioOutputStream" && std::holds_alternative<std::shared_ptr<sapi::ISpeechFileStream>>(value)) {
      return SetAudioOutputStream(std::get<std::shared_ptr<sapi::ISpeechFileStream>>(value));
    }
    return sapi::HrInvalidArgument;
  }

 private:
  // The system sets its own event when all is said; ours follows it.
  void Watch() {
    while (!stopping_) {
      if (::WaitForSingleObject(done_, 20) == WAIT_OBJECT_0 && speaking_.exchange(false)) speakDone_.Set();
    }
  }

  ComPointer<ISpVoice> voice_;
  HANDLE done_;
  sapi::WaitHandle speakDone_;
  std::atomic<bool> speaking_{false}, stopping_{false};
  std::shared_ptr<sapi::ISpeechFileStream> keptStream_;
  std::thread watcher_;
};

// A voice object, or nothing when the system has none that can speak.
std::shared_ptr<sapi::ISpeechVoice> CreateVoice() {
  if (!ComReady()) return nullptr;
  ISpVoice* voice = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice, reinterpret_cast<void**>(&voice)))) {
    return nullptr;
  }
  // Saying nothing at once tells a voice that can speak from one that cannot.
  if (FAILED(voice->Speak(L"", SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr))) {
    voice->Release();
    return nullptr;
  }
  return std::make_shared<ComVoice>(voice);
}

}  // namespace

sapi::Sapi4Objects InstalledSapi4Objects() { return {}; }

sapi::Sapi5Objects InstalledSapi5Objects(bool) {
  return {CreateVoice, []() -> std::shared_ptr<sapi::ISpeechFileStream> {
            return ComReady() ? std::make_shared<ComFileStream>() : nullptr;
          }};
}

}  // namespace speech
