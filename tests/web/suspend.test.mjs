// tests/web/suspend.test.mjs — a game whose page is hidden (another tab brought to the front):
// no update runs meanwhile, it comes back paused in the pause menu, and the time it spent hidden
// or paused does not count against its clock. Depends on: harness.mjs, frame.mjs.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import * as F from './frame.mjs';
import {sleep, useBrowser, waitFor, withGame} from './harness.mjs';

const env = useBrowser();
const HIDDEN_MS = 8000;

test('a hidden page pauses the game and its clock: the pause menu shows and the game ends late by that time',
     {timeout: 90000}, async () => {
  await withGame(env.browser, env.url('robot/'), {}, async (game, context) => {
    const visibility = () => game.run(() => document.visibilityState);
    await game.start();
    await game.waitMenu();
    await game.key('ArrowUp');
    await game.waitFrame(f => F.captionChoice(f) === 0, {ms: 3000, what: 'the caption of 30 seconds'});
    await sleep(700); // the wheel turns
    const started = Date.now();
    await game.key('Space');
    await game.waitFrame(F.fullBoard, {ms: 5000, what: 'a full board'});
    await sleep(1000);

    // Another tab in front: the game's page is hidden, and no update runs while it is.
    const other = await context.newPage();
    await other.bringToFront();
    await waitFor(async () => (await visibility()) === 'hidden', {ms: 5000, what: 'the page hidden'});
    const hiddenAt = await game.updateCount();
    await sleep(HIDDEN_MS);
    assert.equal(await game.updateCount(), hiddenAt, 'updates ran while the page was hidden');
    await game.page.bringToFront();
    await other.close();
    await waitFor(async () => (await visibility()) === 'visible', {ms: 5000, what: 'the page shown again'});

    // Back in the pause menu, which stays until the player leaves it.
    await game.waitFrame(F.pauseMenu, {ms: 5000, what: 'the pause menu after the page was shown'});
    await sleep(1000);
    assert.ok(F.pauseMenu(await game.frame()), 'the pause menu went by itself');
    await game.key('Escape');
    await game.waitFrame(f => F.boardShown(f) && !F.pauseMenu(f), {ms: 5000, what: 'the board after the pause'});

    // Had the hidden time counted, the game would be over 30 s after its start; it is still on
    // two seconds after that, and ends later.
    await sleep(Math.max(0, started + 32000 - Date.now()));
    const late = await game.frame();
    assert.ok(!F.darkened(late), 'the game ended within 32 s of its start though it was hidden for 8 s');
    assert.ok(F.boardShown(late), 'no board 32 s after the start');
    await game.waitFrame(F.darkened, {ms: 30000, what: 'the game-over overlay'});
  });
});
