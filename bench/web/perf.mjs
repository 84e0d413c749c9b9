// bench/web/perf.mjs — make web-perf: the browser game against a bare emscripten page drawing the
// same quads, side by side in one run of headless Chromium at 640 x 480. Each round: the bare page
// with the menu's draw calls; the game's page from navigation to its menu, a stretch in the menu
// and a 30-second game played by a key script; the bare page with the game's draw calls. A frame's
// cost is its animation-frame callback timed with performance.now() (frame_probe.js), checked
// against the main thread's CPU time in the same frames (a trace) and the page's ScriptDuration.
// Prints a table (each round, the medians, the targets) and writes it to <web folder>/web-perf.txt;
// exits 1 when a target is missed, 2 when the run itself fails.
// Usage: node bench/web/perf.mjs [web folder, default $LEXORM_WEB or build-web]
//   WEB_PERF_ROUNDS (5), WEB_PERF_SECONDS (4: the menu's and the bare page's stretches; play 3 times as long)
// Depends on: tests/web/server.mjs, tests/web/harness.mjs (the browser), frame_probe.js.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';
import { launchBrowser, sleep } from '../../tests/web/harness.mjs';
import { startServer } from '../../tests/web/server.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));

const webDir = path.resolve(process.argv[2] || process.env.LEXORM_WEB || 'build-web');
const ROUNDS = Math.max(1, Number(process.env.WEB_PERF_ROUNDS) || 5);
const STRETCH_S = Math.max(1, Number(process.env.WEB_PERF_SECONDS) || 4);
const WARM_S = 1;
const MENU_WARM_S = 2; // the word list goes on loading in slices behind the menu at first
const PLAY_S = Math.min(26, 3 * STRETCH_S); // of the 30-second game, from a second after its board is up
const PROBE = fs.readFileSync(path.join(here, 'frame_probe.js'), 'utf8');

const TARGET = { frameMs: 2, ratio: 1.5, menuS: 3, gzipMB: 6 };

function median(values) {
  const v = values.filter(x => Number.isFinite(x)).sort((a, b) => a - b);
  if (!v.length) return NaN;
  const m = v.length >> 1;
  return v.length % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

function percentile(values, p) {
  const v = [...values].sort((a, b) => a - b);
  return v.length ? v[Math.min(v.length - 1, Math.round(p * (v.length - 1)))] : NaN;
}

// ============================================================================
// [SECTION] The download
// ============================================================================

function downloadSizes() {
  const files = ['lexorm.js', 'lexorm.wasm', 'lexorm.data'].map(name => {
    const body = fs.readFileSync(path.join(webDir, name));
    return { name, raw: body.length, gzip: zlib.gzipSync(body, { level: 9 }).length };
  });
  const total = { name: 'total', raw: 0, gzip: 0 };
  for (const f of files) (total.raw += f.raw), (total.gzip += f.gzip);
  return [...files, total];
}

// ============================================================================
// [SECTION] Pages and stretches
// ============================================================================

// A page of its own browsing context (no storage shared with earlier rounds), probed.
async function openPage(browser, problems) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.setViewport({ width: 640, height: 480, deviceScaleFactor: 1 });
  await page.evaluateOnNewDocument(PROBE);
  page.on('pageerror', e => problems.push(`page error: ${e.message}`));
  page.on('console', m => {
    if (m.type() === 'error') problems.push(`console error: ${m.text()}`);
  });
  return { context, page };
}

const frameCount = page => page.evaluate(() => window.__lexormPerf.frames);

async function waitFor(page, fn, timeout, what) {
  try {
    await page.waitForFunction(fn, { polling: 100, timeout }); // never 'raf': it would add frames
  } catch {
    throw new Error(`${what} (waited ${timeout / 1000} s)`);
  }
}

