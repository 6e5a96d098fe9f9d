// A phone player and a low-vision player. On Playwright's Pixel 7 and iPhone 13 (in
// Chromium) the page tells how to play without a keyboard, and the whole winning game is
// played through the command box with input events only, to the Linux transcript; the rows
// are read whole without sideways scrolling. At 100, 200 and 400 % zoom of a 1280x800
// window the row being typed stays in view and nothing scrolls sideways (screenshots go to
// build-web/screenshots); the text size is kept; more contrast is honoured.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { devices } from 'playwright-core';
import { downloadTranscript, parseKeyScript, startGame, top, typeKeys, typeLinesInBox,
         withBrowser } from './support.mjs';

const shots = path.join(top, 'build-web/screenshots');
fs.mkdirSync(shots, { recursive: true });

// Whether the page scrolls sideways, and where the caret is against the window.
function layout(page) {
  return page.evaluate(async () => {
    // (the page scrolls to the caret at the next frame)
    await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    const caret = document.querySelector('#screen .caret');
    const box = caret && caret.getBoundingClientRect();
    return {
      sideways: document.documentElement.scrollWidth > document.documentElement.clientWidth + 1 ||
                document.getElementById('screen').scrollWidth > document.getElementById('screen').clientWidth + 1,
      // in the window, and not under the command box
      caretInView: !!box && box.top >= 0 && box.bottom <= window.innerHeight && box.left >= 0 &&
                   box.right <= window.innerWidth &&
                   document.getElementById('screen').contains(document.elementFromPoint((box.left + box.right) / 2,
                                                                                       (box.top + box.bottom) / 2)),
    };
  });
}

// Whether the screen's text 'words' is drawn inside the window.
function inWindow(page, words) {
  return page.evaluate((wanted) => {
    for (const span of document.querySelectorAll('#screen span')) {
      const at = span.textContent.indexOf(wanted);
      if (at < 0) continue;
      const range = document.createRange();
      range.setStart(span.firstChild, at);
      range.setEnd(span.firstChild, at + wanted.length);
      const box = range.getBoundingClientRect();
      return box.width > 0 && box.left >= 0 && box.right <= window.innerWidth;
    }
    return false;
  }, words);
}

for (const name of ['Pixel 7', 'iPhone 13']) {
  test(`${name}: the whole game through the command box, with input events only`, async () => {
    const { defaultBrowserType, ...device } = devices[name];
    await withBrowser(device, async (server, context) => {
      const page = await context.newPage();
      await page.goto(server.url);
      assert.ok(await page.locator('#no-keyboard').isVisible(), 'no word on playing without a keyboard');
      const { problems } = await startGame(context, server.url, 'reader', { box: true, page });
      assert.ok(await page.locator('#command').isVisible());
      assert.equal(await page.evaluate(() => document.activeElement.id), 'command');
      assert.equal(await page.getByRole('textbox', { name: 'Comando' }).count(), 1);
      // The title rows show their text, wrapped, where a phone showed empty bars.
      for (const words of ['Sua cabine', 'Score: 0']) assert.ok(await inWindow(page, words), `${words} is not in view`);
      assert.deepEqual(await layout(page), { sideways: false, caretInView: true });
      await page.screenshot({ path: path.join(shots, `${name.replace(' ', '-')}.png`) });

      await typeLinesInBox(page, fs.readFileSync(path.join(top, 'tests/game/full_game.keys'), 'utf8'));
      await page.locator('#ended').waitFor();
      const expected = fs.readFileSync(path.join(top, 'tests/game/full_game.transcript'), 'utf8');
      assert.equal(await downloadTranscript(page), expected);
      assert.deepEqual(problems, []);
    });
  });
}

test('at 100, 200 and 400 % the row being typed stays in view and no row needs sideways scrolling', async () => {
  for (const zoom of [1, 2, 4]) {
    await withBrowser({ viewport: { width: 1280 / zoom, height: 800 / zoom }, deviceScaleFactor: zoom }, async (server, context) => {
      const { page, problems } = await startGame(context, server.url, 'reader');
      await typeKeys(page, parseKeyScript('olhar\najuda\nabrir a gaveta<NoEnter>'));
      await page.screenshot({ path: path.join(shots, `zoom-${100 * zoom}.png`) });
      assert.deepEqual(await layout(page), { sideways: false, caretInView: true }, `at ${100 * zoom} %`);
      assert.deepEqual(problems, []);
    });
  }
});

test('the text size is kept, Tab leaves the command box, and more contrast turns the screen white on black', async () => {
  await withBrowser({}, async (server, context) => {
    let { page } = await startGame(context, server.url, 'reader');
    const fontSize = () => page.locator('#screen').evaluate((e) => parseFloat(getComputedStyle(e).fontSize));
    const normal = await fontSize();
    await page.getByLabel('Tamanho do texto').selectOption({ label: 'muito grande' });
    assert.equal(await fontSize(), 2 * normal);
    await page.close();
    ({ page } = await startGame(context, server.url, 'reader'));
    assert.equal(await fontSize(), 2 * normal);
    assert.deepEqual(await layout(page), { sideways: false, caretInView: true });
    // The command box is a field like any other: Tab leaves it.
    await page.locator('#command').focus();
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'send');
    await page.emulateMedia({ contrast: 'more' });
    const colours = await page.locator('#screen .row span').evaluateAll((spans) => spans.map((s) => {
      const style = getComputedStyle(s);
      return `${style.color} on ${style.backgroundColor}`;
    }));
    assert.ok(colours.includes('rgb(255, 255, 255) on rgb(0, 0, 0)'), colours.join(', '));
    assert.ok(colours.includes('rgb(0, 0, 0) on rgb(255, 255, 255)'), 'the title rows lost their ground');
    assert.ok(colours.every((c) => c === 'rgb(255, 255, 255) on rgb(0, 0, 0)' || c === 'rgb(0, 0, 0) on rgb(255, 255, 255)'));
    await page.screenshot({ path: path.join(shots, 'more-contrast.png') });
  });
});
