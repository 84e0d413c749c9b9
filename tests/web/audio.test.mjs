// tests/web/audio.test.mjs — sound in the browser (robot's page): the audio context waits for the
// player's first click and runs after it, and a word dragged across three tiles starts the tile
// sound for each tile and the scored-word sound once. The page's Web Audio is watched from before
// its scripts; which sound a started buffer is comes from the effect files packed in the page's
// data (their WAV headers). Depends on: harness.mjs, frame.mjs.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {test} from 'node:test';

import * as F from './frame.mjs';
import {sleep, useBrowser, waitFor, withGame} from './harness.mjs';

const env = useBrowser();

// Before the page's scripts: every audio context made, and every buffer source started with its
// buffer's size and rate, whether it loops, and its context's state.
function watchAudio() {
  const seen = (window.__audio = {contexts: [], starts: []});
  const Base = window.AudioContext;
  window.AudioContext = class extends Base {
    constructor(...args) {
      super(...args);
      seen.contexts.push(this);
    }
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function(...args) {
    const b = this.buffer;
    seen.starts.push({frames: b ? b.length : 0, rate: b ? b.sampleRate : 0, loop: this.loop, state: this.context.state});
    return start.apply(this, args);
  };
}
const contexts = () => window.__audio.contexts.map(c => ({state: c.state, time: c.currentTime}));
const starts = () => window.__audio.starts;

// {frames, rate} of the WAV file at `name` (as "/data/sfx/001.wav") in the robot page's packed data,
// found through the package's file list in its lexorm.js.
function packedWav(root, name) {
  const script = fs.readFileSync(path.join(root, 'robot', 'lexorm.js'), 'latin1');
  const entry = new RegExp(`"filename":"${name.replace(/[./]/g, '\\$&')}","start":(\\d+),"end":(\\d+)`).exec(script);
  if (!entry) throw new Error(`${name} is not in the robot page's data`);
  const data = fs.readFileSync(path.join(root, 'robot', 'lexorm.data')).subarray(Number(entry[1]), Number(entry[2]));
  if (data.toString('latin1', 0, 4) !== 'RIFF' || data.toString('latin1', 8, 12) !== 'WAVE')
    throw new Error(`${name} is no WAV file`);
  let channels = 0, rate = 0, bits = 0;
  for (let at = 12; at + 8 <= data.length;) {
    const id = data.toString('latin1', at, at + 4), size = data.readUInt32LE(at + 4);
    if (id === 'fmt ') {
      channels = data.readUInt16LE(at + 10);
      rate = data.readUInt32LE(at + 12);
      bits = data.readUInt16LE(at + 22);
    } else if (id === 'data' && channels && bits) {
      return {frames: size / (channels * (bits / 8)), rate};
    }
    at += 8 + size + (size & 1);
  }
  throw new Error(`${name} has no format or no samples`);
}

test('the first click lets the sound play, and a word starts its tiles\' sounds and the scored-word sound',
     {timeout: 60000}, async () => {
  // Taking a tile plays one of the effects 1 to 6, a word that scores effect 10.
  const tiles = [1, 2, 3, 4, 5, 6].map(n => packedWav(env.root, `/data/sfx/00${n}.wav`));
  const scored = packedWav(env.root, '/data/sfx/010.wav');
  const isTile = s => tiles.some(t => t.frames === s.frames && t.rate === s.rate);
  assert.ok(!isTile(scored), 'the scored-word sound cannot be told from the tile sounds by its size');

  await withGame(env.browser, env.url('robot/'), {before: [watchAudio]}, async game => {
    await game.waitState('waiting');
    await game.waitLine('Highscores Loaded');
    const before = await game.run(contexts);
    assert.ok(before.length > 0, 'no audio context was made');
    assert.deepEqual(before.map(c => c.state), before.map(() => 'suspended'), 'audio before the first click');

    await game.start();
    await waitFor(async () => (await game.run(contexts)).every(c => c.state === 'running'),
                  {ms: 5000, what: 'every audio context running after the click',
                   explain: async () => JSON.stringify(await game.run(contexts))});
    const running = await game.run(contexts);
    await sleep(500);
    const later = await game.run(contexts);
    later.forEach((c, i) => assert.ok(c.time > running[i].time, `the time of audio context ${i} stands still`));

    await game.waitMenu();
    await game.key('ArrowUp');
    await game.waitFrame(f => F.captionChoice(f) === 0, {ms: 3000, what: 'the caption of 30 seconds'});
    await sleep(700);
    await game.key('Space');
    await game.waitFrame(F.fullBoard, {ms: 5000, what: 'a full board'});
    await sleep(500);

    const from = (await game.run(starts)).length;
    await game.drag([F.cellCentre(0, 6), F.cellCentre(1, 6), F.cellCentre(2, 6)]);
    await waitFor(() => game.chains().length >= 1, {ms: 3000, what: 'the word\'s chain'});
    assert.deepEqual(game.chains()[0], [[0, 6], [1, 6], [2, 6]], 'the chain of the drag');
    await sleep(300);
    const word = (await game.run(starts)).slice(from).filter(s => !s.loop);
    assert.equal(word.filter(isTile).length, 3, `tile sounds started: ${JSON.stringify(word)}`);
    assert.equal(word.filter(s => s.frames === scored.frames && s.rate === scored.rate).length, 1,
                 `scored-word sounds started: ${JSON.stringify(word)}`);
    assert.deepEqual(word.filter(s => s.state !== 'running'), [], 'sounds started on a context not running');
  });
});
