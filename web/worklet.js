// The game's sound device in the page: plays the 16-bit stereo frames the game's mixer
// renders, and asks for more as it plays, so that it never holds more than one buffer of
// frames ahead (processorOptions.bufferFrames). A key silences the game at once; what the
// player then still hears is at most the quantum being played and this buffer.
//
// Messages from the page: {samples: Int16Array, generation} frames to play, rendered after
// the generation-th key; {mark: frame, generation} a key went down at that frame of the
// context's clock: a key silences the game, so the frames held and those rendered before
// the key are dropped (the worklet then reports, once the sound has stayed silent for a
// while, how long after the key the silence began); {record: bool}
// keeps what is played (mono) until {takeRecording: true} hands it back.
// Messages to the page: {need: frames}, {silenceAfterMark: frames}, {recording: Int16Array},
// {underruns: count} with every need after sound ran short.

const SilentStretchFrames = 128 * 32;  // silence that counts as "the sound has stopped"
const LongestRecordingSeconds = 600;

class QuelvarOutput extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.bufferFrames = options.processorOptions.bufferFrames;
    this.chunks = [];        // Int16Arrays of interleaved stereo frames, oldest first
    this.offset = 0;         // frames already played of chunks[0]
    this.queuedFrames = 0;   // frames in chunks not yet played
    this.askedFrames = 0;    // frames asked for and not yet arrived
    this.underruns = 0;
    this.playing = false;    // frames arrived since the last underrun
    this.mark = -1;          // the frame of the last key, while its silence is awaited
    this.generation = 0;     // the keys so far
    this.silentSince = -1;
    this.recording = null;
    this.recordedFrames = 0;
    this.port.onmessage = (event) => this.receive(event.data);
    this.ask();
  }

  receive(message) {
    if (message.samples) {
      const frames = message.samples.length / 2;
      this.askedFrames = Math.max(0, this.askedFrames - frames);
      if (message.generation < this.generation) {
        this.ask();
        return;
      }
      this.chunks.push(message.samples);
      this.queuedFrames += frames;
    } else if (message.mark !== undefined) {
      this.mark = message.mark;
      this.generation = message.generation;
      this.chunks = [];
      this.offset = 0;
      this.queuedFrames = 0;
      this.playing = false;
        this.silentSince = -1;
    } else if (message.record !== undefined) {
      this.recording = message.record ? [] : null;
      this.recordedFrames = 0;
    } else if (message.takeRecording) {
      const parts = this.recording || [];
      const all = new Int16Array(parts.reduce((n, part) => n + part.length, 0));
      let at = 0;
      for (const part of parts) {
        all.set(part, at);
        at += part.length;
      }
      this.port.postMessage({recording: all}, [all.buffer]);
      this.recording = [];
      this.recordedFrames = 0;
    }
  }

  // Asks for what keeps the buffer full, in whole quanta.
  ask() {
    const missing = this.bufferFrames - this.queuedFrames - this.askedFrames;
    if (missing < 128) return;
    const frames = missing - (missing % 128);
    this.askedFrames += frames;
    this.port.postMessage({need: frames});
  }

  process(inputs, outputs) {
    const output = outputs[0];
    const left = output[0], right = output[1] || output[0];
    const frames = left.length;
    let silent = true;
    let mono = this.recording ? new Int16Array(frames) : null;
    for (let i = 0; i < frames; ++i) {
      if (this.chunks.length === 0) {
        left[i] = right[i] = 0;
        if (this.playing) {
          this.playing = false;
          ++this.underruns;
        }
        continue;
      }
      const chunk = this.chunks[0];
      const l = chunk[2 * this.offset], r = chunk[2 * this.offset + 1];
      left[i] = l / 32768;
      right[i] = r / 32768;
      if (l !== 0 || r !== 0) silent = false;
      if (mono) mono[i] = (l + r) >> 1;
      this.playing = true;
      --this.queuedFrames;
      if (++this.offset * 2 >= chunk.length) {
        this.chunks.shift();
        this.offset = 0;
      }
    }
    if (mono && this.recordedFrames < LongestRecordingSeconds * sampleRate) {
      this.recording.push(mono);
      this.recordedFrames += frames;
    }
    this.watchSilence(silent, frames);
    this.ask();
    return true;
  }

  // After a key: the frames from the key to the start of the silence that followed it.
  watchSilence(silent, frames) {
    if (this.mark < 0 || currentFrame + frames <= this.mark) return;
    if (!silent) {
      this.silentSince = -1;
      return;
    }
    if (this.silentSince < 0) this.silentSince = Math.max(currentFrame, this.mark);
    if (currentFrame + frames - this.silentSince >= SilentStretchFrames) {
      this.port.postMessage({silenceAfterMark: this.silentSince - this.mark, underruns: this.underruns});
      this.mark = -1;
    }
  }
}

registerProcessor('quelvar-output', QuelvarOutput);
