// tests/web/harness.mjs — drives the browser build in headless Chromium: the browser with a
// profile of its own, the game's page (its console, states, keys, mouse, screenshots), the
// saved state read from IndexedDB, and waits that fail with what they waited for.
// Depends on: puppeteer-core, node:test, server.mjs, frame.mjs, state.mjs.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before} from 'node:test';
import puppeteer from 'puppeteer-core';

import {Frame, menuAtRest} from './frame.mjs';
import {startServer, webRoot} from './server.mjs';
import {chains} from './state.mjs';

export const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// Calls `check` (which may be async) until it returns something true, at most `ms`; throws
// "timed out waiting for <what>" with the detail `explain` gives, if any.
export async function waitFor(check, {ms = 20000, what = 'a condition', explain = null} = {}) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) {
      const detail = explain ? `: ${await explain()}` : '';
      throw new Error(`timed out after ${ms} ms waiting for ${what}${detail}`);
    }
    await sleep(50);
  }
}

const ARGS = [
  '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--disable-background-networking',
  '--disable-component-update', '--no-first-run', '--disable-sync', '--disable-quic',
];

// Headless Chromium with a fresh profile folder, removed again by close().
export async function launchBrowser({extraArgs = []} = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'lexorm-web-'));
  let browser;
  try {
    browser = await puppeteer.launch({
      executablePath: '/usr/bin/chromium',
      headless: true,
      userDataDir: profile,
      args: [...ARGS, ...extraArgs],
    });
  } catch (e) {
    fs.rmSync(profile, {recursive: true, force: true});
    throw e;
  }
  return {
    browser,
    close: async () => {
      await browser.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

// The saved state as the page's storage holds it: {timestamp, mode, text}, or null when there is none.
// A database that does not exist yet is not made.
function readSave() {
  return new Promise((resolve, reject) => {
    const open = indexedDB.open('/save');
    open.onupgradeneeded = () => open.transaction.abort();
    open.onerror = () => (open.error && open.error.name === 'AbortError' ? resolve(null) : reject(String(open.error)));
    open.onsuccess = () => {
      const db = open.result;
      if (!db.objectStoreNames.contains('FILE_DATA')) {
        db.close();
        resolve(null);
        return;
      }
      const get = db.transaction('FILE_DATA').objectStore('FILE_DATA').get('/save/.quokkastate');
      get.onerror = () => reject(String(get.error));
      get.onsuccess = () => {
        db.close();
        const v = get.result;
        resolve(v ? {timestamp: Number(v.timestamp), mode: v.mode, text: new TextDecoder().decode(v.contents)} : null);
      };
    };
  });
}

// One page of the game in a browser context: everything it printed (`lines`), its errors.
export class GamePage {
  // `before`: functions run in the page before its scripts (with `arg`); `touch`: a touch screen;
  // `mobile`: the page's viewport tag applies, as on a phone; `missing`: the files (ends of their
  // addresses) answered "404 Not Found".
  static async open(context, url, {viewport = {width: 640, height: 480}, touch = false, mobile = false, before = [],
                                   arg, missing = []} = {}) {
    const page = await context.newPage();
    const game = new GamePage(page, url, await page.createCDPSession());
    await page.setViewport({...viewport, hasTouch: touch, isMobile: mobile});
    if (missing.length) {
      await page.setRequestInterception(true);
      page.on('request', r => (missing.some(m => r.url().endsWith(m)) ? r.respond({status: 404, body: ''}) : r.continue()));
    }
    for (const script of before) await page.evaluateOnNewDocument(script, arg);
    await game.load();
    return game;
  }

  constructor(page, url, cdp) {
    this.page = page;
    this.url = url;
    this.cdp = cdp;
    this.lines = []; // what the game printed and the page logged, in order, over every load
    this.errors = []; // uncaught errors of the page's scripts
    page.on('console', m => this.lines.push(m.text()));
    page.on('pageerror', e => this.errors.push(e.message));
  }

  async load() {
    await this.page.goto(this.url, {waitUntil: 'domcontentloaded'});
  }
  // `fn(...args)` in the page, its value back. Not page.evaluate: that runs as a user gesture,
  // which would let the page's sound and full screen start without the player.
  async run(fn, ...args) {
    const expression = `(${fn})(...${JSON.stringify(args)})`;
    const {result, exceptionDetails} =
        await this.cdp.send('Runtime.evaluate', {expression, returnByValue: true, awaitPromise: true});
    if (exceptionDetails)
      throw new Error(`in the page: ${exceptionDetails.exception ? exceptionDetails.exception.description : exceptionDetails.text}`);
    return result.value;
  }
  state() { return this.run(() => document.body.dataset.state); }
  async waitState(state, ms = 20000) {
    await waitFor(async () => (await this.state()) === state,
                  {ms, what: `the page state "${state}"`, explain: async () => `it is "${await this.state()}"`});
  }
  // A line the game printed (exactly), counted from line `from` on.
  async waitLine(text, {from = 0, ms = 20000} = {}) {
    await waitFor(() => this.lines.indexOf(text, from) >= 0, {ms, what: `the line "${text}"`,
                                                                explain: () => this.lines.slice(-10).join(' / ')});
  }
  chains() { return chains(this.lines); }

  // Waiting for the start overlay, then its click: the game runs from here on.
  async start() {
    await this.waitState('waiting');
    await this.page.mouse.click(320, 240);
    await this.waitState('running', 5000);
  }

  // A key held 100 ms, so that the game's updates see it held.
  key(name) { return this.page.keyboard.press(name, {delay: 100}); }

  // The left button pressed at the first point and moved through the others, 100 ms apart.
  async drag(points) {
    const m = this.page.mouse;
    await m.move(...points[0]);
    await m.down();
    for (const p of points.slice(1)) {
      await sleep(100);
      await m.move(...p, {steps: 4});
    }
    await sleep(100);
    await m.up();
    await sleep(100);
  }

  async frame() {
    return Frame.fromPng(await this.page.screenshot({type: 'png', optimizeForSpeed: true}));
  }
  // The first screenshot that passes `test`; throws naming `what` (and `explain()`) after `ms`.
  async waitFrame(test, {ms = 20000, what = 'a picture', explain = null} = {}) {
    let last = null;
    await waitFor(async () => test(last = await this.frame()), {ms, what, explain});
    return last;
  }
  async waitMenu(from = 0) {
    await this.waitLine('Highscores Loaded', {from});
    return this.waitFrame(menuAtRest, {what: 'the menu at rest'});
  }

  save() { return this.run(readSave); }
  updateCount() { return this.run(() => Module._lexorm_web_update_count()); }
}

// A test file's server and browser, started before its tests and stopped after them (a failing
// start fails every test of the file). `server.slow` as startServer's; `browser` as launchBrowser's.
// Hooks of the file's own that need them await env.ready(); env.cleanup(fn) runs fn after the
// tests, before the browser closes.
export function useBrowser({server: serverOptions = {}, browser: browserOptions = {}} = {}) {
  let closeBrowser = null, starting = null;
  const cleanups = [];
  const env = {
    cleanup: fn => cleanups.push(fn),
    root: null, server: null, browser: null,
    url: (page = '') => env.server.url + page,
    ready: () => (starting ??= (async () => {
      env.root = webRoot();
      env.server = await startServer(env.root, serverOptions);
      ({browser: env.browser, close: closeBrowser} = await launchBrowser(browserOptions));
    })()),
  };
  before(() => env.ready());
  after(async () => {
    for (const fn of cleanups.splice(0)) await fn();
    if (closeBrowser) await closeBrowser();
    if (env.server) await env.server.close();
  });
  return env;
}

// The game's page at `url` in a browser context of its own (its own storage), handed to `body`;
// the context is closed after it. Uncaught errors of the page fail the test; any failure tells
// what the page printed last. `options.setUp(context)` runs first, before the game's page opens.
export async function withGame(browser, url, options, body) {
  const context = await browser.createBrowserContext();
  let game = null;
  try {
    const {setUp, ...open} = options || {};
    if (setUp) await setUp(context);
    game = await GamePage.open(context, url, open);
    await body(game, context);
    assert.deepEqual(game.errors, [], 'uncaught errors in the page');
  } catch (e) {
    if (game && e instanceof Error) e.message += `\n  the page's last lines:\n    ${game.lines.slice(-12).join('\n    ')}`;
    throw e;
  } finally {
    await context.close();
  }
}
