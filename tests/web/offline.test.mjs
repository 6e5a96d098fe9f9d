// What the page fetches and keeps: nothing of the game's voice before a player chooses it;
// after one visit the page reloads and plays with the server gone (its service worker); a
// game in progress asks before a reload, and comes back after it, replayed to where it was
// and then played to the end with the Linux transcript; a start that fails gives the focus
// to the message.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { downloadTranscript, parseKeyScript, startGame, top, typeKeys, withBrowser } from './support.mjs';

const RoomDescription = 'Você está em sua cabine, um quarto pequeno com pouco mobiliário.';

test('nothing of the voice is fetched before it is chosen, and no road is chosen for the player', async () => {
  // (page.route does not see what a service worker fetches)
  await withBrowser({ serviceWorkers: 'block' }, async (server, context) => {
    const page = await context.newPage();
    const fetched = [];
    page.on('request', (request) => fetched.push(request.url().replace(/^https?:\/\/[^/]+/, '')));
    await page.goto(server.url);
    await page.waitForFunction(() => !document.getElementById('begin').disabled);
    await page.waitForTimeout(1000);
    assert.ok(!fetched.some((file) => file.startsWith('/voice')), fetched.join(' '));
    // Headless Chromium has no voices, and the page cannot tell a screen reader: it asks.
    assert.equal(await page.locator('input[name="road"]:checked').count(), 0);
    assert.match(await page.locator('label', { hasText: 'voz do jogo' }).innerText(), /baixa cerca de \d+ MB/);
    await page.getByRole('button', { name: 'Começar' }).click();
    assert.match(await page.locator('#status').innerText(), /Escolha/);
    for (const road of [/leitor de tela/, /MBROLA/]) await page.getByRole('radio', { name: road }).check();
    assert.ok(!fetched.some((file) => file.startsWith('/voice')), fetched.join(' '));
    // Choosing our voice starts its download; a download that fails gives the focus to why.
    await page.route('**/voice.data', (route) => route.abort());
    await page.getByRole('radio', { name: /voz do jogo \(/ }).check();
    await page.getByRole('button', { name: 'Começar' }).click();
    await page.waitForFunction(() => /Não foi possível/.test(document.getElementById('status').textContent));
    assert.equal(await page.evaluate(() => document.activeElement.id), 'status');
    assert.ok(fetched.includes('/voice.json'));
  });
});

test('after one visit the page reloads and plays with the server gone', async () => {
  await withBrowser({}, async (server, context) => {
    const page = await context.newPage();
    await page.goto(server.url);
    await page.evaluate(async () => {
      await navigator.serviceWorker.ready;
      // The page's files are all in the cache once the worker is active.
      for (;;) {
        const names = await caches.keys();
        const cache = names.find((name) => name.startsWith('quelvar-page-'));
        if (cache && await (await caches.open(cache)).match('quelvar.wasm')) return;
        await new Promise((resolve) => setTimeout(resolve, 100));
      }
    });
    // Installable: a manifest with the game's name, a Portuguese description and its icon;
    // the cache is named after this build's version.
    const manifest = await page.evaluate(async () => {
      const link = document.querySelector('link[rel="manifest"]');
      return (await fetch(link.href)).json();
    });
    assert.equal(manifest.name, 'Ilha de Quelvar');
    assert.equal(manifest.lang, 'pt-BR');
    assert.match(manifest.description, /aventura de piratas/);
    assert.ok(manifest.icons.some((icon) => icon.src === 'quelvar.svg'));
    const version = /const Version = '([0-9a-f]{16})'/.exec(await (await fetch(server.url + 'sw.js')).text())[1];
    assert.ok((await page.evaluate(() => caches.keys())).includes('quelvar-page-' + version));
    server.stop();
    await page.reload();
    const { problems } = await startGame(context, null, 'reader', { page });
    await typeKeys(page, parseKeyScript('olhar\n'));
    assert.ok((await page.locator('#story p').allTextContents()).includes(RoomDescription));
    assert.deepEqual(problems, []);
  });
});

test('a reload in the middle of a game asks first, then replays it; the game ends with the Linux transcript', async () => {
  await withBrowser({}, async (server, context) => {
    const keys = parseKeyScript(fs.readFileSync(path.join(top, 'tests/game/full_game.keys'), 'utf8'));
    const half = keys.findIndex((key, i) => i > keys.length / 2 && key.press === 'Enter') + 1;
    const { page, problems } = await startGame(context, server.url, 'reader');
    await typeKeys(page, keys.slice(0, half));
    const screenBefore = await page.locator('#screen .row').allTextContents();
    const dialogs = [];
    page.on('dialog', (dialog) => {
      dialogs.push(dialog.type());
      dialog.accept();
    });
    await page.reload();
    assert.deepEqual(dialogs, ['beforeunload']);
    assert.ok(await page.locator('#resume-note').isVisible());
    await startGame(context, null, 'reader', { page });
    await page.waitForFunction(() => !window.quelvarReplaying(), null, { timeout: 120000 });
    await page.locator('#screen').focus();
    assert.deepEqual(await page.locator('#screen .row').allTextContents(), screenBefore);
    await typeKeys(page, keys.slice(half));
    await page.locator('#ended').waitFor();
    const expected = fs.readFileSync(path.join(top, 'tests/game/full_game.transcript'), 'utf8');
    assert.equal(await downloadTranscript(page), expected);
    assert.deepEqual(problems, []);
  });
});

test("a reload on our MBROLA voice's road replays the game with its sound passing at once", async () => {
  await withBrowser({}, async (server, context) => {
    const { page, problems } = await startGame(context, server.url, 'mbrola', { hurry: true });
    await typeKeys(page, parseKeyScript('olhar\nabrir gaveta\n'));
    const screenBefore = await page.locator('#screen .row').allTextContents();
    page.on('dialog', (dialog) => dialog.accept());
    await page.reload();
    const started = Date.now();
    await startGame(context, null, 'mbrola', { page });
    await page.waitForFunction(() => !window.quelvarReplaying(), null, { timeout: 60000 });
    // Said aloud, the opening alone takes about forty seconds.
    assert.ok(Date.now() - started < 20000, `the replay took ${Date.now() - started} ms`);
    assert.deepEqual(await page.locator('#screen .row').allTextContents(), screenBefore);
    assert.deepEqual(problems, []);
  });
});