// Measures the frames the page runs for `seconds` while `during` (if any) plays along.
async function stretch(page, seconds, during) {
  await page.tracing.start({ categories: ['devtools.timeline'] });
  const m0 = await page.metrics();
  const f0 = await frameCount(page);
  const t0 = Date.now();
  let stop = false;
  const script = during ? during(() => stop) : null;
  await sleep(seconds * 1000);
  stop = true;
  if (script) await script;
  const f1 = await frameCount(page);
  const m1 = await page.metrics();
  const wall = (Date.now() - t0) / 1000;
  // The main thread's own CPU time in each animation-frame task, which time spent waiting for the
  // processor (or for the GPU process) does not swell.
  const trace = JSON.parse(Buffer.from(await page.tracing.stop()).toString('utf8'));
  const cpu = trace.traceEvents
    .filter(e => e.name === 'FireAnimationFrame' && e.ph === 'X' && e.tdur !== undefined)
    .map(e => e.tdur / 1000);
  const d = await page.evaluate((a, b) => {
    const P = window.__lexormPerf;
    return {
      script: P.script.slice(a, b), quads: P.quads.slice(a, b), other: P.otherDraws.slice(a, b),
      area: P.area.slice(a, b), recipes: P.recipes, callAreas: P.callAreas, chains: P.chains,
    };
  }, f0, f1);
  const frames = f1 - f0;
  const drawn = [], drawnQuads = [], drawnArea = [];
  for (let i = 0; i < frames; ++i) {
    if (d.quads[i] > 0 || d.other[i] > 0) drawn.push(d.script[i]), drawnQuads.push(d.quads[i]), drawnArea.push(d.area[i]);
  }
  // The recipe most frames drew with (quads per drawElements call).
  const counts = new Map();
  for (let r = 0; r < d.recipes.length; ++r) {
    const from = Math.max(d.recipes[r][0], f0), to = Math.min(r + 1 < d.recipes.length ? d.recipes[r + 1][0] : f1, f1);
    if (to > from && d.recipes[r][1]) counts.set(d.recipes[r][1], (counts.get(d.recipes[r][1]) || 0) + to - from);
  }
  const recipe = [...counts.entries()].sort((a, b) => b[1] - a[1])[0]?.[0] || '';
  // The pixels a quad of each of its calls covered, on average over the page's frames so far.
  const sums = d.callAreas[recipe];
  const areas = sums
    ? sums.sums.map((sum, c) => Math.max(1, Math.round(sum / sums.frames / Number(recipe.split(',')[c])))).join(',')
    : '';
  return {
    frames, wall, fps: frames / wall, drawnFrames: drawn.length,
    drawnMs: median(drawn), drawnP95: percentile(drawn, 0.95), allMs: median(d.script),
    meanMs: d.script.reduce((a, b) => a + b, 0) / Math.max(1, frames),
    quads: median(drawnQuads), screens: median(drawnArea) / (640 * 480), recipe, areas,
    calls: recipe ? recipe.split(',').length : 0,
    otherDraws: median(d.other), cpuMs: median(cpu),
    metricsScriptMs: ((m1.ScriptDuration - m0.ScriptDuration) * 1000) / Math.max(1, frames),
    chains: d.chains, recipes: d.recipes,
  };
}

// ============================================================================
// [SECTION] The game and the bare page
// ============================================================================

// Select, move, select, ... complete with X, cancel with C: a player busy with the board.
const PLAY_KEYS = ['Space', 'ArrowRight', 'Space', 'ArrowDown', 'Space', 'KeyX', 'ArrowLeft', 'Space',
                   'ArrowUp', 'Space', 'ArrowRight', 'Space', 'KeyC', 'ArrowDown', 'Space', 'ArrowLeft',
                   'Space', 'KeyX'];

async function gameRound(browser, base, problems) {
  const { context, page } = await openPage(browser, problems);
  try {
    await page.goto(base + 'index.html');
    await waitFor(page, () => window.__lexormPerf.menuDrawnAt !== null, 30000, 'the game never drew its menu');
    const nav = await page.evaluate(() => ({ loaded: window.__lexormPerf.menuAt, drawn: window.__lexormPerf.menuDrawnAt }));
    await waitFor(page, () => document.body.dataset.state === 'waiting', 10000, 'no start overlay');
    await page.mouse.click(320, 240); // the overlay: the sound may play from here on
    await waitFor(page, () => document.body.dataset.state === 'running', 5000, 'the click did not start the page');
    await sleep(MENU_WARM_S * 1000);
    const menu = await stretch(page, STRETCH_S);

    // The 30-second game: Up chooses it, Space starts it.
    await page.keyboard.press('ArrowUp', { delay: 100 });
    await sleep(700);
    const menuRecipes = new Set((await page.evaluate(() => window.__lexormPerf.recipes)).map(r => r[1]));
    const atSpace = await frameCount(page);
    await page.keyboard.press('Space', { delay: 100 });
    // Started when the frames draw what the menu never drew, in three calls or more.
    const started = await page.waitForFunction((from, seen) => {
      const r = window.__lexormPerf.recipes;
      return r.some(([frame, recipe]) => frame >= from && !seen.includes(recipe) && recipe.split(',').length >= 3);
    }, { polling: 100, timeout: 10000 }, atSpace, [...menuRecipes]).then(() => true, () => false);
    if (!started) throw new Error('the 30-second game did not start');
    await sleep(1000);
    const play = await stretch(page, PLAY_S, async stopped => {
      for (let i = 0; !stopped(); ++i) {
        await page.keyboard.press(PLAY_KEYS[i % PLAY_KEYS.length], { delay: 100 });
        await sleep(300);
      }
    });
    if (menuRecipes.has(play.recipe)) throw new Error('the play stretch drew the menu');
    return { nav, menu, play };
  } finally {
    await context.close();
  }
}

