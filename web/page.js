// The page around the game: the start screen (how to hear the game, "Começar"), the 80x25
// screen as rows of coloured text that wrap at narrow widths, the keys, the command box for
// phones and screen readers, the live regions for the player's screen reader, the browser's
// voices, the sound device (worklet.js), the game's voice fetched once it is chosen, the
// settings kept in the browser's storage, the game kept across a reload, and the transcript
// offered as a download. The program calls in through Module.quelvarPage (library.js).
'use strict';

(function () {
  const Columns = 80, Rows = 25;
  // Frames the worklet keeps ahead of what it plays: 1024 at 48 kHz is 21 ms.
  const BufferFrames = 1024;
  const SettingsFolder = '/tamire';
  const TranscriptFile = '/tmp/transcricao.txt';
  // In the browser's storage: the road chosen, the command box, the text size.
  const RoadKey = 'quelvar.caminho', BoxKey = 'quelvar.caixa', SizeKey = 'quelvar.tamanho';
  // In this tab's storage: the game in progress, as the keys given to it ({road, keys}).
  const GameKey = 'quelvar.partida';
  // The lines kept in the live regions; older ones leave them.
  const KeptStoryLines = 40, KeptReplies = 8;

  const screen = document.getElementById('screen');
  const story = document.getElementById('story');
  const reply = document.getElementById('reply');
  const status = document.getElementById('status');
  const begin = document.getElementById('begin');
  const download = document.getElementById('transcript');
  const commandForm = document.getElementById('command-form');
  const command = document.getElementById('command');
  const showBox = document.getElementById('show-box');
  const textSize = document.getElementById('text-size');
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

  // The row being typed stays in the window at any zoom and width (above the command box).
  let caretScroll = 0;
  function keepCaretInView() {
    if (caretScroll) return;
    caretScroll = requestAnimationFrame(() => {
      caretScroll = 0;
      const caret = screen.querySelector('.caret');
      if (caret && !replaying) caret.scrollIntoView({block: 'nearest', inline: 'nearest'});
    });
  }

  // How often the game has waited for a key with none queued: a script that types as a
  // patient typist does gives the next key only then, and so does a replay.
  let keysSinceWait = 0;
  function keyWaited() {
    keysSinceWait = 0;
    screen.dataset.keyWaits = Number(screen.dataset.keyWaits || 0) + 1;
    if (replaying) replayNext();
  }

  // ---- what the player's screen reader is given ----

  // Everything given to the reader, in order, for tests: {kind: 'story'|'answer'|'cue', text}.
  const readerLog = [];
  let lastTyped = -1;  // the character just typed, whose echo the player's reader makes itself

  function addLine(region, text, kept) {
    const paragraph = document.createElement('p');
    paragraph.textContent = text.trimEnd();
    region.appendChild(paragraph);
    while (region.childElementCount > kept) region.firstElementChild.remove();
  }

  // What the game speaks in answer to a key (the editor, the review, notices) interrupts:
  // a key clears the region, as a key silences the game's voice.
  function answer(kind, text) {
    if (replaying) return;
    readerLog.push({kind, text});
    // The story comes line by line through announce(); a blank row read says nothing.
    if (kind === 'story' || !text.trim()) return;
    const last = reply.lastElementChild;
    if (kind === 'cue' && last && last.dataset.cue && !keySinceReply) {
      last.textContent += ' ' + text.trimEnd();  // a spelled word, a time said word by word
    } else {
      addLine(reply, text, KeptReplies);
      if (kind === 'cue') reply.lastElementChild.dataset.cue = '1';
    }
    keySinceReply = false;
  }
  let keySinceReply = false;

  function keyGiven(character) {
    lastTyped = character;
    keySinceReply = true;
    reply.replaceChildren();
  }

  // The recorded sounds the game plays, as words: characters by their code, the editor's
  // sounds, the words of numbers, the time and the date.
  const CharacterNames = {
    32: 'espaço', 33: 'exclamação', 34: 'aspas', 35: 'cerquilha', 36: 'cifrão', 37: 'por cento', 38: 'e comercial',
    39: 'apóstrofo', 40: 'abre parênteses', 41: 'fecha parênteses', 42: 'asterisco', 43: 'mais', 44: 'vírgula',
    45: 'hífen', 46: 'ponto', 47: 'barra', 58: 'dois pontos', 59: 'ponto e vírgula', 60: 'menor', 61: 'igual',
    62: 'maior', 63: 'interrogação', 64: 'arroba', 91: 'abre colchetes', 92: 'barra invertida',
    93: 'fecha colchetes', 95: 'sublinhado', 123: 'abre chaves', 124: 'barra vertical', 125: 'fecha chaves',
  };
  const SoundWords = {
    del: 'apagado', falaci: 'eco ligado', faldlg: 'eco desligado', veloc: 'velocidade', apfcpo: 'apagado até o fim',
    apicpo: 'apagado até o início', cpoapa: 'linha apagada', menos: 'menos', primeir: 'primeiro', terca: 'terça',
    sabado: 'sábado', feverei: 'fevereiro', marco: 'março', setembr: 'setembro', novembr: 'novembro',
    dezembr: 'dezembro',
  };
  // (Cp1252High is with the keys, below.)
  function fromCp1252(code) {
    return code >= 0x80 && code < 0xA0 ? Cp1252High[code - 0x80] : String.fromCharCode(code);
  }
  function cueText(name) {
    let match = /^_(\d+)$/.exec(name);
    if (match) {
      const code = Number(match[1]);
      return CharacterNames[code] || fromCp1252(code);
    }
    if ((match = /^_FON(\d+)$/i.exec(name))) return fromCp1252(Number(match[1]));
    if ((match = /^dtmf_(.)$/i.exec(name))) return match[1] === 'X' ? '*' : match[1];
    const word = name.replace(/^_/, '');
    return SoundWords[word.toLowerCase()] || word.toLowerCase();
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
      if (visible && !before) keyWaited();
      if (before) renderRow(before.row);
      if (caretAt && (!before || before.row !== row)) renderRow(row);
      if (caretAt) {
        keepCaretInView();
        box.caretMoved(row);
      }
    },
    // The program waits with nothing to do: with the caret shown, for a key. A key that
    // leaves the caret where it was (Home, a dot of a Braille chord) is waited after too.
    idle() {
      if (caretAt && keysSinceWait > 0) keyWaited();
    },
    title(text) { document.title = text; },
    announce(line) {
      if (road !== 'reader' || replaying) return;
      addLine(story, line, KeptStoryLines);
    },
    // A recorded sound the game plays: on the screen reader's road, its words.
    cue(name) {
      if (road !== 'reader' || replaying) return;
      const character = /^_(\d+)$/.exec(name);
      if (character && Number(character[1]) === lastTyped) {
        lastTyped = -1;  // the player's reader has echoed the typed character
        return;
      }
      answer('cue', cueText(name));
    },
    audioRate() { return audio ? audio.context.sampleRate : 0; },
    audioBufferFrames() { return BufferFrames; },
    voices() {
      // The screen reader's road has one voice: the page's live regions.
      return road === 'reader' ? [{name: 'Leitor de tela', lang: 'pt-BR'}] : voices;
    },
    // Returns 0 when it cannot speak, 1 when the end will be reported, 2 when it is said.
    speak(text, index, rate, purge, written) {
      if (road === 'reader') {
        answer(written ? 'story' : 'answer', text);
        return 2;
      }
      const synth = window.speechSynthesis;
      if (!synth) return 0;
      if (purge) {
        ++speaking.generation;
        speaking.pending = 0;
        synth.cancel();
      }
      if (!text) return 1;
      if (replaying) return 2;
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
      return 1;
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
    browserRoad.disabled = voices.length === 0 || running;
    document.getElementById('browser-note').textContent =
        voices.length === 0 ? ' (este navegador não tem vozes)' :
        portugueseRank(voices[0]) === 0 ? '' : ' (sem voz em português do Brasil)';
    chooseRoad();
  }

  // The road the player chose last time; else the browser's voice where it speaks
  // Brazilian Portuguese; else the player is asked. A page cannot tell whether a screen
  // reader runs, and our own voice would cost a large download and talk over one.
  let roadTouched = false;
  function chooseRoad() {
    if (running || roadTouched) return;
    let wanted = localStorage.getItem(RoadKey);
    if (!roads.some((input) => input.value === wanted && !input.disabled)) {
      wanted = voices.length > 0 && portugueseRank(voices[0]) === 0 ? 'browser' : null;
    }
    roads.forEach((input) => { input.checked = input.value === wanted; });
  }

  // ---- the game's voice, fetched once it is chosen ----

  // voice.json lists the files of voice.data ([path, offset, size]); they go under /quelvar.
  // The server may send voice.data compressed; its size is the list's.
  let voiceFetch = null;    // ends the voice's download when another road is chosen
  function loadVoice() {
    if (voicePackage) return voicePackage;
    voiceFetch = new AbortController();
    const signal = voiceFetch.signal;
    voicePackage = (async () => {
      const list = await (await fetch('voice.json', {signal})).json();
      const response = await fetch('voice.data', {signal});
      if (!response.ok) throw new Error('voice.data: ' + response.status);
      const data = new Uint8Array(list.size);
      const reader = response.body.getReader();
      let received = 0;
      for (;;) {
        const {done, value} = await reader.read();
        if (done) break;
        if (received + value.length > data.length) throw new Error('voice.data: larger than its list');
        data.set(value, received);
        received += value.length;
        voiceProgress(received / list.size);
      }
      if (received !== list.size) throw new Error('voice.data: ' + received + ' bytes of ' + list.size);
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
    const percent = Math.min(100, Math.floor(fraction * 10) * 10);
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

  let keyGeneration = 0;  // keys given so far: frames rendered before the last one are not played

  // What the browser says the device adds to what the worklet holds, in milliseconds.
  function outputLatencyMs() {
    if (!audio) return 0;
    return 1000 * (audio.context.outputLatency || audio.context.baseLatency || 0);
  }

  function heard(message, node) {
    if (message.need) {
      let samples;
      if (running && !replaying) {
        const at = Module._quelvar_web_render(message.need) >> 1;
        samples = Module.HEAP16.slice(at, at + 2 * message.need);
      } else {
        samples = new Int16Array(2 * message.need);
      }
      node.port.postMessage({samples, generation: keyGeneration}, [samples.buffer]);
    } else if (message.recording) {
      soundWaiters.recording.splice(0).forEach((resolve) => resolve(message.recording));
    } else if (message.silenceAfterMark !== undefined) {
      const figure = {ms: 1000 * message.silenceAfterMark / audio.context.sampleRate, underruns: message.underruns,
                      outputLatencyMs: outputLatencyMs()};
      soundWaiters.silence.splice(0).forEach((resolve) => resolve(figure));
    }
  }

  // ---- keys ----

  // Key positions (event.code) and their Windows virtual keys. Letters go by position, so
  // the Braille keys S D F J K L stay put on every layout. The numbers are the program's
  // own (platform/core/keys.h); tests/platform/key_events_test.cpp reads this map from here
  // and checks it against them.
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

  // Every key given to the game goes through here; the game in progress keeps them, so
  // that a reload can play it again to where it was.
  function giveKey(down, key, modifiers, character) {
    if (!running) return;
    if (down) {
      keyGiven(character >= 32 && !(modifiers & (Ctrl | Alt)) ? character : -1);
      // A key silences the game at once: the worklet drops what it holds.
      ++keyGeneration;
      if (audio) {
        audio.node.port.postMessage({mark: Math.round(audio.context.currentTime * audio.context.sampleRate),
                                     generation: keyGeneration});
      }
    }
    if (!replaying) keepKey([down ? 1 : 0, key, modifiers, character]);
    if (down) ++keysSinceWait;
    Module._quelvar_web_key(down ? 1 : 0, key, modifiers, character);
  }

  // A typed character as the game takes it from a keyboard: its key goes down and up.
  function typeCharacter(character) {
    const code = cp1252(character);
    if (code < 32) return;
    const upper = character.toUpperCase();
    const key = /^[A-Z0-9]$/.test(upper) ? upper.charCodeAt(0) : character === ' ' ? 0x20 : 0;
    giveKey(true, key, 0, code);
    giveKey(false, key, 0, -1);
  }
  function pressNamedKey(key) {
    giveKey(true, key, 0, -1);
    giveKey(false, key, 0, -1);
  }

  const held = new Map();  // event.code → the key given to the game, until it is released

  function keyDown(event) {
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
    giveKey(true, key.key, key.modifiers, key.character);
  }

  function keyUp(event) {
    const key = held.get(event.code);
    if (!key) return;
    held.delete(event.code);
    event.preventDefault();
    const modifiers = (event.shiftKey ? Shift : 0) | (event.ctrlKey ? Ctrl : 0) | (event.altKey ? Alt : 0);
    giveKey(false, key.key, key.key === 0x03 ? key.modifiers : modifiers, -1);
  }

  // Keys still down when the page loses the keyboard are released for the game.
  function releaseHeld() {
    for (const key of held.values()) giveKey(false, key.key, 0, -1);
    held.clear();
  }

  screen.addEventListener('keydown', keyDown);
  screen.addEventListener('keyup', keyUp);
  screen.addEventListener('blur', releaseHeld);
  // Focusing the screen shows its top; the row being typed is what the player needs.
  screen.addEventListener('focus', keepCaretInView);

  // ---- the command box: phones, dictation, paste and screen readers ----

  // What the box holds has been given to the game as typed characters as it came (the
  // game's echo and transcript are those of typing); a line break is Enter. The box
  // assumes the game's cursor at the end of the line: an edit before the end is given as
  // Backspaces back to it and the rest typed again.
  const box = {
    given: '',     // what the game has of the box's line
    row: -1,       // the screen row of that line
    // The text the box holds now: what changed is given to the game.
    changed() {
      const lines = command.value.split(/\r\n|\r|\n/);
      for (let i = 0; i < lines.length; ++i) {
        this.giveLine(lines[i]);
        if (i + 1 < lines.length) {
          pressNamedKey(0x0D);
          this.given = '';
          this.row = -1;
        }
      }
      if (lines.length > 1) command.value = lines.at(-1);
    },
    giveLine(text) {
      // (what no key of the game can type, an emoji say, is left out)
      const typed = Array.from(text).filter((character) => cp1252(character) >= 32), had = Array.from(this.given);
      let same = 0;
      while (same < typed.length && same < had.length && typed[same] === had[same]) ++same;
      for (let i = had.length; i > same; --i) pressNamedKey(0x08);
      typed.slice(same).forEach(typeCharacter);
      if (typed.length > same && this.given === '' && caretAt) this.row = caretAt.row;
      this.given = typed.join('');
    },
    // The game waits on another row: the box's line was taken (a one-key answer).
    caretMoved(row) {
      if (this.given && this.row >= 0 && row !== this.row) this.clear();
    },
    clear() {
      this.given = '';
      this.row = -1;
      command.value = '';
    },
  };

  command.addEventListener('input', () => { if (running) box.changed(); });
  commandForm.addEventListener('submit', (event) => {
    event.preventDefault();
    if (!running) return;
    box.changed();
    pressNamedKey(0x0D);
    box.clear();
    command.focus();
  });
  // The game's own keys work in the box too; what types or edits text is the box's, and
  // Tab leaves the box as it leaves any field.
  const BoxEditing = new Set([0x08, 0x09, 0x0D, 0x23, 0x24, 0x25, 0x27, 0x2E]);
  command.addEventListener('keydown', (event) => {
    if (!running || event.isComposing || event.keyCode === 229) return;
    const key = gameKey(event);
    if (!key || (key.character >= 32 && !(key.modifiers & (Ctrl | Alt))) ||
        (BoxEditing.has(key.key) && !(key.modifiers & (Ctrl | Alt)))) return;
    keyDown(event);
    // A key that ends the game's line (Esc, Up, Down) empties the box.
    if ([0x1B, 0x26, 0x28].includes(key.key)) box.clear();
  });
  command.addEventListener('keyup', keyUp);
  command.addEventListener('blur', releaseHeld);

  const touch = window.matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0;
  function showCommandBox(on) {
    commandForm.hidden = !on;
    document.getElementById('command-help').hidden = !on;
    showBox.checked = on;
  }
  showBox.addEventListener('change', () => {
    localStorage.setItem(BoxKey, showBox.checked ? '1' : '0');
    showCommandBox(showBox.checked);
    (showBox.checked ? command : screen).focus();
  });
  if (touch && !matchMedia('(any-pointer: fine)').matches) document.getElementById('no-keyboard').hidden = false;

  // ---- the text size ----

  function applyTextSize(size) {
    document.documentElement.style.setProperty('--text-size', size);
    textSize.value = size;
  }
  textSize.addEventListener('change', () => {
    localStorage.setItem(SizeKey, textSize.value);
    applyTextSize(textSize.value);
    keepCaretInView();
  });
  applyTextSize(localStorage.getItem(SizeKey) || '1');

  // ---- the game kept across a reload ----

  let kept = null;  // {road, keys: [[down, key, modifiers, character], ...]} of the game in progress
  function keepKey(event) {
    kept.keys.push(event);
    try {
      sessionStorage.setItem(GameKey, JSON.stringify(kept));
    } catch (error) {
      // A full storage only loses the reload.
    }
  }
  function savedGame() {
    try {
      const game = JSON.parse(sessionStorage.getItem(GameKey));
      return game && Array.isArray(game.keys) && game.keys.length ? game : null;
    } catch (error) {
      return null;
    }
  }

  // The saved keys are given again, each key when the game waits for one as a patient
  // typist would, with the program's sound and waits passing at once and nothing said.
  let replaying = false;
  let replayKeys = [], replayAt = 0;
  function replayNext() {
    Promise.resolve().then(() => {
      if (!replaying || !running) return;
      const give = () => {
        const [down, key, modifiers, character] = replayKeys[replayAt++];
        giveKey(down === 1, key, modifiers, character);
      };
      const upNext = () => replayAt < replayKeys.length && replayKeys[replayAt][0] === 0;
      while (upNext()) give();
      if (replayAt >= replayKeys.length) {
        replaying = false;
        Module._quelvar_web_replay(0);
        document.getElementById('game-title').textContent = 'O jogo, retomado';
        keepCaretInView();
        return;
      }
      // A key down and the ups that followed it.
      give();
      while (upNext()) give();
    });
  }

  window.addEventListener('beforeunload', (event) => {
    if (!running || !kept || kept.keys.length === 0) return;
    event.preventDefault();
    event.returnValue = '';
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

  function startFailed(message) {
    status.textContent = message;
    roads.forEach((input) => { input.disabled = false; });
    readVoices();
    begin.disabled = false;
    status.focus();
  }

  async function start() {
    const chosen = roads.find((input) => input.checked);
    if (!chosen) {
      status.textContent = 'Escolha antes como você quer ouvir o jogo.';
      roads[0].focus();
      return;
    }
    road = chosen.value;
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
        waitingForVoice = false;
        startFailed('Não foi possível carregar a voz do jogo. Escolha outra forma de ouvir e pressione Começar.');
        return;
      }
      waitingForVoice = false;
    }
    Module.FS.mkdirTree(SettingsFolder);
    Module.FS.mount(Module.IDBFS, {}, SettingsFolder);
    await syncSettings(true);

    const saved = savedGame();
    kept = {road, keys: []};
    document.getElementById('start').hidden = true;
    document.getElementById('no-keyboard').hidden = true;
    document.getElementById('game').hidden = false;
    status.textContent = '';
    const boxWanted = localStorage.getItem(BoxKey);
    showCommandBox(boxWanted ? boxWanted === '1' : touch || road === 'reader');
    (commandForm.hidden ? screen : command).focus();
    running = true;
    if (saved) {
      replaying = true;
      replayKeys = saved.keys;
      replayAt = 0;
      document.getElementById('game-title').textContent = 'O jogo, sendo retomado';
      Module._quelvar_web_replay(1);
    }
    settingsTimer = setInterval(() => syncSettings(false), 5000);
    const speech = {reader: 'speech-dispatcher', browser: 'speech-dispatcher', ours: 'builtin', mbrola: 'mbrola'}[road];
    Module.callMain(['--speech=' + speech, '--transcript=' + TranscriptFile]);
  }

  function ended(code) {
    if (!running) return;
    running = false;
    replaying = false;
    sessionStorage.removeItem(GameKey);
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
    // Only our voice's road fetches the built-in voice; on the others its absence is as
    // it should be, and the program's line about it says nothing to the player.
    printErr: (text) => {
      if (road !== 'ours' && text.startsWith('quelvar: the built-in voice could not be loaded')) return;
      console.warn(text);
    },
    onRuntimeInitialized() {
      runtimeStarted();
      begin.disabled = false;
    },
    onExit: ended,
    // The settings folder is the browser's storage (mounted before the game starts).
    preRun: [() => { Module.ENV.TAMIRE_WINDIR = SettingsFolder; }],
  };

  // What tests and measurements ask of the page.
  window.quelvarSound = {
    record(on) { audio && audio.node.port.postMessage({record: on}); },
    takeRecording() {
      if (!audio) return Promise.resolve({rate: 0, samples: []});
      const taken = new Promise((resolve) => soundWaiters.recording.push(resolve));
      audio.node.port.postMessage({takeRecording: true});
      return taken.then((samples) => ({rate: audio.context.sampleRate, samples}));
    },
    // The next silence after a key: milliseconds from the key, the underruns so far and
    // the device's own latency as the browser reports it.
    nextSilence() { return new Promise((resolve) => soundWaiters.silence.push(resolve)); },
    bufferFrames: BufferFrames,
    rate() { return audio ? audio.context.sampleRate : 0; },
  };
  window.quelvarReader = readerLog;
  window.quelvarReplaying = () => replaying;
  // The game waits for a key, and has taken every key given.
  window.quelvarIdle = () => running && !!caretAt && keysSinceWait === 0;

  begin.addEventListener('click', start);
  download.addEventListener('click', saveTranscript);
  document.getElementById('again').addEventListener('click', () => {
    sessionStorage.removeItem(GameKey);
    location.reload();
  });
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden' && running) syncSettings(false);
  });
  begin.disabled = true;
  document.getElementById('resume-note').hidden = !savedGame();
  readVoices();
  if (window.speechSynthesis) window.speechSynthesis.addEventListener('voiceschanged', readVoices);
  chooseRoad();
  // The game's voice is fetched only once the player has chosen it.
  roads.forEach((input) => input.addEventListener('change', () => {
    roadTouched = true;
    if (input.checked && input.value === 'ours') loadVoice();
    else if (input.checked) dropVoice();
  }));
  // The page and, once fetched, the chosen voice are kept for a visit with no network.
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('sw.js').catch((error) => console.warn('quelvar: no offline copy:', error));
  }
})();
