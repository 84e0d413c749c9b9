// tests/web/frame.mjs — a screenshot's pixels and what they show: colours, the menu, the board,
// the pause menu, the game-over overlay, the score panel, at the game's 640 x 480 virtual
// screen (the page's canvas at 640 x 480). The same places as the desktop end-to-end tests.
// Depends on: png.mjs.
import {decodePng} from './png.mjs';

export class Frame {
  constructor({w, h, px}) {
    this.w = w;
    this.h = h;
    this.px = px; // 0xRRGGBB
  }
  static fromPng(buffer) { return new Frame(decodePng(buffer)); }
  test(x, y, colour) {
    const p = this.px[y * this.w + x];
    return colour((p >> 16) & 255, (p >> 8) & 255, p & 255);
  }
  count(x0, y0, x1, y1, colour) {
    let n = 0;
    for (let y = Math.max(0, y0); y < Math.min(this.h, y1); ++y)
      for (let x = Math.max(0, x0); x < Math.min(this.w, x1); ++x) n += this.test(x, y, colour) ? 1 : 0;
    return n;
  }
  // Pixels of the rectangle whose colour test differs in the other frame (of the same size).
  differ(other, x0, y0, x1, y1, colour) {
    let n = 0;
    for (let y = y0; y < y1; ++y)
      for (let x = x0; x < x1; ++x)
        n += this.w !== other.w || this.h !== other.h || this.test(x, y, colour) !== other.test(x, y, colour) ? 1 : 0;
    return n;
  }
}

// Colours.
export const SphereBlue = (r, g, b) => b > 180 && b > r + 60; // the logo's globe
export const White = (r, g, b) => r > 200 && g > 200 && b > 200;
export const Cream = (r, g, b) => r > 200 && g > 180 && b > 140; // a free tile
export const Dark = (r, g, b) => r < 80 && g < 80 && b < 80;
export const Orange = (r, g, b) => r > 150 && g > 60 && g < 170 && b < 90 && r > g + 40;
export const Green = (r, g, b) => g > r + 50 && g > b + 50;
export const Yellow = (r, g, b) => r > 200 && g > 200 && b < 150;
export const PanelInk = (r, g, b) => r > 150 && g > 150 && b < 140;
export const ScoreGreen = (r, g, b) => g > 180 && r < 170 && b < 170 && g > r + 60;

// The globe at the centre and "Loading..." in white 32 virtual pixels above the bottom.
export function loadingScreen(f) {
  const cx = f.w >> 1, cy = f.h >> 1, s = Math.floor(f.h / 480);
  return f.count(cx - 40, cy - 40, cx + 40, cy + 40, SphereBlue) > 1000 &&
         f.count(cx - 60 * s, f.h - 48 * s, cx + 60 * s, f.h - 16 * s, White) > 30;
}
// The intro over, the options gear on the wheel's hub at (38, 416).
export const menuAtRest = f => !loadingScreen(f) && f.count(6, 384, 70, 448, Orange) > 800;
export const playButton = f => f.count(545, 405, 600, 460, Green);
export const logoTiles = f => f.count(160, 55, 490, 135, Cream);
// The caption under the wheel: "Half a Minute." over "Gotta be Quick!" (0, 30 s), "Just a
// Minute." alone (1), "Two whole Minutes." over "Go for a Highscore." (2); -1 for none of them.
export function captionChoice(f) {
  if (f.w !== 640 || f.count(240, 426, 460, 442, White) < 150) return -1;
  const second = f.count(240, 445, 460, 459, White), wide = f.count(392, 426, 440, 442, White);
  if (second < 20 && wide < 10) return 1;
  return second > 150 && wide > 30 ? 2 : second > 150 && wide < 10 ? 0 : -1;
}

// The board: tile centres, tiles in place (cream), the whole board.
export const cellCentre = (x, y) => [146 + 58 * x, 103 + 58 * y];
export function tilesInPlace(f) {
  let n = 0;
  for (let i = 0; i < 49; ++i) {
    const [cx, cy] = cellCentre(i % 7, Math.floor(i / 7));
    n += f.count(cx - 22, cy - 22, cx + 22, cy + 22, Cream) > 600 ? 1 : 0;
  }
  return n;
}
export const fullBoard = f => f.w === 640 && tilesInPlace(f) === 49;
// About 74,000 cream pixels of tiles at 640 x 480; the menu's logo and the pause menu far fewer.
export const boardShown = f => f.count(0, 0, f.w, f.h, Cream) > 60000 * (f.h / 480) ** 2;
// Darkened corners, "PAUSED", the resume icon in its ring.
export function pauseMenu(f) {
  return f.count(0, 0, 20, 20, Dark) === 400 && f.count(620, 0, 640, 20, Dark) === 400 &&
         f.count(0, 460, 20, 480, Dark) === 400 && f.count(330, 220, 510, 260, White) > 400 &&
         f.count(44, 176, 84, 216, White) > 300 && f.count(24, 156, 104, 236, Yellow) > 300;
}
// The game-over overlay: a margin beside the board, most of it (stars drift over it).
export const darkened = f => f.count(0, 280, 60, 400, Dark) > (60 * 120 * 9) / 10;
// The score line's digits changed between two frames of a game.
export const scoreDiffer = (a, b) => a.differ(b, 40, 10, 190, 44, ScoreGreen);
// One digit of the score turning into another changes at least 32 of those pixels ("0" into "6"
// or "9" at twice the font's size): more than 24 is a new score.
export const newScore = (a, b) => scoreDiffer(a, b) > 24;
// The menu back after a 30-second game: at rest, no overlay, the wheel on 30 seconds.
export const menuBack = f => menuAtRest(f) && !darkened(f) && captionChoice(f) === 0;

// Runs of columns with ink over `rows` rows from `top`: the glyphs of a line of text. With
// `advance` (the font's, in pixels), a run wider than one letter is as many letters as it spans:
// neighbours such as "UW" or "DD" can touch in the small font.
export function glyphs(f, x0, x1, top, rows, ink, advance = 0) {
  let n = 0, run = 0;
  const end = () => {
    n += run === 0 ? 0 : advance > 0 ? Math.ceil(run / advance) : 1;
    run = 0;
  };
  for (let x = x0; x < x1; ++x) {
    if (f.count(x, top, x + 1, top + rows, ink) > 0)
      ++run;
    else
      end();
  }
  end();
  return n;
}
// Digits of the first line of the score panel's top ten (76) or last ten (276).
export const panelDigits = (f, top) => glyphs(f, 520, 640, top, 14, PanelInk);
// Letters of the longest (259) or best (299) word under the wheel.
export const wordLetters = (f, top) => glyphs(f, 255, 318, top, 13, White, 7);
export const digits = n => String(n).length;
