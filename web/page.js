// The page around the game: the start screen (how to hear the game, "Começar"), the 80x25
// screen as rows of coloured text, the keys, the live region for the player's screen
// reader, the browser's voices, the sound device (worklet.js), the game's voice fetched
// after the first screen, the settings kept in the browser's storage and the transcript
// offered as a download. The program calls in through Module.quelvarPage (library.js).
'use strict';

(function () {
  const Columns = 80, Rows = 25;
  // Frames the worklet keeps ahead of what it plays: 1024 at 48 kHz is 21 ms.
  const BufferFrames = 1024;
  const SettingsFolder = '/tamire';
  const TranscriptFile = '/tmp/transcricao.txt';
  const RoadKey = 'quelvar.caminho';
  // The story lines kept in the live region; older ones leave it.
  const KeptStoryLines = 40;

  const screen = document.getElementById('screen');
  const story = document.getElementById('story');
  const status = document.getElementById('status');
  const begin = document.getElementById('begin');
  const download = document.getElementById('transcript');
  const roads = Array.from(document.querySelectorAll('input[name="road"]'));

  let running = false;     // the game runs
  let road = null;
  let audio = null;        // {context, node}
  let voices = [];         // the browser's voices, Portuguese first
  const speaking = {generation: 0, pending: 0};  // what the browser's voice has still to say
  let voicePackage = null; // the promise of the game's voice in the file system
  const rowTexts = [], rowColours = [];
  let caretAt = null;      // {column, row} while the game waits for a key
  let settingsTimer = 0;
  const soundWaiters = {recording: [], silence: []};

  // ---- the screen ----

  const rowElements = [];
  for (let row = 0; row < Rows; ++row) {
    const element = document.createElement('div');
    element.className = 'row';
    screen.appendChild(element);
    rowElements.push(element);
    rowTexts.push(' '.repeat(Columns));
    rowColours.push(Uint32Array.from({length: 2 * Columns}, (_, i) => (i % 2 ? 0x000000 : 0xC0C0C0)));
  }

  function hex(colour) { return '#' + colour.toString(16).padStart(6, '0'); }

  // One span per run of cells of the same colours; the cell under the caret is a run of its own.
  function renderRow(row) {
    const text = rowTexts[row], colours = rowColours[row];
    const element = rowElements[row];
    const spans = [];
    let start = 0;
    const caretColumn = caretAt && caretAt.row === row ? caretAt.column : -1;
    for (let x = 1; x <= Columns; ++x) {
      const cut = x === Columns || x === caretColumn || x - 1 === caretColumn ||
                  colours[2 * x] !== colours[2 * start] || colours[2 * x + 1] !== colours[2 * start + 1];
      if (!cut) continue;
      const span = document.createElement('span');
      span.textContent = text.slice(start, x);
      span.style.color = hex(colours[2 * start]);
      span.style.backgroundColor = hex(colours[2 * start + 1]);
      // Cells on a coloured ground (the title rows) stay apart in the system's contrast colours.
      if (colours[2 * start + 1] !== 0) span.className = 'ground';
      if (start === caretColumn) span.classList.add('caret');
      spans.push(span);
      start = x;
    }
    element.replaceChildren(...spans);
  }

  // ---- what the program calls (library.js) ----

  const page = {
    drawRow(row, text, colours) {
      rowTexts[row] = text;
      rowColours[row] = colours;
      renderRow(row);
    },
    caret(visible, column, row) {
      const before = caretAt;
      caretAt = visible ? {column, row} : null;
      // How often the game has waited for a key with none queued: a script that types as a
      // patient typist does gives the next key only then.
      if (visible && !before) screen.dataset.keyWaits = Number(screen.dataset.keyWaits || 0) + 1;
      if (before) renderRow(before.row);
      if (caretAt && (!before || before.row !== row)) renderRow(row);
    },
    title(text) { document.title = text; },
    announce(line) {
      if (road !== 'reader') return;
      const paragraph = document.createElement('p');
      paragraph.textContent = line;
      story.appendChild(paragraph);
      while (story.childElementCount > KeptStoryLines) story.firstElementChild.remove();
    },
    audioRate() { return audio ? audio.context.sampleRate : 0; },
    audioBufferFrames() { return BufferFrames; },
    voices() { return voices; },
    speak(text, index, rate, purge) {
      const synth = window.speechSynthesis;
      if (!synth) return false;
      if (purge) {
        ++speaking.generation;
        speaking.pending = 0;
        synth.cancel();
      }
      if (!text) return true;
      const utterance = new SpeechSynthesisUtterance(text);
      const voice = voices[index];
      if (voice) utterance.voice = voice;
      utterance.lang = voice ? voice.lang : 'pt-BR';
      utterance.rate = Math.pow(2, rate / 10);  // -10..10: half to twice the voice's rate
      const generation = speaking.generation;
      ++speaking.pending;
      utterance.onend = utterance.onerror = () => {
        if (generation !== speaking.generation || --speaking.pending > 0) return;
        if (running) Module._quelvar_web_speech_ended();
      };
      synth.speak(utterance);
      return true;
    },
  };

  // ---- the browser's voices ----

  function portugueseRank(voice) {
    const lang = (voice.lang || '').toLowerCase().replace('_', '-');
    if (lang === 'pt-br') return 0;
    if (lang.startsWith('pt')) return 1;
    return 2;
  }

  function readVoices() {
    if (!window.speechSynthesis) return;
    voices = window.speechSynthesis.getVoices().slice().sort((a, b) => portugueseRank(a) - portugueseRank(b));
    const browserRoad = roads.find((input) => input.value === 'browser');
    browserRoad.disabled = voices.length === 0;
    document.getElementById('browser-note').textContent =
        voices.length === 0 ? ' (este navegador não tem vozes)' :
        portugueseRank(voices[0]) === 0 ? '' : ' (sem voz em português do Brasil)';
    chooseRoad();
  }

  // The road the player chose last time; else the browser's voice where it speaks
  // Brazilian Portuguese, else ours.
  function chooseRoad() {
    if (running) return;
    let wanted = localStorage.getItem(RoadKey);
    if (!roads.some((input) => input.value === wanted && !input.disabled)) {
      wanted = voices.length > 0 && portugueseRank(voices[0]) === 0 ? 'browser' : 'ours';
    }
    roads.forEach((input) => { input.checked = input.value === wanted; });
  }

  // ---- the game's voice, fetched after the first screen ----

  // voice.json lists the files of voice.data ([path, offset, size]); they go under /quelvar.
  let voiceFetch = null;    // ends the voice's download when another road is chosen
  function loadVoice() {
    if (voicePackage) return voicePackage;
    voiceFetch = new AbortController();
    const signal = voiceFetch.signal;
    voicePackage = (async () => {
      const list = await (await fetch('voice.json', {signal})).json();
      const response = await fetch('voice.data', {signal});
      if (!response.ok) throw new Error('voice.data: ' + response.status);
      const total = Number(response.headers.get('Content-Length')) || list.size;
      const data = new Uint8Array(total);
      const reader = response.body.getReader();
      let received = 0;
      for (;;) {
        const {done, value} = await reader.read();
        if (done) break;
        data.set(value, received);
        received += value.length;
        voiceProgress(received / total);
      }
      await runtimeReady;
      for (const [path, offset, size] of list.files) {
        const folder = path.slice(0, path.lastIndexOf('/'));
        Module.FS.mkdirTree('/quelvar/' + folder);
        Module.FS.writeFile('/quelvar/' + path, data.subarray(offset, offset + size));
      }
    })();
    voicePackage.catch(() => { voicePackage = null; });
    return voicePackage;
  }

  function dropVoice() {
    if (voiceFetch) voiceFetch.abort();
    voiceFetch = null;
  }

  let shownPercent = -1;
  function voiceProgress(fraction) {
    const percent = Math.floor(fraction * 10) * 10;
    if (!waitingForVoice || percent === shownPercent) return;
    shownPercent = percent;
    status.textContent = 'Carregando a voz do jogo: ' + percent + '%';
  }
  let waitingForVoice = false;

  // ---- sound ----

  // Fetched with the page, so that the game starts with the network gone.
  const workletSource = fetch('worklet.js').then((response) => response.blob())
                                           .then((blob) => new Blob([blob], {type: 'text/javascript'}));
  workletSource.catch(() => {});

  async function startAudio() {
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextClass) return null;
    const context = new AudioContextClass({latencyHint: 'interactive'});
    try {
      await context.audioWorklet.addModule(URL.createObjectURL(await workletSource));
    } catch (error) {
      console.warn('quelvar: no AudioWorklet:', error);
      context.close();
      return null;
    }
    const node = new AudioWorkletNode(context, 'quelvar-output', {
      numberOfInputs: 0, outputChannelCount: [2], processorOptions: {bufferFrames: BufferFrames}});
    node.port.onmessage = (event) => heard(event.data, node);
    node.connect(context.destination);
    await context.resume();
    return {context, node};
  }

  function heard(message, node) {
    if (message.need) {
      let samples;
      if (running) {
        const at = Module._quelvar_web_render(message.need) >> 1;
        samples = Module.HEAP16.slice(at, at + 2 * message.need);
      } else {
        samples = new Int16Array(2 * message.need);
      }
      node.port.postMessage({samples}, [samples.buffer]);
    } else if (message.recording) {
      soundWaiters.recording.splice(0).forEach((resolve) => resolve(message.recording));
    } else if (message.silenceAfterMark !== undefined) {
      const figure = {ms: 1000 * message.silenceAfterMark / audio.context.sampleRate, underruns: message.underruns};
      soundWaiters.silence.splice(0).forEach((resolve) => resolve(figure));
    }
  }

  // ---- keys ----

  // Key positions (event.code) and their Windows virtual keys. Letters go by position, so
  // the Braille keys S D F J K L stay put on every layout.
  const NamedKeys = {
    Backspace: 0x08, Tab: 0x09, Enter: 0x0D, NumpadEnter: 0x0D, Escape: 0x1B, Space: 0x20,
    PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24,
    ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2D, Delete: 0x2E,
    Semicolon: 0xBA, Equal: 0xBB, Comma: 0xBC, Minus: 0xBD, Period: 0xBE, Slash: 0xBF, Backquote: 0xC0,
    BracketLeft: 0xDB, Backslash: 0xDC, BracketRight: 0xDD, Quote: 0xDE, IntlBackslash: 0xE2, IntlRo: 0xC1,
  };
  const Shift = 1, Ctrl = 2, Alt = 4;
  // What the game does with Ctrl: these letters, and the editing keys.
  const CtrlLetters = new Set(['C', 'D', 'K', 'L', 'S', 'U', 'V', 'Y']);
  const CtrlKeys = new Set([0x08, 0x0D, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0xDC]);
  // Function keys the game uses alone, with Ctrl, and with Ctrl+Shift or Ctrl+Alt.
  const FunctionKeys = new Set([1, 4, 5, 6, 8, 12]);
  const CtrlFunctionKeys = new Set([1, 4, 5, 8, 9, 11]);
  const ChordFunctionKeys = new Set([9, 11, 12]);
  // Chords the browser keeps for itself (it never lets the page have them): Alt+Shift with
  // the same key stands for each, as Ctrl+Shift stands for the Ctrl+Alt chords that
  // desktops keep.
  const BrowserKeeps = new Set(['KeyW', 'KeyT', 'KeyN', 'F4', 'PageUp', 'PageDown', 'Tab']);

  const Cp1252High = '€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ';
  function cp1252(character) {
    const code = character.codePointAt(0);
    if (character.length !== 1) return -1;
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return code;
    const at = Cp1252High.indexOf(character);
    return at >= 0 ? 0x80 + at : -1;
  }

  function virtualKey(code) {
    if (/^Key[A-Z]$/.test(code)) return code.charCodeAt(3);
    if (/^Digit[0-9]$/.test(code)) return code.charCodeAt(5);
    if (/^F([1-9]|1[0-2])$/.test(code)) return 0x6F + Number(code.slice(1));
    return NamedKeys[code] || 0;
  }

  // The key as the game takes it ({key, modifiers, character}), or nothing when the game
  // has no use for it and the browser keeps it.
  function gameKey(event) {
    if (event.metaKey || event.isComposing) return null;
    let modifiers = (event.shiftKey ? Shift : 0) | (event.ctrlKey ? Ctrl : 0) | (event.altKey ? Alt : 0);
    let code = event.code;
    if (modifiers === (Alt | Shift) && BrowserKeeps.has(code)) modifiers = Ctrl;  // the twins
    const key = virtualKey(code);
    const typed = event.key.length <= 2 ? cp1252(event.key) : -1;
    // AltGr (Ctrl+Alt on some systems) types a character of its own.
    if (typed >= 32 && event.getModifierState('AltGraph')) return {key, modifiers: 0, character: typed};
    const ctrl = modifiers & Ctrl, alt = modifiers & Alt;
    if (event.code === 'Pause' && ctrl) return {key: 0x03, modifiers, character: -1};  // Ctrl+Break
    if (key >= 0x70 && key <= 0x7B) {
      const number = key - 0x6F;
      const used = modifiers === 0 ? FunctionKeys.has(number) :
                   modifiers === Ctrl ? CtrlFunctionKeys.has(number) :
                   modifiers === (Ctrl | Shift) || modifiers === (Ctrl | Alt) ? ChordFunctionKeys.has(number) : false;
      return used ? {key, modifiers, character: -1} : null;
    }
    if (alt) {
      // Alt+Left and Alt+Right are the game's; other Alt chords are the browser's.
      return !ctrl && (key === 0x25 || key === 0x27) ? {key, modifiers, character: -1} : null;
    }
    if (ctrl) {
      const letter = key >= 0x41 && key <= 0x5A ? String.fromCharCode(key) : '';
      if (CtrlLetters.has(letter) || CtrlKeys.has(key)) return {key, modifiers, character: -1};
      return null;
    }
    if (key === 0 && typed < 32) return null;
    if (key >= 0x08 && key <= 0x2E && key !== 0x20) return {key, modifiers, character: -1};
    if (typed >= 32) return {key, modifiers, character: typed};
    return null;
  }

  const held = new Map();  // event.code → the key given to the game, until it is released

  screen.addEventListener('keydown', (event) => {
    if (!running) return;
    // Alt+Shift+S leaves the game's area for the page's controls below it.
    if (event.altKey && event.shiftKey && !event.ctrlKey && event.code === 'KeyS') {
      event.preventDefault();
      download.focus();
      return;
    }
    const key = gameKey(event);
    if (!key) return;
    event.preventDefault();
    held.set(event.code, key);
    if (audio) audio.node.port.postMessage({mark: Math.round(audio.context.currentTime * audio.context.sampleRate)});
    Module._quelvar_web_key(1, key.key, key.modifiers, key.character);
  });

  screen.addEventListener('keyup', (event) => {
    const key = held.get(event.code);
    if (!key) return;
    held.delete(event.code);
    event.preventDefault();
    if (!running) return;
    const modifiers = (event.shiftKey ? Shift : 0) | (event.ctrlKey ? Ctrl : 0) | (event.altKey ? Alt : 0);
    Module._quelvar_web_key(0, key.key, key.key === 0x03 ? key.modifiers : modifiers, -1);
  });

  // Keys still down when the page loses the keyboard are released for the game.
  screen.addEventListener('blur', () => {
    for (const key of held.values()) if (running) Module._quelvar_web_key(0, key.key, 0, -1);
    held.clear();
  });

  // ---- settings in the browser's storage ----

  function syncSettings(fromStorage) {
    return new Promise((resolve) => Module.FS.syncfs(fromStorage, (error) => {
      if (error) console.warn('quelvar: settings storage:', error);
      resolve();
    }));
  }

  // ---- starting and ending ----

  let runtimeStarted;
  const runtimeReady = new Promise((resolve) => { runtimeStarted = resolve; });

  async function start() {
    road = (roads.find((input) => input.checked) || roads[0]).value;
    localStorage.setItem(RoadKey, road);
    begin.disabled = true;
    roads.forEach((input) => { input.disabled = true; });
    status.textContent = 'Preparando o jogo…';
    audio = audio || await startAudio();
    await runtimeReady;
    if (road === 'ours') {
      waitingForVoice = true;
      try {
        await loadVoice();
      } catch (error) {
        console.warn('quelvar: the voice could not be fetched:', error);
        status.textContent = 'Não foi possível carregar a voz do jogo. Escolha outra forma de ouvir e pressione Começar.';
        waitingForVoice = false;
        roads.forEach((input) => { input.disabled = false; });
        readVoices();
        begin.disabled = false;
        return;
      }
      waitingForVoice = false;
    }
    Module.FS.mkdirTree(SettingsFolder);
    Module.FS.mount(Module.IDBFS, {}, SettingsFolder);
    await syncSettings(true);

    document.getElementById('start').hidden = true;
    document.getElementById('game').hidden = false;
    status.textContent = '';
    screen.focus();
    running = true;
    settingsTimer = setInterval(() => syncSettings(false), 5000);
    const speech = {reader: 'none', browser: 'speech-dispatcher', ours: 'builtin', mbrola: 'mbrola'}[road];
    Module.callMain(['--speech=' + speech, '--transcript=' + TranscriptFile]);
  }

  function ended(code) {
    if (!running) return;
    running = false;
    clearInterval(settingsTimer);
    syncSettings(false);
    if (window.speechSynthesis) window.speechSynthesis.cancel();
    const end = document.getElementById('ended');
    end.hidden = false;
    end.querySelector('p').textContent =
        code === 0 ? 'O jogo terminou.' : 'O jogo terminou (código ' + code + ').';
    document.getElementById('again').focus();
  }

  function saveTranscript() {
    let bytes;
    try {
      bytes = Module.FS.readFile(TranscriptFile);
    } catch (error) {
      bytes = new Uint8Array(0);
    }
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], {type: 'text/plain;charset=utf-8'}));
    link.download = 'quelvar-transcricao.txt';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  window.Module = {
    quelvarPage: page,
    thisProgram: 'quelvar',  // the window's first caption
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onRuntimeInitialized() {
      runtimeStarted();
      begin.disabled = false;
    },
    onExit: ended,
    // The settings folder is the browser's storage (mounted before the game starts).
    preRun: [() => { Module.ENV.TAMIRE_WINDIR = SettingsFolder; }],
  };

  // What tests and measurements ask of the page's sound.
  window.quelvarSound = {
    record(on) { audio && audio.node.port.postMessage({record: on}); },
    takeRecording() {
      if (!audio) return Promise.resolve({rate: 0, samples: []});
      const taken = new Promise((resolve) => soundWaiters.recording.push(resolve));
      audio.node.port.postMessage({takeRecording: true});
      return taken.then((samples) => ({rate: audio.context.sampleRate, samples}));
    },
    // The next silence after a key: milliseconds from the key and the underruns so far.
    nextSilence() { return new Promise((resolve) => soundWaiters.silence.push(resolve)); },
    bufferFrames: BufferFrames,
    rate() { return audio ? audio.context.sampleRate : 0; },
  };

  begin.addEventListener('click', start);
  download.addEventListener('click', saveTranscript);
  document.getElementById('again').addEventListener('click', () => location.reload());
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden' && running) syncSettings(false);
  });
  begin.disabled = true;
  readVoices();
  if (window.speechSynthesis) window.speechSynthesis.addEventListener('voiceschanged', readVoices);
  chooseRoad();
  // The game's voice comes after the first screen, while the player reads it, when the
  // road chosen is ours.
  const fetchVoiceFor = () => {
    if (roads.some((input) => input.checked && input.value === 'ours'))
      loadVoice();
    else
      dropVoice();
  };
  roads.forEach((input) => input.addEventListener('change', fetchVoiceFor));
  window.addEventListener('load', () => setTimeout(fetchVoiceFor, 0));
})();
