// What a player of the web page meets, in Debian's headless Chromium on this machine:
// the bytes fetched and the time from opening the page to the game's first prompt, for the
// player's screen reader (the page alone) and for our voice (the page and the voice); and
// how soon our voice falls silent after a key (the worklet holds one buffer ahead).
//   node bench/web/first_prompt.mjs [ROUNDS]      (after scripts/build-web.sh and npm ci in tests/web)
import { openBrowser, serveSite } from '../../tests/web/support.mjs';

const rounds = Number(process.argv[2] || 3);
const server = await serveSite();
const context = await openBrowser();

function summary(values, unit) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return `min ${sorted[0].toFixed(1)} ${unit}, median ${median.toFixed(1)} ${unit}, max ${sorted.at(-1).toFixed(1)} ${unit}`;
}

// Opens the page with an empty cache, presses Começar as soon as it can be pressed, and
// waits for the first prompt; gives the bytes fetched until then and the times.
async function firstPrompt(road) {
  const page = await context.newPage();
  const session = await context.newCDPSession(page);
  await session.send('Network.enable');
  await session.send('Network.setCacheDisabled', { cacheDisabled: true });
  let bytes = 0;
  session.on('Network.loadingFinished', (event) => { bytes += event.encodedDataLength; });
  const opened = Date.now();
  await page.goto(server.url);
  await page.getByRole('radio', { name: road === 'ours' ? /voz do jogo \(/ : /leitor de tela/ }).check();
  const button = page.getByRole('button', { name: 'Começar' });
  await button.waitFor();
  await page.waitForFunction(() => !document.getElementById('begin').disabled);
  const ready = Date.now();
  await button.click();
  await page.waitForFunction(() => Number(document.getElementById('screen').dataset.keyWaits || 0) > 0, null,
                             { timeout: 300000 });
  const prompt = Date.now();
  return { page, bytes, readyMs: ready - opened, promptMs: prompt - opened };
}

// Our voice speaks a room; a key half a second into it; the worklet says when the
// silence began after the key.
async function silenceAfterKey(page) {
  const figures = [];
  for (let i = 0; i < 5; ++i) {
    await page.keyboard.type('olhar');
    await page.keyboard.press('Enter');
    await page.waitForTimeout(1500);
    const silence = page.evaluate(() => window.quelvarSound.nextSilence());
    await page.keyboard.press('End');
    figures.push(await silence);
    await page.waitForFunction(() => document.querySelector('#screen .caret'));
  }
  return figures;
}

const reader = { bytes: [], ready: [], prompt: [] };
for (let round = 0; round < rounds; ++round) {
  const { page, bytes, readyMs, promptMs } = await firstPrompt('reader');
  reader.bytes.push(bytes / 1e3);
  reader.ready.push(readyMs);
  reader.prompt.push(promptMs);
  await page.close();
}
console.log(`screen reader: bytes before the first prompt: ${summary(reader.bytes, 'kB')}`);
console.log(`screen reader: page ready for Começar: ${summary(reader.ready, 'ms')}`);
console.log(`screen reader: first prompt (Começar pressed at once): ${summary(reader.prompt, 'ms')}`);

const ours = await firstPrompt('ours');
console.log(`our voice: bytes before the first prompt: ${(ours.bytes / 1e6).toFixed(1)} MB` +
            ` (page ready ${ours.readyMs} ms; first prompt after the spoken opening ${(ours.promptMs / 1e3).toFixed(1)} s)`);
const silences = await silenceAfterKey(ours.page);
const quantumMs = 128 / (await ours.page.evaluate(() => window.quelvarSound.rate()));
console.log(`our voice: silence after a key: ${summary(silences.map((s) => s.ms), 'ms')}` +
            ` (one quantum ${(1000 * quantumMs).toFixed(1)} ms + one worklet buffer ` +
            `${(1000 * quantumMs * (await ours.page.evaluate(() => window.quelvarSound.bufferFrames)) / 128).toFixed(1)} ms;` +
            ` underruns ${silences.at(-1).underruns})`);
await context.close();
server.stop();