// The bare page drawing `recipe` (quads per call, or the page's own 'menu' or 'play'), each call's
// quads covering `areas` pixels (one count a call; its own sizes when not given), measured.
async function bareStretch(browser, base, recipe, areas, problems, seconds) {
  const { context, page } = await openPage(browser, problems);
  try {
    await page.goto(`${base}bench/bare_quads.html?draws=${recipe}${areas ? '&areas=' + areas : ''}`);
    await waitFor(page, () => document.body.dataset.state === 'running', 20000, 'the bare page did not start');
    await page.mouse.click(320, 240);
    await sleep(WARM_S * 1000);
    const s = await stretch(page, seconds);
    if (!/^[a-z]+$/.test(recipe) && s.recipe !== recipe) throw new Error(`the bare page drew ${s.recipe}, not ${recipe}`);
    return s;
  } finally {
    await context.close();
  }
}

// ============================================================================
// [SECTION] The table
// ============================================================================

function fmt(v, digits = 2) {
  return Number.isFinite(v) ? v.toFixed(digits) : 'n/a';
}

function report(rounds, sizes, elapsed, notes) {
  const lines = [];
  const rowOf = (label, values, digits, limit) => {
    const m = median(values);
    const verdict = limit === undefined ? '' : m <= limit ? 'PASS' : 'FAIL';
    const cells = values.map(v => fmt(v, digits).padStart(7)).join(' ');
    lines.push(`${label.padEnd(46)} ${cells}  ${fmt(m, digits).padStart(7)}  ${limit === undefined ? '' : ('<= ' + limit).padEnd(7)} ${verdict}`);
    return verdict;
  };
  const verdicts = [];
  const head = rounds.map((_, i) => `round ${i + 1}`.padStart(7)).join(' ');
  lines.push(`Lexorm in headless Chromium (SwiftShader WebGL), 640 x 480, ${os.cpus().length} cores;`);
  lines.push(`${rounds.length} rounds, medians of the rounds. A frame's time is its animation-frame callback,`);
  lines.push('performance.now() before to after it (the median over the frames that drew); its CPU time is');
  lines.push('the main thread\'s own in the FireAnimationFrame tasks of a trace; ScriptDuration is the');
  lines.push('page\'s whole script time (events, timers, sound too) over the frames, to set beside the mean.');
  lines.push('');
  lines.push(`${''.padEnd(46)} ${head}   median  target`);
  for (const where of ['menu', 'play']) {
    const g = rounds.map(r => r.game[where]), b = rounds.map(r => r.bare[where]);
    lines.push(`-- ${where === 'menu' ? 'the menu' : 'a 30-second game'}`);
    verdicts.push(rowOf(`${where}: game, ms a frame that drew (median)`, g.map(s => s.drawnMs), 3, TARGET.frameMs));
    rowOf(`${where}: bare page, ms a frame (median)`, b.map(s => s.drawnMs), 3);
    verdicts.push(rowOf(`${where}: game / bare page`, rounds.map((r, i) => g[i].drawnMs / b[i].drawnMs), 2, TARGET.ratio));
    rowOf(`${where}: game, ms a frame, every frame (median)`, g.map(s => s.allMs), 3);
    rowOf(`${where}: game, ms a frame that drew (95th pct)`, g.map(s => s.drawnP95), 3);
    rowOf(`${where}: bare page, ms a frame (95th pct)`, b.map(s => s.drawnP95), 3);
    rowOf(`${where}: game, main thread CPU ms a frame (trace)`, g.map(s => s.cpuMs), 3);
    rowOf(`${where}: bare page, main thread CPU ms a frame`, b.map(s => s.cpuMs), 3);
    rowOf(`${where}: game / bare page, CPU`, rounds.map((r, i) => g[i].cpuMs / b[i].cpuMs), 2);
    rowOf(`${where}: game, ms a frame, mean of every frame`, g.map(s => s.meanMs), 3);
    rowOf(`${where}: game, ScriptDuration ms / frame`, g.map(s => s.metricsScriptMs), 3);
    rowOf(`${where}: bare page, ms a frame, mean`, b.map(s => s.meanMs), 3);
    rowOf(`${where}: bare page, ScriptDuration ms / frame`, b.map(s => s.metricsScriptMs), 3);
    rowOf(`${where}: game, frames a second`, g.map(s => s.fps), 1);
    rowOf(`${where}: game, frames that drew, %`, g.map(s => (100 * s.drawnFrames) / Math.max(1, s.frames)), 0);
    rowOf(`${where}: game, quads a frame (median)`, g.map(s => s.quads), 0);
    rowOf(`${where}: game, drawElements calls a frame`, g.map(s => s.calls), 0);
    rowOf(`${where}: bare page, quads a frame`, b.map(s => s.quads), 0);
    rowOf(`${where}: game, pixels covered a frame, windows`, g.map(s => s.screens), 2);
    rowOf(`${where}: bare page, pixels covered, windows`, b.map(s => s.screens), 2);
  }
  lines.push('-- start and download');
  rowOf('navigation start to "Highscores Loaded", s', rounds.map(r => r.game.nav.loaded / 1000), 2);
  verdicts.push(rowOf('navigation start to the menu drawn, s', rounds.map(r => r.game.nav.drawn / 1000), 2, TARGET.menuS));
  lines.push('');
  lines.push(`${'download (MB = 10^6 bytes)'.padEnd(20)} ${'raw'.padStart(9)} ${'gzip -9'.padStart(9)}`);
  for (const f of sizes) lines.push(`${f.name.padEnd(20)} ${fmt(f.raw / 1e6, 3).padStart(9)} ${fmt(f.gzip / 1e6, 3).padStart(9)}`);
  const total = sizes[sizes.length - 1];
  const sizeVerdict = total.gzip / 1e6 <= TARGET.gzipMB ? 'PASS' : 'FAIL';
  verdicts.push(sizeVerdict);
  lines.push(`download, gzip: ${fmt(total.gzip / 1e6, 3)} MB (target <= ${TARGET.gzipMB} MB) ${sizeVerdict}`);
  lines.push('');
  const last = rounds.at(-1).game;
  lines.push(`the draw calls in the last round, quads each (pixels a quad): menu ${last.menu.recipe} (${last.menu.areas});`);
  lines.push(`  play ${last.play.recipe} (${last.play.areas})`);
  lines.push(`chain lines printed in play, per round: ${rounds.map(r => r.game.play.chains).join(', ')}`);
  for (const note of notes) lines.push(`note: ${note}`);
  const failed = verdicts.filter(v => v === 'FAIL').length;
  lines.push(`${failed ? `${failed} target(s) missed` : 'every target met'} (${fmt(elapsed, 0)} s)`);
  return { text: lines.join('\n') + '\n', failed };
}

