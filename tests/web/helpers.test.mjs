// tests/web/helpers.test.mjs — the tests' own readers checked against hand-made inputs: chains
// from printed lines, word scores, the saved-state check, letters counted on a line of text, and
// the PNG decoder on a screenshot of known colours. Depends on: state.mjs, frame.mjs, png.mjs,
// harness.mjs (the browser for the screenshot).
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {Frame, wordLetters} from './frame.mjs';
import {decodePng} from './png.mjs';
import {chains, fields, stateProblems, STATE_FIELDS, wordScore} from './state.mjs';
import {useBrowser} from './harness.mjs';

const env = useBrowser();

// 21 lines of a chain as the game prints them, the cells given first, the rest at -1.
const printed = cells => [...cells.map(([x, y]) => `${x}.0,${y}.0`),
                          ...Array(21 - cells.length).fill('-1.0,-1.0')];

test('chains are read from the printed lines, other lines between them ignored', () => {
  const lines = ['Highscores Loaded', ...printed([[0, 6], [1, 6]]), 'something else', ...printed([[3, 3], [4, 3], [5, 2]])];
  assert.deepEqual(chains(lines), [[[0, 6], [1, 6]], [[3, 3], [4, 3], [5, 2]]]);
  assert.deepEqual(chains([...printed([[2, 2]]).slice(0, 20)]), [], 'a chain cut short');
});

test('word scores are the length times the points on the tiles', () => {
  for (const [word, score] of [['QUIZ', 76], ['ORANGES', 63], ['AB', 8], ['?A', 2], ['', 0]])
    assert.equal(wordScore(word), score, word);
});

// A player's progress: the 60-second tables after ten games (the group's sum worked out by hand:
// 98603), "QUIZ" the best and "ORANGES" the longest word, default settings (sum 1483).
function progress() {
  let text = '0|0|0|0|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1483|0|0|0|0|0|0|0|0|0|';
  const zeroGroup = '0|'.repeat(21);
  text += zeroGroup;
  text += '1384|655|1120|1120|968|204|812|968|655|96|540|433|433|1384|310|540|204|812|96|310|98603|';
  for (let g = 2; g < 8; ++g) text += zeroGroup;
  text += '|0||0|QUIZ|76|ORANGES|63|';
  for (let i = 4; i < 100; ++i) text += '|0|';
  return text;
}

test('the saved-state check passes a whole state and names what is wrong in a broken one', () => {
  const good = progress();
  assert.equal(fields(good).length, STATE_FIELDS);
  assert.equal(stateProblems(good), '');
  const f = fields(good);
  const withField = (i, v) => f.map((x, k) => (k === i ? v : x)).join('|') + '|';
  for (const [name, text, problem] of [
    ['the last field cut off', good.slice(0, -2), `the state has ${STATE_FIELDS - 1} fields or is cut short`],
    ['no final bar', good.slice(0, -1), `the state has ${STATE_FIELDS} fields or is cut short`],
    ['a setting changed', withField(5, '2'), 'the settings sum (field 25) is wrong'],
    ['a badge set', withField(26, '1'), 'the badge sum (field 34) is wrong'],
    ['a score changed', withField(56, '1385'), 'the sum of score group 1 (field 76) is wrong'],
    ['a letter for a number', withField(40, 'x'), 'field 40 is no number: x'],
    ['a word\'s score not a number', withField(206, 'QUIZ'), 'field 206 is no number: QUIZ'],
  ])
    assert.equal(stateProblems(text), problem, name);
});

// A 640 x 480 frame with white ink in the given columns of the longest word's line (259 to 271).
function wordLine(columns) {
  const px = new Array(640 * 480).fill(0x202020);
  for (const x of columns)
    for (let y = 262; y < 268; ++y) px[y * 640 + x] = 0xffffff;
  return new Frame({w: 640, h: 480, px});
}
const span = (from, n) => Array.from({length: n}, (_, k) => from + k);

test('letters of a word are counted by the font\'s advance of 7 pixels, touching ones too', () => {
  for (const [name, columns, letters] of [
    ['three letters apart', [...span(262, 5), ...span(269, 5), ...span(276, 6)], 3],
    ['"DD" touching, then "M"', [...span(262, 13), ...span(276, 6)], 3],
    ['three touching letters', span(261, 20), 3],
    ['one wide letter ("W")', span(261, 7), 1],
    ['no letter', [], 0],
  ])
    assert.equal(wordLetters(wordLine(columns), 259), letters, name);
});

test('the PNG decoder reads a screenshot of known colours', {timeout: 30000}, async () => {
  await env.ready();
  const page = await env.browser.newPage();
  try {
    await page.setViewport({width: 64, height: 48});
    await page.setContent('<body style="margin:0; background:#123456">' +
                          '<div style="position:absolute; left:8px; top:4px; width:20px; height:10px; background:#fe8001"></div>' +
                          '<div style="position:absolute; left:40px; top:30px; width:24px; height:18px; background:#00ff7f"></div>');
    const {w, h, px} = decodePng(await page.screenshot({type: 'png'}));
    assert.deepEqual([w, h], [64, 48]);
    const at = (x, y) => px[y * w + x].toString(16).padStart(6, '0');
    for (const [x, y, colour] of [[0, 0, '123456'], [63, 47 - 18, '123456'], [8, 4, 'fe8001'], [27, 13, 'fe8001'],
                                  [28, 13, '123456'], [40, 30, '00ff7f'], [63, 47, '00ff7f'], [39, 47, '123456']])
      assert.equal(at(x, y), colour, `the pixel at ${x}, ${y}`);
  } finally {
    await page.close();
  }
});
