// What the page's tests and its benchmark share: the site served on this machine, Debian's
// Chromium with a profile of its own and no connections out, and key scripts typed with
// real key events the way the headless console types them.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const top = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const site = process.env.QUELVAR_WEB_SITE || path.join(top, 'build-web/site');

// Serves the site (scripts/serve-web.sh on a free port); resolves to {url, stop}.
export function serveSite() {
  const server = spawn(path.join(top, 'scripts/serve-web.sh'), ['0', site], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.on('exit', (code) => reject(new Error(`serve-web.sh ended with ${code}`)));
    readline.createInterface({ input: server.stdout }).once('line', (url) =>
      resolve({ url, stop: () => server.kill() }));
  });
}

// Chromium as the design notes say it must be started here; nothing reaches the outside.
// 'options' are Playwright's for the context (a device, a viewport, a scale).
export async function openBrowser(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quelvar-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    ...options,
    executablePath: process.env.QUELVAR_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  context.on('close', () => setTimeout(() => fs.rmSync(profile, { recursive: true, force: true, maxRetries: 10 }), 500));
  return context;
}

// Runs fn(server, context) with the site served and a browser of its own ('options' as for
// openBrowser), and ends both whatever happens.
export async function withBrowser(options, fn) {
  const server = await serveSite();
  const context = await openBrowser(options);
  try {
    await fn(server, context);
  } finally {
    await context.close();
    server.stop();
  }
}

// Opens the page, chooses how the game is heard and presses "Começar"; resolves when the
// game first waits for a key.
// With 'hurry', a key (End, which the line editor takes silently) cuts the opening story's
// speech short.
// With 'offline', the network is gone once the page has loaded; 'init' runs in the page
// before its own scripts. The keys go to the game's screen unless 'box' keeps them in the
// command box; 'page' is a page already open at the address.
export async function startGame(context, url, road, { hurry = false, offline = false, init = null, box = false,
                                                      page: opened = null } = {}) {
  const page = opened || await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  if (init) await page.addInitScript(init);
  if (!opened) await page.goto(url);
  if (offline) {
    await page.waitForFunction(() => !document.getElementById('begin').disabled);
    await context.setOffline(true);
  }
  await page.getByRole('radio', { name: roadNames[road] }).check();
  await page.getByRole('button', { name: 'Começar' }).click();
  if (hurry) {
    // (after the title, whose tone throws away keys typed ahead)
    await page.waitForFunction(() => document.getElementById('screen').textContent.includes('Em seu sono'));
    await page.keyboard.press('End');
  }
  await waitForKeyWait(page, 0);
  if (!box) await page.locator('#screen').focus();
  return { page, problems };
}

// Types each line of a key script into the command box as a phone's keyboard does, with
// input events only (the line, then a line break), each when the game waits for a key.
// Lines of named keys other than <NoEnter> are not for the box.
export async function typeLinesInBox(page, text) {
  const lines = text.split('\n');
  if (lines.at(-1) === '') lines.pop();
  for (let line of lines) {
    if (line.startsWith('##')) continue;
    const enter = !line.endsWith('<NoEnter>');
    line = line.replace(/<NoEnter>$/, '').replace(/<lt>/g, '<');
    if (/<[^>]+>/.test(line)) throw new Error(`not a line for the box: ${line}`);
    if (line) await patiently(page, () => page.keyboard.insertText(line));
    if (enter) await patiently(page, () => page.keyboard.insertText('\n'));
  }
}
async function patiently(page, type) {
  await page.waitForFunction(() => window.quelvarIdle() || !document.getElementById('ended').hidden);
  const seen = await keyWaits(page);
  await type();
  await page.waitForFunction((n) => (Number(document.getElementById('screen').dataset.keyWaits || 0) > n &&
                                     window.quelvarIdle()) || !document.getElementById('ended').hidden, seen);
}
const roadNames = { reader: /leitor de tela/, browser: /voz do navegador/, ours: /voz do jogo \(/, mbrola: /MBROLA/ };

async function keyWaits(page) {
  return Number(await page.locator('#screen').getAttribute('data-key-waits') || 0);
}
// Until the game waits for a key (with none queued) more often than 'seen' times.
async function waitForKeyWait(page, seen, timeout = 60000) {
  await page.waitForFunction((n) => Number(document.getElementById('screen').dataset.keyWaits || 0) > n, seen,
                             { timeout });
}

// A key script (tests/game/*.keys) as Playwright keys: typed text, named keys with their
// modifiers, waits, and Enter after each line unless it ends in <NoEnter>.
const KeyNames = {
  Enter: 'Enter', Esc: 'Escape', Tab: 'Tab', BS: 'Backspace', Up: 'ArrowUp', Down: 'ArrowDown',
  Left: 'ArrowLeft', Right: 'ArrowRight', Home: 'Home', End: 'End', PgUp: 'PageUp', PgDn: 'PageDown',
  Ins: 'Insert', Del: 'Delete', Space: 'Space', lt: '<',
};
export function parseKeyScript(text) {
  const keys = [];
  const lines = text.split('\n');
  if (lines.at(-1) === '') lines.pop();
  for (let line of lines) {
    line = line.replace(/\r$/, '');
    if (line.startsWith('##')) continue;
    let enter = true;
    if (line.endsWith('<NoEnter>')) {
      enter = false;
      line = line.slice(0, -'<NoEnter>'.length);
    }
    for (const [, token, character] of line.matchAll(/<([^>]+)>|([^<])/gu)) {
      if (character !== undefined) {
        keys.push({ press: character });
        continue;
      }
      if (token.startsWith('Wait:')) {
        keys.push({ waitMs: Number(token.slice(5)) });
        continue;
      }
      const parts = token.split('+');
      const name = parts.pop();
      const modifiers = parts.map((m) => ({ Ctrl: 'Control' })[m] || m);
      keys.push({ press: [...modifiers, KeyNames[name] || name].join('+') });
    }
    if (enter) keys.push({ press: 'Enter' });
  }
  return keys;
}

// Types the keys as a patient typist: each when the game waits for one, a key after a wait
// that much later whatever the game is doing.
export async function typeKeys(page, keys) {
  let afterWait = false;
  for (const key of keys) {
    if (key.waitMs !== undefined) {
      await page.waitForTimeout(key.waitMs);
      afterWait = true;
      continue;
    }
    if (!afterWait) await page.waitForSelector('#screen .caret', { state: 'attached' });
    afterWait = false;
    const seen = await keyWaits(page);
    await pressKey(page, key.press);
    await page.waitForFunction((n) => Number(document.getElementById('screen').dataset.keyWaits || 0) > n ||
                                      !document.getElementById('ended').hidden, seen);
  }
}

// A key by Playwright's name; a character that its keyboard layout lacks (ú, ç) goes down
// and up as the browser's own key events with that character.
async function pressKey(page, name) {
  if ([...name].length !== 1 || /^[\x20-\x7e]$/.test(name)) {
    await page.keyboard.press(name);
    return;
  }
  const session = await page.context().newCDPSession(page);
  await session.send('Input.dispatchKeyEvent', { type: 'keyDown', key: name, text: name, unmodifiedText: name });
  await session.send('Input.dispatchKeyEvent', { type: 'keyUp', key: name });
  await session.detach();
}

// The transcript the page offers as a download.
export async function downloadTranscript(page) {
  const [download] = await Promise.all([page.waitForEvent('download'),
                                        page.getByRole('button', { name: 'Baixar a transcrição' }).click()]);
  return fs.readFileSync(await download.path(), 'utf8');
}
