import { devices } from 'playwright-core';
import { openBrowser, serveSite, startGame } from './support.mjs';
const server = await serveSite();
const { defaultBrowserType, ...device } = devices['Pixel 7'];
const context = await openBrowser(device);
try {
const page = await context.newPage();
await page.goto(server.url);
await page.screenshot({ path: '/tmp/wt35-shots/pixel-start.png' });
await startGame(context, server.url, 'reader', { box: true, page });
await page.screenshot({ path: '/tmp/wt35-shots/pixel-game.png' });
console.log(await page.evaluate(() => [innerWidth, document.documentElement.scrollWidth, document.documentElement.clientWidth,
  Array.from(document.querySelectorAll('#screen .ground')).map(s => JSON.stringify(Array.from(s.getClientRects()).map(r => [Math.round(r.left), Math.round(r.right)])))]));
} finally { await context.close(); server.stop(); }
