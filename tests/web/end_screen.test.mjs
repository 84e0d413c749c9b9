// tests/web/end_screen.test.mjs — leaving the game from the menu (Escape, F4): the state saved,
// the loop stopped, the end screen shown, and its "Play again" button loading the game again.
// Depends on: harness.mjs, state.mjs.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {sleep, useBrowser, withGame} from './harness.mjs';
import {stateProblems} from './state.mjs';

const env = useBrowser();

// What the page shows once the game has gone.
function endScreen() {
  const shown = id => !document.getElementById(id).classList.contains('hidden');
  return {end: shown('end'), start: shown('start'), report: shown('report'),
          thanks: document.getElementById('thanks').textContent, focused: document.activeElement.id};
}

for (const key of ['Escape', 'F4']) {
  test(`${key} on the menu saves, ends the game on the end screen, and Play again loads it again`,
       {timeout: 60000}, async () => {
    await withGame(env.browser, env.url(), {}, async game => {
      await game.start();
      await game.waitMenu();
      const pressed = await game.run(() => Date.now());
      await game.key(key);
      await game.waitState('ended', 10000);
      assert.deepEqual(await game.run(endScreen),
                       {end: true, start: false, report: false, thanks: 'Thanks for playing', focused: 'again'});

      // Saved on the way out, whole, and written back to the page's storage.
      const save = await game.save();
      assert.ok(save, 'no saved state in the page\'s storage');
      assert.ok(save.timestamp >= pressed, `the save dates from ${save.timestamp}, before the key at ${pressed}`);
      assert.equal(stateProblems(save.text), '', save.text);

      // The game's loop has stopped: no update runs any more.
      const count = await game.updateCount();
      await sleep(500);
      assert.equal(await game.updateCount(), count, 'updates ran after the end');

      // The page still answers: its button reloads it and the game starts again.
      const from = game.lines.length;
      await game.page.click('#again');
      await game.waitState('waiting');
      await game.start();
      await game.waitMenu(from);
    });
  });
}
