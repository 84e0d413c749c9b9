// tests/web/png.mjs — decodes the PNG screenshots Chromium takes (8-bit RGB or RGBA, not
// interlaced) into 0xRRGGBB pixels. Depends on: node:zlib.
import zlib from 'node:zlib';

const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

function paeth(a, b, c) {
  const p = a + b - c;
  const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// {w, h, px: Uint32Array of 0xRRGGBB}; throws on anything else than what Chromium writes.
export function decodePng(buffer) {
  const bytes = Buffer.from(buffer);
  if (bytes.length < 8 || !bytes.subarray(0, 8).equals(SIGNATURE)) throw new Error('not a PNG');
  let w = 0, h = 0, channels = 0;
  const data = [];
  for (let at = 8; at + 8 <= bytes.length;) {
    const length = bytes.readUInt32BE(at), type = bytes.toString('latin1', at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (body.length !== length) throw new Error(`PNG chunk ${type} cut short`);
    if (type === 'IHDR') {
      w = body.readUInt32BE(0);
      h = body.readUInt32BE(4);
      const depth = body[8], colour = body[9], interlace = body[12];
      channels = colour === 6 ? 4 : colour === 2 ? 3 : 0;
      if (depth !== 8 || !channels || interlace !== 0)
        throw new Error(`PNG of depth ${depth}, colour type ${colour}, interlace ${interlace} not handled`);
    } else if (type === 'IDAT') {
      data.push(body);
    } else if (type === 'IEND') {
      break;
    }
    at += 12 + length;
  }
  if (!w || !h) throw new Error('PNG without a header');
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = w * channels;
  if (raw.length < h * (stride + 1)) throw new Error('PNG image data cut short');
  const rows = Buffer.alloc(h * stride);
  for (let y = 0; y < h; ++y) {
    const filter = raw[y * (stride + 1)];
    const src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const out = y * stride, up = out - stride;
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? rows[out + i - channels] : 0;
      const b = y > 0 ? rows[up + i] : 0;
      const c = y > 0 && i >= channels ? rows[up + i - channels] : 0;
      let v = src[i];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) v += paeth(a, b, c);
      else if (filter !== 0) throw new Error(`PNG row filter ${filter}`);
      rows[out + i] = v & 255;
    }
  }
  const px = new Uint32Array(w * h);
  for (let i = 0; i < w * h; ++i) {
    const o = i * channels;
    px[i] = (rows[o] << 16) | (rows[o + 1] << 8) | rows[o + 2];
  }
  return {w, h, px};
}
