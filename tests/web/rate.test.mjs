// tests/web/rate.test.mjs — the game's update rate whatever the display's frame rate: with the
// page's animation frames driven faster and slower than 60 a second, the game still runs 60
// updates a second (within 3 %) over 5 seconds. Depends on: harness.mjs.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {sleep, useBrowser, withGame} from './harness.mjs';

const env = useBrowser();

// Before the page's scripts: animation frames at `hz` a second, counted, in place of the display's.
function framesAt(hz) {
  window.__frames = 0;
  window.requestAnimationFrame = callback => setTimeout(() => {
    ++window.__frames;
    callback(performance.now());
  }, 1000 / hz);
  window.cancelAnimationFrame = id => clearTimeout(id);
}

// The game prints nothing per update, and its clock also follows real time (it ends a game on
// whichever runs out first, updates or seconds), so a game ending on time would not show updates
// running slow. The host's count of the updates run (Module._lexorm_web_update_count) does:
// it is read with the page's clock in one call at either end of 5 seconds.
const sample = () => ({ms: performance.now(), updates: Module._lexorm_web_update_count(), frames: window.__frames});

for (const hz of [120, 30]) {
  test(`with animation frames at ${hz} a second the game runs 60 updates a second`, {timeout: 60000}, async () => {
    await withGame(env.browser, env.url(), {before: [framesAt], arg: hz}, async game => {
      await game.start();
      await game.waitMenu();
      const a = await game.run(sample);
      await sleep(5000);
      const b = await game.run(sample);
      const seconds = (b.ms - a.ms) / 1000;
      const frames = (b.frames - a.frames) / seconds, updates = (b.updates - a.updates) / seconds;
      // Timers come late, never early: the frames must at least come near the rate asked for.
      assert.ok(frames > 0.75 * hz && frames < 1.05 * hz, `animation frames a second: ${frames.toFixed(1)}`);
      assert.ok(Math.abs(updates - 60) <= 60 * 0.03,
                `updates a second: ${updates.toFixed(2)} (${b.updates - a.updates} in ${seconds.toFixed(3)} s)`);
    });
  });
}
