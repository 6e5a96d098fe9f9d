// What a player of the web page meets, in Debian's headless Chromium on this machine, for
// each way of hearing the game: the bytes fetched and the time from opening the page to the
// game's first prompt (a new browser each round, no cache, no service worker; "Começar"
// pressed as soon as it can be), and, for the game's own voices, how soon the sound falls
// silent after a key: the worklet's figure (one quantum and its buffer) plus the output
// latency the browser reports for its device. Our voice's download is measured as served
// compressed and as it would be without compression.
//   node bench/web/first_prompt.mjs [ROUNDS [ROAD...]]   (reader browser mbrola ours; after
//                                                        scripts/build-web.sh and npm ci in tests/web)
import fs from 'node:fs';
import path from 'node:path';
import { openBrowser, serveSite, site } from '../../tests/web/support.mjs';

const rounds = Number(process.argv[2] || 3);
const roads = process.argv.length > 3 ? process.argv.slice(3) : ['reader', 'browser', 'mbrola', 'ours'];
const server = await serveSite();

function summary(values, unit, digits = 1) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return `min ${sorted[0].toFixed(digits)} ${unit}, median ${median.toFixed(digits)} ${unit}, max ${sorted.at(-1).toFixed(digits)} ${unit}`;
}

// Headless Chromium has no voices: the browser's-voice road gets one Brazilian stand-in
// that says everything at once.
function standInVoice() {
  window.SpeechSynthesisUtterance = class { constructor(text) { this.text = text; } };
  Object.defineProperty(window, 'speechSynthesis', { configurable: true, value: {
    getVoices: () => [{ name: 'Voz de teste', lang: 'pt-BR' }],
    addEventListener() {},
    speak(utterance) { setTimeout(() => utterance.onend && utterance.onend({}), 0); },
    cancel() {},
  } });
}

const RoadNames = { reader: /leitor de tela/, browser: /voz do navegador/, ours: /voz do jogo \(/, mbrola: /MBROLA/ };

// Opens the page in a new browser, presses Começar as soon as it can be pressed, and waits
// for the first prompt; gives the page (open) and the bytes and times until then.
async function firstPrompt(road, { identity = false } = {}) {
  const context = await openBrowser({ serviceWorkers: 'block' });
  const page = await context.newPage();
  if (road === 'browser') await page.addInitScript(standInVoice);
  const session = await context.newCDPSession(page);
  await session.send('Network.enable');
  await session.send('Network.setCacheDisabled', { cacheDisabled: true });
  if (identity) await session.send('Network.setExtraHTTPHeaders', { headers: { 'Accept-Encoding': 'identity' } });
  let bytes = 0;
  session.on('Network.loadingFinished', (event) => { bytes += event.encodedDataLength; });
  const opened = Date.now();
  await page.goto(server.url);
  await page.getByRole('radio', { name: RoadNames[road] }).check();
  await page.waitForFunction(() => !document.getElementById('begin').disabled);
  const ready = Date.now();
  await page.getByRole('button', { name: 'Começar' }).click();
  await page.waitForFunction(() => Number(document.getElementById('screen').dataset.keyWaits || 0) > 0, null,
                             { timeout: 600000 });
  return { context, page, bytes, readyMs: ready - opened, promptMs: Date.now() - opened };
}

// The voice speaks a room; a key a while into it (MBROLA's first words come later); the
// worklet says when the silence began after the key, and the browser what its device adds.
async function silenceAfterKey(page, intoMs) {
  const figures = [];
  for (let i = 0; i < 5; ++i) {
    await page.keyboard.type('olhar');
    await page.keyboard.press('Enter');
    await page.waitForTimeout(intoMs);
    const silence = page.evaluate(() => window.quelvarSound.nextSilence());
    await page.keyboard.press('End');
    figures.push(await silence);
    await page.waitForFunction(() => document.querySelector('#screen .caret'));
  }
  return figures;
}

for (const road of roads) {
  const figures = { bytes: [], ready: [], prompt: [] };
  let last = null;
  for (let round = 0; round < (road === 'ours' ? 1 : rounds); ++round) {
    if (last) await last.context.close();
    last = await firstPrompt(road);
    figures.bytes.push(last.bytes / 1e3);
    figures.ready.push(last.readyMs);
    figures.prompt.push(last.promptMs);
  }
  console.log(`${road}: bytes before the first prompt: ${summary(figures.bytes, 'kB')}`);
  console.log(`${road}: page ready for Começar: ${summary(figures.ready, 'ms', 0)};` +
              ` first prompt (after the spoken opening): ${summary(figures.prompt, 'ms', 0)}`);
  if (road === 'ours' || road === 'mbrola') {
    await last.page.locator('#screen').focus();
    const silences = await silenceAfterKey(last.page, road === 'mbrola' ? 3000 : 1000);
    const rate = await last.page.evaluate(() => window.quelvarSound.rate());
    const frames = await last.page.evaluate(() => window.quelvarSound.bufferFrames);
    const latency = silences.at(-1).outputLatencyMs;
    console.log(`${road}: key to silence: ${summary(silences.map((s) => s.ms + s.outputLatencyMs), 'ms')}` +
                ` (worklet ${summary(silences.map((s) => s.ms), 'ms')}: one quantum ${(128e3 / rate).toFixed(1)} ms` +
                ` + one buffer ${(1e3 * frames / rate).toFixed(1)} ms; the device's reported latency` +
                ` ${latency.toFixed(1)} ms; underruns ${silences.at(-1).underruns})`);
  }
  await last.context.close();
}

// Our voice without compression (a server that does not compress) against the same voice
// served compressed, as measured above and as the files say.
if (roads.includes('ours')) {
  const plain = await firstPrompt('ours', { identity: true });
  console.log(`ours, served uncompressed: bytes before the first prompt: ${(plain.bytes / 1e6).toFixed(1)} MB` +
              ` (voice.data ${(fs.statSync(path.join(site, 'voice.data')).size / 1e6).toFixed(1)} MB,` +
              ` compressed ${(fs.statSync(path.join(site, 'voice.data.gz')).size / 1e6).toFixed(1)} MB)`);
  await plain.context.close();
}
server.stop();
