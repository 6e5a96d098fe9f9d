// The screen reader's road: what the game would speak goes to the page's live regions. A
// key script of editing and review keys gives the player's reader the texts that the Linux
// build's speech log holds for the same keys (reader_keys.speech, made with an engine
// open, as a page's reader is), in the same order; the editor's and the review's answers
// go to the region that interrupts, the story to the polite one; recorded sounds (a
// character under the cursor, the time) come as words, a typed character's echo does not.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { parseKeyScript, startGame, top, typeKeys, withBrowser } from './support.mjs';

const here = path.join(top, 'tests/web');

test("editing and review keys give the player's reader the Linux speech log's texts, in order", async () => {
  await withBrowser({}, async (server, context) => {
    const { page, problems } = await startGame(context, server.url, 'reader');
    assert.equal(await page.locator('#reply').getAttribute('aria-live'), 'assertive');
    assert.equal(await page.locator('#story').getAttribute('aria-live'), 'polite');
    const keys = parseKeyScript(fs.readFileSync(path.join(here, 'reader_keys.keys'), 'utf8'));
    // Up to the first editing line's Left: the reply region then holds the character.
    const left = keys.findIndex((key) => key.press === 'ArrowLeft');
    await typeKeys(page, keys.slice(0, left + 1));
    assert.deepEqual(await page.locator('#reply p').allTextContents(), ['z']);
    await typeKeys(page, [keys[left + 1]]);  // F8: the time, in words
    assert.match((await page.locator('#reply p').allTextContents()).join(' '), /^[a-zç ]+ horas?( [a-z ]+ minutos?)?$/);
    await typeKeys(page, keys.slice(left + 2));

    const heard = await page.evaluate(() => window.quelvarReader);
    const expected = fs.readFileSync(path.join(here, 'reader_keys.speech'), 'utf8').split('\n').slice(0, -1);
    assert.deepEqual(heard.filter((h) => h.kind !== 'cue').map((h) => h.text), expected);
    // The answers to keys are the texts that were not written on the screen as they were said.
    const answers = heard.filter((h) => h.kind === 'answer').map((h) => h.text.trimEnd());
    assert.ok(answers.includes('abrir a gaveta xyz 42'), JSON.stringify(answers));
    assert.ok(answers.includes('Qual texto'), JSON.stringify(answers));
    assert.ok(!heard.some((h) => h.kind === 'cue' && /^[a-z]$/.test(h.text) && 'olhar'.includes(h.text)),
              'a typed character was echoed');
    // The story came line by line in the polite region, each line once.
    const story = await page.locator('#story p').allTextContents();
    assert.equal(story.filter((line) => line === 'É isto que você está levando:').length, 1);
    assert.deepEqual(problems, []);
    await page.close();
  });
});
