// tests/web/fullscreen.test.mjs — F11 and the browser's full screen: the canvas in and out of it,
// its pixel size and the game's picture following, and the game following the browser when it
// leaves full screen by itself. Depends on: harness.mjs, frame.mjs.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {Dark} from './frame.mjs';
import {useBrowser, waitFor, withGame} from './harness.mjs';

const env = useBrowser();

// A wide page: windowed, the canvas is the 4:3 box in its middle (800 x 600, black page on
// either side); in full screen it takes the whole 1000 x 600.
const VIEWPORT = {width: 1000, height: 600};
const WINDOWED = {full: false, w: 800, h: 600}, FULL = {full: true, w: 1000, h: 600};

const screenState = () => ({full: document.fullscreenElement === document.getElementById('canvas'),
                            w: document.getElementById('canvas').width, h: document.getElementById('canvas').height});

test('F11 puts the canvas in full screen and back, and the game follows the browser leaving it', {timeout: 60000},
     async () => {
  await withGame(env.browser, env.url(), {viewport: VIEWPORT}, async game => {
    await game.start();
    await game.waitLine('Highscores Loaded');
    const reach = async (want, how) => {
      await waitFor(async () => JSON.stringify(await game.run(screenState)) === JSON.stringify(want),
                    {ms: 5000, what: `${JSON.stringify(want)} after ${how}`,
                     explain: async () => JSON.stringify(await game.run(screenState))});
      // The game draws the whole canvas: the page's black shows beside it only when windowed.
      let margins = -1;
      await game.waitFrame(f => {
        if (f.w !== VIEWPORT.width) return false;
        margins = f.count(0, 0, 100, 600, Dark) + f.count(900, 0, 1000, 600, Dark);
        return want.full ? margins < 100 * 600 : margins === 2 * 100 * 600;
      }, {ms: 5000, what: `the picture ${want.full ? 'filling the page' : 'between black margins'} after ${how}`,
          explain: () => `dark pixels beside the middle: ${margins} of ${2 * 100 * 600}`});
    };

    await reach(WINDOWED, 'the start');
    await game.key('F11');
    await reach(FULL, 'F11');
    // The browser's own way out (its Escape key does this): the game takes it as windowed...
    await game.run(() => document.exitFullscreen());
    await reach(WINDOWED, 'document.exitFullscreen()');
    // ...so one F11 is enough to go back in, and one more comes out again.
    await game.key('F11');
    await reach(FULL, 'F11 after the browser left full screen');
    await game.key('F11');
    await reach(WINDOWED, 'F11 in full screen');
  });
});
