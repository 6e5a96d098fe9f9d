import { openBrowser, serveSite, startGame } from './support.mjs';
const server = await serveSite();
const context = await openBrowser();
const { page, problems } = await startGame(context, server.url, 'reader');
page.on('console', (m) => console.log('console', m.type(), m.text()));
await page.evaluate(() => { const p = window.Module.quelvarPage; const cue = p.cue; p.cue = (n) => { console.log('cue ' + n); cue(n); }; });
for (const key of ['a', 'b', 'ArrowLeft', 'ArrowLeft', 'ArrowLeft', 'F1', 'Home', 'Control+Shift+F9', 'ArrowDown', 'ArrowRight', 'Escape']) {
  console.log('key', key);
  await page.keyboard.press(key);
  await page.waitForTimeout(700);
}
console.log(JSON.stringify(await page.evaluate(() => window.quelvarReader.slice(-4))));
console.log((await page.locator('#screen .row').allTextContents()).filter(r => r.trim()).slice(-3));
console.log(await page.evaluate(() => [document.activeElement.id, document.getElementById('screen').dataset.keyWaits]));
await context.close();
server.stop();
