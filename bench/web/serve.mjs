// bench/web/serve.mjs — the static file server make web-perf loads its pages from: one folder on
// 127.0.0.1 at a free port. The pages are served cross-origin isolated, so performance.now() counts
// in microseconds rather than in the tenths of a millisecond an ordinary page gets.
// Depends on: Node's http, fs and path.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
};

// Resolves to {url, close()} once the server listens; url ends in '/'.
export async function serveFolder(folder) {
  const root = path.resolve(folder);
  const server = http.createServer((req, res) => {
    let file;
    try {
      file = path.join(root, decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname));
    } catch {
      file = null;
    }
    if (file && file.endsWith(path.sep)) file += 'index.html';
    if (!file || (file !== root && !file.startsWith(root + path.sep))) {
      res.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, body) => {
      if (error) {
        res.writeHead(404).end();
        return;
      }
      res.writeHead(200, {
        'content-type': TYPES[path.extname(file)] || 'application/octet-stream',
        'cache-control': 'no-store',
        'cross-origin-opener-policy': 'same-origin',
        'cross-origin-embedder-policy': 'require-corp',
      });
      res.end(body);
    });
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', resolve);
  });
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise(resolve => server.close(resolve)),
  };
}
