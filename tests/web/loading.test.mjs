// tests/web/loading.test.mjs — the page loading: the download's progress, the start overlay with
// the game already running behind it, the first key kept from the game, the menu's pixels, and a
// file that does not come ending the loading with a report; writes the README's picture of the
// menu (screenshots/web-menu.png in the build folder).
// Depends on: harness.mjs, frame.mjs.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {test} from 'node:test';

import * as F from './frame.mjs';
import {sleep, useBrowser, waitFor, withGame} from './harness.mjs';

// The data file comes in 12 pieces a tenth of a second apart: the progress has time to show.
const env = useBrowser({server: {slow: {suffix: '.data', pieces: 12, pauseMs: 100}}});

// Before the page's scripts: every change of the page's state, progress and screens as it was
// then, and every line logged with the page's state when it was logged.
function recordLoading() {
  const seen = (window.__seen = []), printed = (window.__printed = []);
  const shown = id => {
    const e = document.getElementById(id);
    return !!e && !e.classList.contains('hidden');
  };
  const note = () => {
    const body = document.body, bar = document.getElementById('progress');
    if (!body || !bar) return;
    const last = seen[seen.length - 1];
    const now = {state: body.dataset.state, progress: Number(bar.value), loading: shown('loading'),
                 start: shown('start'), startText: document.getElementById('start').textContent.trim()};
    if (!last || JSON.stringify(last) !== JSON.stringify(now)) seen.push(now);
  };
  new MutationObserver(note).observe(document, {subtree: true, childList: true, attributes: true});
  const log = console.log;
  console.log = function(...parts) {
    printed.push({text: parts.join(' '), state: document.body ? document.body.dataset.state : null});
    return log.apply(this, parts);
  };
}

test('the page loads with progress, waits behind its overlay with the menu running, and keeps the first key',
     {timeout: 60000}, async () => {
  await withGame(env.browser, env.url(), {before: [recordLoading]}, async game => {
    await game.waitState('waiting');
    const seen = await game.run(() => window.__seen);
    assert.ok(seen.length > 0, 'nothing of the page was seen');
    assert.equal(seen[0].state, 'loading', 'the first state');
    assert.equal(seen[0].loading, true, 'the loading screen at first');
    assert.equal(seen[0].start, false, 'the start overlay at first');

    // The bar rises through the download without going back, and is full when it ends.
    const loading = seen.filter(s => s.state === 'loading').map(s => s.progress);
    assert.ok(loading.some(p => p > 0 && p < 1), `no progress between empty and full: ${loading}`);
    for (let i = 1; i < loading.length; ++i)
      assert.ok(loading[i] >= loading[i - 1], `the progress went back: ${loading}`);
    assert.equal(loading[loading.length - 1], 1, `the progress at the end of loading: ${loading}`);

    // Waiting: the loading screen gone, the overlay up with its words.
    const waiting = seen.find(s => s.state === 'waiting');
    assert.equal(waiting.loading, false, 'the loading screen while waiting');
    assert.equal(waiting.start, true, 'the start overlay while waiting');
    assert.equal(waiting.startText, 'Click or press a key to start');

    // The game loaded its menu behind the overlay, before anyone pressed anything.
    await game.waitLine('Highscores Loaded');
    const printed = await game.run(() => window.__printed);
    const menuLoaded = printed.find(p => p.text === 'Highscores Loaded');
    assert.equal(menuLoaded.state, 'waiting', 'the page state when the menu had loaded');

    // The first key starts the page and never reaches the game: Up would turn the wheel from
    // 60 to 30 seconds. The second Up does.
    await game.key('ArrowUp');
    await game.waitState('running', 5000);
    assert.equal(await game.run(() => document.getElementById('start').classList.contains('hidden')), true,
                 'the overlay after the first key');
    const menu = await game.waitMenu();
    await sleep(700); // a turn of the wheel would have shown by now
    assert.equal(F.captionChoice(await game.frame()), 1, 'the wheel left 60 seconds on the first key');

    // The menu's pixels, as the desktop window shows them at 640 x 480.
    assert.equal(menu.w, 640, 'the screenshot width');
    assert.equal(menu.h, 480, 'the screenshot height');
    assert.ok(F.playButton(menu) > 500, `play button pixels: ${F.playButton(menu)}`);
    assert.ok(F.logoTiles(menu) > 3000, `logo tile pixels: ${F.logoTiles(menu)}`);
    assert.equal(F.panelDigits(menu, 76), 1, 'digits of the first top-ten score (0)');

    // The README's picture of the menu.
    const folder = path.join(env.root, 'screenshots'), file = path.join(folder, 'web-menu.png');
    fs.mkdirSync(folder, {recursive: true});
    const png = await game.page.screenshot({type: 'png'});
    const shot = F.Frame.fromPng(png);
    assert.ok(F.menuAtRest(shot), 'the menu at rest in the picture');
    assert.deepEqual([shot.w, shot.h], [640, 480], 'the picture size');
    fs.writeFileSync(file, png);

    await game.key('ArrowUp');
    await waitFor(async () => F.captionChoice(await game.frame()) === 0,
                  {ms: 3000, what: 'the wheel on 30 seconds after the second Up'});
  });
});

// What the end screen shows.
const endScreen = () => ({state: document.body.dataset.state, end: !document.getElementById('end').classList.contains('hidden'),
                          thanks: document.getElementById('thanks').textContent,
                          report: document.getElementById('report').classList.contains('hidden') ? null
                                                                                              : document.getElementById('report').textContent});

for (const [file, named] of [['lexorm.data', /lexorm\.data/], ['lexorm.js', /lexorm\.js/], ['lexorm.wasm', /wasm/]]) {
  test(`${file} answered "not found" ends the loading on the error screen, which names it`, {timeout: 30000},
       async () => {
    await withGame(env.browser, env.url(), {missing: [`/${file}`]}, async game => {
      await game.waitState('failed', 10000);
      const seen = await game.run(endScreen);
      assert.equal(seen.end, true, 'the end screen');
      assert.equal(seen.thanks, 'The game stopped with an error');
      assert.match(seen.report || '', named, 'the report');
      // The missing file's own uncaught error is what this test is about; any other fails it.
      game.errors = game.errors.filter(e => !named.test(e));
    });
  });
}
