// tests/web/game.test.mjs — a 30-second game in the browser on the robot's page (every chain of
// two or three tiles a word): chosen with the keys, words dragged with the mouse, the score in
// the saved state's 30-second tables at its end, and in the menu's panel after a reload.
// Depends on: harness.mjs, frame.mjs, state.mjs.
import assert from 'node:assert/strict';
import {before, test} from 'node:test';

import * as F from './frame.mjs';
import {GamePage, sleep, useBrowser, waitFor} from './harness.mjs';
import {fields, lastField, stateProblems, THIRTY_LAST, THIRTY_TOP, topField, WORD_PAIRS, wordScore} from './state.mjs';

const env = useBrowser();
// One page plays through the tests in order; each takes up where the one before left it.
let context = null, game = null;
before(async () => {
  await env.ready();
  context = await env.browser.createBrowserContext();
  env.cleanup(() => context.close());
  game = await GamePage.open(context, env.url('robot/'));
});
const lastLines = () => `\n  the page's last lines:\n    ${game.lines.slice(-12).join('\n    ')}`;
const scoreChanged = before =>
  game.waitFrame(f => F.newScore(f, before), {ms: 3000, what: 'the score line to change'});

let total = 0, best = '', longest = '', saved = '';

test('Up on the menu turns the wheel to 30 seconds and Space starts that game on a full board', {timeout: 60000},
     async () => {
  await game.start();
  const menu = await game.waitMenu();
  assert.equal(F.captionChoice(menu), 1, 'the wheel does not start at 60 seconds');
  assert.equal(F.panelDigits(menu, 76), 1, 'the top ten do not start at 0');
  await game.key('ArrowUp');
  await game.waitFrame(f => F.captionChoice(f) === 0, {ms: 3000, what: 'the caption of 30 seconds'});
  await sleep(700); // the wheel turns
  await game.key('Space');
  await game.waitFrame(F.fullBoard, {ms: 5000, what: 'a full board'});
});

test('words dragged across tiles with the mouse are printed as chains and scored', {timeout: 30000}, async () => {
  const chain = async n => {
    await waitFor(() => game.chains().length >= n, {ms: 3000, what: `chain ${n}`});
    return game.chains()[n - 1];
  };
  const board = await game.frame();
  await game.drag([F.cellCentre(0, 6), F.cellCentre(1, 6)]);
  assert.deepEqual(await chain(1), [[0, 6], [1, 6]], 'the first chain');
  await scoreChanged(board);
  const afterFirst = await game.waitFrame(F.fullBoard, {ms: 5000, what: 'the board refilled'});
  await game.drag([F.cellCentre(3, 6), F.cellCentre(3, 5), F.cellCentre(3, 4)]);
  assert.deepEqual(await chain(2), [[3, 6], [3, 5], [3, 4]], 'the second chain');
  await scoreChanged(afterFirst);
});

test('at the end of the game its score enters the 30-second tables of the saved state', {timeout: 90000},
     async () => {
  await game.waitFrame(F.darkened, {ms: 45000, what: 'the game-over overlay'});
  await game.waitFrame(F.menuBack, {what: 'the menu after the game'});
  const save = await waitFor(async () => {
    const s = await game.save();
    return s && fields(s.text)[THIRTY_TOP] !== '0' && s;
  }, {what: 'a 30-second score in the saved state'});
  saved = save.text;
  assert.equal(stateProblems(saved), '', saved);
  assert.equal(game.chains().length, 2, `chains printed besides the two words${lastLines()}`);
  const s = fields(saved);
  total = Number(s[THIRTY_TOP]);
  best = s[WORD_PAIRS];
  longest = s[WORD_PAIRS + 2];
  const bestScore = Number(s[WORD_PAIRS + 1]);
  assert.ok(total > 0, `the score ${total}`);
  assert.equal(s[THIRTY_LAST], s[THIRTY_TOP], 'the first of the 30-second last ten');
  assert.equal(s[topField(0, 1)], '0', 'the second of the 30-second top ten');
  assert.equal(s[lastField(0, 1)], '0', 'the second of the 30-second last ten');
  for (const group of [1, 2]) // the 60- and 120-second tables
    for (let k = 0; k < 10; ++k) {
      assert.equal(s[topField(group, k)], '0', `entry ${k} of the top ten of group ${group}`);
      assert.equal(s[lastField(group, k)], '0', `entry ${k} of the last ten of group ${group}`);
    }
  for (let pair = 2; pair < 6; ++pair) { // the 60- and 120-second best and longest words
    assert.equal(s[WORD_PAIRS + 2 * pair], '', `the word of pair ${pair}`);
    assert.equal(s[WORD_PAIRS + 2 * pair + 1], '0', `the score of pair ${pair}`);
  }
  // The longest word is the three-tile one; the best is either; the total is both words.
  assert.equal(longest.length, 3, `the longest word ${longest}`);
  assert.equal(Number(s[WORD_PAIRS + 3]), wordScore(longest), `the longest word's score (${longest})`);
  assert.equal(bestScore, wordScore(best), `the best word's score (${best})`);
  if (best.length === 2) {
    assert.equal(total, bestScore + wordScore(longest), `the total of ${best} and ${longest}`);
  } else {
    assert.equal(best, longest, 'a three-letter best word is the longest one');
    assert.ok(total > bestScore && total < 2 * bestScore, `the total ${total} beside the best word's ${bestScore}`);
  }
});

test('after a reload the saved score and words show in the menu', {timeout: 60000}, async () => {
  assert.ok(total > 0, 'no score was saved by the game before');
  const from = game.lines.length;
  await game.page.reload({waitUntil: 'domcontentloaded'});
  await game.waitState('waiting');
  const save = await game.save();
  assert.equal(save && save.text, saved, 'the saved state after the reload');
  await game.start();
  await game.waitLine('Highscores Loaded', {from});
  // The wheel starts at 60 seconds again, its panel empty; turned to 30, the panel has the game
  // (two digits at least: the two shortest words score 4 and 9 with the cheapest letters).
  const sixty = await game.waitMenu(from);
  assert.equal(F.captionChoice(sixty), 1, 'the wheel after the reload');
  assert.equal(F.panelDigits(sixty, 76), 1, 'digits of the 60-second top ten\'s first score (0)');
  await game.key('ArrowUp');
  // Waited for together, then each judged on the last frame seen.
  let menu = null;
  await game.waitFrame(f => {
    menu = f;
    return F.captionChoice(f) === 0 && F.panelDigits(f, 76) === F.digits(total) && F.panelDigits(f, 276) === F.digits(total) &&
           F.wordLetters(f, 259) === 3 && F.wordLetters(f, 299) === best.length;
  }, {what: 'the saved scores in the menu'}).catch(() => {});
  assert.equal(F.captionChoice(menu), 0, 'the wheel after Up');
  assert.equal(F.panelDigits(menu, 76), F.digits(total), `digits of the top ten's first score, ${total}`);
  assert.equal(F.panelDigits(menu, 276), F.digits(total), `digits of the last ten's first score, ${total}`);
  assert.equal(F.wordLetters(menu, 259), 3, `letters of the longest word, ${longest}`);
  assert.equal(F.wordLetters(menu, 299), best.length, `letters of the best word, ${best}`);
  assert.deepEqual(game.errors, [], 'uncaught errors in the page');
});
