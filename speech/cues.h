#pragma once
// Sound cues and waiting: the state the speech services share, recorded character and
// word sounds, the click and the tone, dial tones, and telling, waiting for and silencing
// whatever sounds.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "speech/wave.h"
#include "text/files.h"

namespace speech {

// Plays each character's sound in turn; stops before the next one once a key is waiting.
void SpellText(std::string_view text);
// Waits for engine speech, then plays the letters folder's "_<code>.wav" to its end.
void PlayCharSound(uint8_t code);
// Waits for engine speech, then plays a named sound ("_x": State().lettersFolder, else State().soundFolder)
// to its end. A missing file plays nothing.
void PlaySoundFile(std::string_view name);
// The short click (never time-compressed).
void PlayClick();
// The attention tone; discards keys typed ahead first.
void PlayTone();
// True while a recorded sound or engine speech plays; a waiting key stops all and answers false.
bool SpeechBusy();
// Waits, letting window messages through, until no sound or engine speech is playing or a
// key silenced it.
void WaitUntilSilent();
// When State().waitBeforeSound is set: waits until SpeechBusy is false, then clears the flag.
void WaitSpeech();
// Silences wave playback and the engine, sets State().stopRequested, wakes the host's wait.
// The waiting key stays queued.
void StopSpeech();
// Waits for and takes the next key, silences speech and plays the key's sound.
uint8_t ReadKeySpoken();
// Told the name of each recorded sound as it is played ("_65", "_DEL", "_vinte"; a number's
// words by the word), for a console that shows the player what is heard; nullptr: nobody.
using RecordedSoundListener = void (*)(std::string_view name);
void ListenToRecordedSounds(RecordedSoundListener listener);
void TellRecordedSound(std::string_view name);
// Telephone dial tones for '0'..'9', '#', '*' (dtmf_X); ',' pauses a second.
void PlayDialTones(std::string_view text);
// Waits for engine speech, plays a sound as the settings play it and waits until it has ended.
void PlaySoundBuffer(const Sound& sound);

// ---- recordings kept after their first use ----
struct KeptRecording {
  std::string found;  // the file read; empty when there was none
  text::FileStamp stamp;
  std::shared_ptr<const std::vector<uint8_t>> bytes;
};
// The recordings kept, by the Linux path asked for (speech's owner holds them, speech/state.h).
using KeptRecordings = std::unordered_map<std::string, KeptRecording>;

// The bytes of a recorded sound file (a path in Windows or Linux form, found without regard
// to case), read once and kept; every later use costs one look at the file's status, and a
// file that changed is read again. Nothing when the file cannot be read, or when it is
// larger than is worth keeping ('tooLarge' then says so and the caller reads the file).
std::shared_ptr<const std::vector<uint8_t>> RecordedFile(const std::string& path, bool& tooLarge);
// PlayWaveFile from the kept copy: the same blocks, the same stops and the same result.
int PlayRecordedFile(const std::string& path, PlaybackOptions options = ConfiguredPlayback());

}  // namespace speech
