// tests/web/saves.test.mjs — damaged saves in the page's storage (IndexedDB): the game still
// starts, says what it could not read, keeps printing to the console, and writes a whole save
// over the damaged one when it ends (or says it cannot). Depends on: harness.mjs, state.mjs.
import assert from 'node:assert/strict';
import {test} from 'node:test';

import {useBrowser, waitFor, withGame} from './harness.mjs';
import {stateProblems} from './state.mjs';

const env = useBrowser();
const FILE = 0o100644, FOLDER = 0o40755;

// Puts `record` where the game keeps its save, in a database laid out as the page's file system
// layer makes it (version 21, a store indexed by time). Run in a page of the game's origin.
function plant(record) {
  return new Promise((resolve, reject) => {
    const open = indexedDB.open('/save', 21);
    open.onupgradeneeded = () =>
      open.result.createObjectStore('FILE_DATA').createIndex('timestamp', 'timestamp', {unique: false});
    open.onerror = () => reject(new Error(String(open.error)));
    open.onsuccess = () => {
      const db = open.result, put = db.transaction('FILE_DATA', 'readwrite');
      const value = {timestamp: new Date(), mode: record.mode};
      if (record.text !== undefined) value.contents = record.asText ? record.text : new TextEncoder().encode(record.text);
      put.objectStore('FILE_DATA').put(value, '/save/.quokkastate');
      put.oncomplete = () => {
        db.close();
        resolve();
      };
      put.onerror = () => reject(new Error(String(put.error)));
    };
  });
}

// `says`: lines the game prints about it. A folder stays: the game cannot save over it and says so.
const CASES = [
  {name: 'a file record without its bytes', record: {mode: FILE}, saves: true,
   says: ["LoadState: the browser's storage cannot be read (Error: Unsupported data type); starting without it"]},
  {name: 'a folder in place of the file', record: {mode: FOLDER}, saves: false,
   says: ['LoadState: .quokkastate is not a regular file; starting without it',
          'SaveState: the state was not saved (rename over the old file failed); the previous one is kept']},
  {name: 'bytes that are no saved state', record: {mode: FILE, text: '12|x|||\u0000\u00ff|'.repeat(40)}, saves: true,
   says: []},
  {name: 'a text value in place of bytes', record: {mode: FILE, text: 'not a state', asText: true}, saves: true,
   says: []},
];

for (const {name, record, says, saves} of CASES) {
  test(`${name} in the page's storage: the game starts, prints, says so and ${saves ? 'saves a whole state' : 'keeps it'}`,
       {timeout: 40000}, async () => {
    // A page of the game's origin, without the game, puts the record in its storage first.
    const setUp = async context => {
      const page = await context.newPage();
      await page.setRequestInterception(true);
      page.on('request', r => r.respond({status: 200, contentType: 'text/html', body: '<!doctype html><title>-</title>'}));
      await page.goto(env.url('no-game-here'));
      await page.evaluate(plant, record);
      await page.close();
    };
    await withGame(env.browser, env.url(), {setUp}, async game => {
      await game.start();
      await game.waitMenu(); // "Highscores Loaded" reached the console, then the menu
      await game.key('F4');
      await game.waitState('ended', 10000);
      for (const line of says) assert.ok(game.lines.includes(line), `no line "${line}"`);
      const save = await waitFor(() => game.save(), {ms: 5000, what: 'a record in the page\'s storage'});
      if (saves) {
        assert.equal(save.mode & 0o170000, 0o100000, 'the record is no file');
        assert.equal(stateProblems(save.text), '', save.text);
      } else {
        assert.equal(save.mode, record.mode, 'the record\'s mode');
      }
    });
  });
}
