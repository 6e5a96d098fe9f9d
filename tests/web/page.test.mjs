// The web page in Debian's headless Chromium: a whole game typed with real key events, the
// screen reader's live region, the twin of a key the browser keeps, a Braille chord, a start
// with the network gone, the settings in the browser's storage, an accessibility audit, the
// sound of our voices taken from the AudioWorklet, and the browser's voice as a speech engine.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { downloadTranscript, parseKeyScript, startGame, top, typeKeys, withBrowser } from './support.mjs';

const axeSource = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const RoomDescription = 'Você está em sua cabine, um quarto pequeno com pouco mobiliário.';

async function audit(page) {
  await page.addScriptTag({ content: axeSource });
  const result = await page.evaluate(() => window.axe.run(document));
  return result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

function screenRows(page) {
  return page.locator('#screen .row').allTextContents();
}

test('a whole game typed with real keys gives the Linux headless transcript', async () => {
  await withBrowser({}, async (server, context) => {
    const { page, problems } = await startGame(context, server.url, 'reader');
    const keys = parseKeyScript(fs.readFileSync(path.join(top, 'tests/game/full_game.keys'), 'utf8'));
    await typeKeys(page, keys);
    await page.locator('#ended').waitFor();
    assert.match(await page.locator('#ended p').textContent(), /O jogo terminou\./);
    const expected = fs.readFileSync(path.join(top, 'tests/game/full_game.transcript'), 'utf8');
    assert.equal(await downloadTranscript(page), expected);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

test('the screen reader hears the story, neither the typed command nor the prompt; a Braille chord types', async () => {
  await withBrowser({}, async (server, context) => {
    const { page, problems } = await startGame(context, server.url, 'reader', { offline: true });
    assert.equal(await page.locator('#story').getAttribute('aria-live'), 'polite');
    assert.equal(await page.locator('#screen').getAttribute('role'), 'application');
    const before = await page.locator('#story p').count();
    await typeKeys(page, parseKeyScript('olhar\n'));
    const heard = (await page.locator('#story p').allTextContents()).slice(before);
    assert.ok(heard.includes(RoomDescription), `heard: ${JSON.stringify(heard)}`);
    assert.ok(!heard.some((line) => /olhar|^\s*>/.test(line)), `heard: ${JSON.stringify(heard)}`);

    // Alt+Shift+F4 stands for Ctrl+F4, which the browser keeps: the speech rate takes the
    // next key (3), which therefore never reaches the command.
    const beforeTwin = await page.locator('#story p').count();
    await typeKeys(page, [{ press: 'Alt+Shift+F4' }, { press: '3' }, ...parseKeyScript('olhar\n')]);
    const heardAgain = (await page.locator('#story p').allTextContents()).slice(beforeTwin);
    assert.ok(heardAgain.includes(RoomDescription), `heard: ${JSON.stringify(heardAgain)}`);

    // The Braille keyboard (Ctrl+Shift+F11), then dots 1 and 2 together: b.
    await page.keyboard.press('Control+Shift+F11');
    // The switch plays its two tones (400 ms) and only then is the Braille keyboard on; keys
    // pressed meanwhile are typed as before, as on the desktop.
    await page.waitForTimeout(1000);
    await page.keyboard.down('f');
    await page.keyboard.down('d');
    await page.keyboard.up('f');
    await page.keyboard.up('d');
    await page.waitForFunction(() => Array.from(document.querySelectorAll('#screen .row'))
      .some((row) => row.textContent.startsWith('>b ')));
    const prompt = (await screenRows(page)).filter((row) => row.startsWith('>'));
    assert.equal(prompt.at(-1).trimEnd(), '>b');

    assert.deepEqual(await audit(page), []);
    assert.deepEqual(problems, []);
    await page.close();
  });
});

test("the first visit writes the default settings into the browser's storage, where the next one finds them", async () => {
  await withBrowser({}, async (server, context) => {
    // Starts a game and gives the settings it found; 'mark' is then added to them and kept.
    const visit = async (mark) => {
      const { page } = await startGame(context, server.url, 'reader');
      const settings = await page.evaluate((added) => {
        const file = '/tamire/TAMIRE.INI';
        const text = new TextDecoder().decode(Module.FS.readFile(file));
        if (added) Module.FS.writeFile(file, text + added);
        return new Promise((resolve) => Module.FS.syncfs(false, () => resolve(text)));
      }, mark);
      await page.close();
      return settings;
    };
    const first = await visit('; guardado neste navegador\n');
    assert.match(first, /\[TRADUTOR\]/);
    assert.ok((await visit(null)).endsWith('; guardado neste navegador\n'));
  });
});

test('the start screen passes the accessibility audit and says how to play', async () => {
  await withBrowser({}, async (server, context) => {
    const page = await context.newPage();
    await page.goto(server.url);
    assert.deepEqual(await audit(page), []);
    await page.getByRole('link', { name: /Como jogar/ }).click();
    assert.deepEqual(await audit(page), []);
    await page.close();
  });
});

for (const [road, name] of [['ours', 'our voice'], ['mbrola', 'our MBROLA voice']]) {
  test(`${name} plays through the AudioWorklet: not silent, about as long as the text`, async () => {
    await withBrowser({}, async (server, context) => {
      const { page, problems } = await startGame(context, server.url, road, { hurry: true });
      await page.evaluate(() => window.quelvarSound.record(true));
      await typeKeys(page, parseKeyScript('olhar\n'));
      const sound = await page.evaluate(async () => {
        const { rate, samples } = await window.quelvarSound.takeRecording();
        let loudFrames = 0, sum = 0;
        for (const sample of samples) {
          sum += sample * sample;
          if (Math.abs(sample) > 1000) ++loudFrames;
        }
        return { rate, seconds: samples.length / rate, loudSeconds: loudFrames / rate, rms: Math.sqrt(sum / samples.length) };
      });
      // What was said: the typed command's echo and the room's three sentences.
      const characters = 'olhar'.length + 190;
      assert.ok(sound.rate > 0, 'no audio context');
      assert.ok(sound.rms > 300, `level ${sound.rms}`);
      assert.ok(sound.seconds > characters / 40 && sound.seconds < characters / 4, `${sound.seconds} s for ${characters} characters`);
      assert.ok(sound.loudSeconds > characters / 100, `${sound.loudSeconds} s of sound`);
      assert.deepEqual(problems, []);
      await page.close();
    });
  });
}

// Headless Chromium has no voices of its own: a stand-in synthesizer with one Brazilian
// voice takes what the browser's voice is given.
function fakeSpeechSynthesis() {
  const said = [];
  let pending = [];
  window.quelvarSaid = said;
  window.SpeechSynthesisUtterance = class {
    constructor(text) { this.text = text; }
  };
  const finish = (utterance, event) => { (utterance[event] || (() => {}))({}); };
  const synthesizer = {
    getVoices: () => [{ name: 'Voz de teste', lang: 'en-US' }, { name: 'Voz brasileira', lang: 'pt-BR' }],
    addEventListener() {},
    speak(utterance) {
      said.push({ text: utterance.text, voice: utterance.voice && utterance.voice.name });
      pending.push(utterance);
      setTimeout(() => {
        if (pending.includes(utterance)) {
          pending = pending.filter((u) => u !== utterance);
          finish(utterance, 'onend');
        }
      }, 20 * utterance.text.length);
    },
    cancel() {
      said.push({ cancelled: true });
      const cut = pending;
      pending = [];
      cut.forEach((utterance) => finish(utterance, 'onerror'));
    },
  };
  Object.defineProperty(window, 'speechSynthesis', { value: synthesizer, configurable: true });
}

test("the browser's voice is an engine: its Brazilian voice speaks the story and a key cancels it", async () => {
  await withBrowser({}, async (server, context) => {
    const { page, problems } = await startGame(context, server.url, 'browser', { hurry: true, init: fakeSpeechSynthesis });
    await typeKeys(page, parseKeyScript('olhar\n'));
    const said = await page.evaluate(() => window.quelvarSaid);
    const room = said.find((s) => s.text && s.text.includes(RoomDescription.slice(0, 30)));
    assert.ok(room, JSON.stringify(said.slice(-5)));
    assert.equal(room.voice, 'Voz brasileira');
    assert.ok(said.some((s) => s.cancelled), 'a key did not cancel the voice');
    assert.deepEqual(problems, []);
    await page.close();
  });
});