// ============================================================================
// [SECTION] The run
// ============================================================================

async function main() {
  for (const f of ['index.html', 'lexorm.js', 'lexorm.wasm', 'lexorm.data', 'bench/bare_quads.html', 'bench/bare_quads.js']) {
    if (!fs.existsSync(path.join(webDir, f))) throw new Error(`${path.join(webDir, f)} is missing: make web builds it`);
  }
  const began = Date.now();
  const sizes = downloadSizes();
  const server = await startServer(path.resolve(webDir), {isolated: true});
  const { browser, close } = await launchBrowser({ extraArgs: ['--window-size=640,480'] });
  const problems = [];
  const rounds = [];
  try {
    // The browser's first WebGL page pays for starting the GPU process: not the game's to pay.
    await bareStretch(browser, server.url, 'menu', '', problems, 1);
    // Each round: the bare page with the menu's draw calls (as the round before measured them; the
    // page's own defaults at first), the game, then the bare page with the game's draw calls, so
    // each figure has its floor measured next to it.
    let menuRecipe = 'menu', menuAreas = '';
    for (let r = 0; r < ROUNDS; ++r) {
      const bareMenu = await bareStretch(browser, server.url, menuRecipe, menuAreas, problems, STRETCH_S);
      const game = await gameRound(browser, server.url, problems);
      if (bareMenu.recipe !== game.menu.recipe)
        problems.push(`round ${r + 1}: the bare page drew ${bareMenu.recipe} for the menu's ${game.menu.recipe}`);
      menuRecipe = game.menu.recipe;
      menuAreas = game.menu.areas;
      const barePlay = await bareStretch(browser, server.url, game.play.recipe, game.play.areas, problems, STRETCH_S);
      const bare = { menu: bareMenu, play: barePlay };
      console.log(`round ${r + 1}/${ROUNDS}: menu ${fmt(game.menu.drawnMs, 3)} ms a frame (bare page ${fmt(bare.menu.drawnMs, 3)}), ` +
                  `play ${fmt(game.play.drawnMs, 3)} ms (bare page ${fmt(bare.play.drawnMs, 3)}); menu drawn at ${fmt(game.nav.drawn / 1000)} s`);
      rounds.push({ game, bare });
    }
  } finally {
    await close();
    await server.close();
  }
  const { text, failed } = report(rounds, sizes, (Date.now() - began) / 1000, [...new Set(problems)]);
  process.stdout.write('\n' + text);
  fs.writeFileSync(path.join(webDir, 'web-perf.txt'), text);
  console.log(`(also in ${path.join(webDir, 'web-perf.txt')})`);
  return failed ? 1 : 0;
}

main().then(code => process.exit(code), error => {
  console.error(`web-perf: ${error.message}`);
  process.exit(2);
});
