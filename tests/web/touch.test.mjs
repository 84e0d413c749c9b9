// tests/web/touch.test.mjs — the game on a touch screen (robot's page): the overlay's tap kept
// from the game, a tap pressing the play button, a finger's drag taking tiles, a second finger
// ignored, and the page neither scrolling nor zooming under swipes and pinches that move a plain
// page. Touches go through the DevTools protocol (Input.dispatchTouchEvent): two fingers at once.
// Depends on: harness.mjs, frame.mjs.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import * as F from './frame.mjs';
import {sleep, useBrowser, waitFor, withGame} from './harness.mjs';

const env = useBrowser();
const PHONE = {viewport: {width: 640, height: 480}, touch: true, mobile: true};

// Fingers at points [x, y], in order (the first is finger 1).
const touch = (cdp, type, points) =>
  cdp.send('Input.dispatchTouchEvent', {type, touchPoints: points.map(([x, y], i) => ({x, y, id: i + 1}))});
// Fingers put down at `from`, moved together to `to` in steps of about 10 pixels, lifted.
async function gesture(cdp, from, to) {
  const steps = Math.ceil(Math.max(...from.map((p, i) => Math.hypot(to[i][0] - p[0], to[i][1] - p[1]))) / 10);
  await touch(cdp, 'touchStart', from);
  await sleep(50);
  for (let s = 1; s <= steps; ++s) {
    await touch(cdp, 'touchMove', from.map(([x, y], i) => [x + ((to[i][0] - x) * s) / steps, y + ((to[i][1] - y) * s) / steps]));
    await sleep(20);
  }
  await sleep(50);
  await touch(cdp, 'touchEnd', []);
  await sleep(100);
}
// A swipe upwards, which scrolls a page down, and a pinch outwards, which zooms it.
const SWIPE = [[[320, 400]], [[320, 100]]];
const PINCH = [[[300, 220], [340, 220]], [[180, 220], [460, 220]]];
const view = () => ({scrollY: window.scrollY, scale: visualViewport.scale});

// Before the page's scripts: every touch event that reaches the window, with the element it is
// for and whether its default (scrolling, zooming, mouse events) was refused; and the page made
// taller than the screen.
function watchTouches() {
  window.__touches = [];
  for (const type of ['touchstart', 'touchmove', 'touchend'])
    window.addEventListener(type, e => window.__touches.push({type, on: e.target.id, refused: e.defaultPrevented}));
  document.addEventListener('DOMContentLoaded', () => {
    const tall = document.createElement('div');
    tall.style.cssText = 'position:absolute; top:0; left:0; width:1px; height:3000px';
    document.body.appendChild(tall);
  });
}

test('the same swipe and pinch scroll and zoom a plain page', {timeout: 30000}, async () => {
  const context = await env.browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.setViewport({...PHONE.viewport, hasTouch: true, isMobile: true});
    const cdp = await page.createCDPSession();
    await page.setContent('<!doctype html><meta name="viewport" content="width=device-width, initial-scale=1">' +
                          '<body style="margin:0"><div style="height:3000px"></div></body>');
    const seen = async () => (await cdp.send('Runtime.evaluate', {expression: `(${view})()`, returnByValue: true})).result.value;
    await gesture(cdp, ...SWIPE);
    assert.ok((await seen()).scrollY > 100, `the swipe scrolled the plain page by ${(await seen()).scrollY}`);
    await gesture(cdp, ...PINCH);
    await waitFor(async () => (await seen()).scale > 1.5, {ms: 3000, what: 'the plain page zoomed by the pinch',
                                                          explain: async () => JSON.stringify(await seen())});
  } finally {
    await context.close();
  }
});

test('a tap presses, a finger drags a word, a second finger is ignored, and the page never scrolls or zooms',
     {timeout: 60000}, async () => {
  await withGame(env.browser, env.url('robot/'), {...PHONE, before: [watchTouches]}, async game => {
    const [playX, playY] = [570, 432];
    // The tap that takes the overlay away falls where the play button is, and never presses it.
    await game.waitState('waiting');
    await game.waitLine('Highscores Loaded');
    await sleep(2000); // the menu's intro over behind the overlay
    await gesture(game.cdp, [[playX, playY]], [[playX, playY]]);
    await game.waitState('running', 5000);
    await game.waitMenu();
    await sleep(1500);
    assert.ok(F.menuAtRest(await game.frame()), 'the overlay\'s tap left the menu');
    await gesture(game.cdp, [[playX, playY]], [[playX, playY]]);
    await game.waitFrame(F.fullBoard, {ms: 5000, what: 'a full board after tapping the play button'});

    await gesture(game.cdp, [F.cellCentre(0, 6)], [F.cellCentre(2, 6)]);
    await waitFor(() => game.chains().length >= 1, {ms: 3000, what: 'the dragged word'});
    assert.deepEqual(game.chains()[0], [[0, 6], [1, 6], [2, 6]], 'the chain of the drag');

    // Two fingers apart from the middle of row 2: only the first one's tiles are taken.
    await game.waitFrame(F.fullBoard, {ms: 5000, what: 'the board refilled'});
    await gesture(game.cdp, [F.cellCentre(3, 2), F.cellCentre(4, 2)], [F.cellCentre(1, 2), F.cellCentre(6, 2)]);
    await waitFor(() => game.chains().length >= 2, {ms: 3000, what: 'the pinched word'});
    assert.deepEqual(game.chains()[1], [[3, 2], [2, 2], [1, 2]], 'the chain of two fingers');

    // The plain page's swipe and pinch, over the canvas of a page taller than the screen.
    assert.ok(await game.run(() => document.documentElement.scrollHeight) >= 3000, 'the page is not taller');
    await game.waitFrame(F.fullBoard, {ms: 5000, what: 'the board refilled'});
    await gesture(game.cdp, ...SWIPE);
    await gesture(game.cdp, ...PINCH);
    await sleep(500);
    assert.deepEqual(await game.run(view), {scrollY: 0, scale: 1}, 'the page scrolled or zoomed');
    // Every touch on the canvas had its default refused.
    const touches = await game.run(() => window.__touches);
    const canvas = touches.filter(t => t.on === 'canvas');
    assert.ok(canvas.length > 20, `touch events on the canvas: ${canvas.length}`);
    assert.deepEqual(canvas.filter(t => !t.refused), [], 'touch events on the canvas whose default was not refused');
  });
});
