// tests/web/state.mjs — what the game writes: the chains printed as words end, word scores from
// the points on the tiles, and the saved state's fields (the 30-, 60- and 120-second tables, the
// best and longest words) with a whole-text check. Depends on: nothing.

// The chains printed as words end: 21 lines "x.0,y.0" each, unused entries at -1.
export function chains(lines) {
  const out = [[]];
  let entries = 0;
  for (const line of lines) {
    const m = /^(-?\d+)\.0,(-?\d+)\.0$/.exec(line);
    if (!m) continue;
    const x = Number(m[1]), y = Number(m[2]);
    if (x >= 0) out[out.length - 1].push([x, y]);
    if (++entries % 21 === 0) out.push([]);
  }
  out.pop();
  return out;
}

// Its length times the sum of the points printed on its tiles; a blank ("?") counts nothing.
const POINTS = [1, 3, 3, 2, 1, 4, 2, 4, 1, 7, 5, 4, 3, 2, 1, 3, 8, 1, 1, 1, 2, 5, 4, 6, 4, 8];
export function wordScore(word) {
  let sum = 0;
  for (const c of word) if (c >= 'A' && c <= 'Z') sum += POINTS[c.charCodeAt(0) - 65];
  return word.length * sum;
}

// The saved state: settings 0..24 and their sum, badges 26..33 and theirs, eight score groups
// of ten (top, last) pairs and a sum (30, 60, 120 seconds first), 100 (word, score) pairs: the
// best and the longest word of each game length.
export const SOUND_MODE = 5, THIRTY_TOP = 35, THIRTY_LAST = 36, WORD_PAIRS = 203, STATE_FIELDS = 403;
// Field k of the top (or last) ten of group g: 0 for 30 seconds, 1 for 60, 2 for 120.
export const topField = (group, k) => THIRTY_TOP + 21 * group + 2 * k;
export const lastField = (group, k) => THIRTY_LAST + 21 * group + 2 * k;

export function fields(text) {
  const f = text.split('|');
  if (f.length && f[f.length - 1] === '') f.pop(); // the text ends with a bar
  return f;
}

// What is wrong with a state text (the field count, a number, a sum), '' when it is whole.
// Numbers are 32-bit as the game writes them; sums wrap in 32 bits.
export function stateProblems(text) {
  const f = fields(text);
  if (!text.endsWith('|') || f.length !== STATE_FIELDS)
    return `the state has ${f.length} fields or is cut short`;
  const v = f.map(s => (/^-?\d+$/.test(s) ? Number(s) : NaN));
  for (let i = 0; i < STATE_FIELDS; ++i)
    if ((i < WORD_PAIRS || i % 2 === 0) && !(v[i] >= -2147483648 && v[i] <= 2147483647))
      return `field ${i} is no number: ${f[i]}`;
  let settings = 0, badges = 0;
  for (let i = 0; i < 25; ++i) settings = (settings + i * v[i]) >>> 0;
  for (let i = 26; i < 34; ++i) badges = (badges + v[i]) >>> 0;
  if (v[25] >>> 0 !== settings) return 'the settings sum (field 25) is wrong';
  if (v[34] >>> 0 !== badges) return 'the badge sum (field 34) is wrong';
  for (let g = 0; g < 8; ++g) {
    let sum = 0;
    for (let k = 0; k < 10; ++k)
      sum = (sum + Math.imul(k + 4, v[topField(g, k)]) + Math.imul(k + g + 3, v[lastField(g, k)])) >>> 0;
    const at = THIRTY_TOP + 21 * g + 20;
    if (v[at] >>> 0 !== sum) return `the sum of score group ${g} (field ${at}) is wrong`;
  }
  return '';
}
