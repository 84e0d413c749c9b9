// tests/web/server.mjs — the static server the browser tests load the page from: the build's
// folder on 127.0.0.1 at a free port, with the types the page needs, optionally sending one
// file slowly so the page's download progress can be watched. Depends on: node:http, node:fs.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
};

// The build's folder from LEXORM_WEB, checked: a missing or unbuilt folder fails the set-up.
export function webRoot() {
  const root = process.env.LEXORM_WEB;
  if (!root) throw new Error('LEXORM_WEB is not set: run the web tests with make test-web');
  for (const file of ['index.html', 'lexorm.js', 'lexorm.wasm', 'lexorm.data', 'robot/lexorm.data'])
    if (!fs.existsSync(path.join(root, file))) throw new Error(`${root} has no ${file}: run make web`);
  return path.resolve(root);
}

// `slow`: {suffix, pieces, pauseMs} sends the files ending in `suffix` in that many pieces with a
// pause between them. `isolated` serves the pages cross-origin isolated, so performance.now()
// counts in microseconds (make web-perf). Resolves to {url, close()}.
export async function startServer(root, {slow = null, isolated = false} = {}) {
  const server = http.createServer((request, reply) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch {
      reply.writeHead(400).end();
      return;
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root + path.sep)) {
      reply.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, body) => {
      if (error) {
        reply.writeHead(404).end();
        return;
      }
      reply.writeHead(200, {
        'content-type': TYPES[path.extname(file)] || 'application/octet-stream',
        'content-length': body.length,
        'cache-control': 'no-store',
        ...(isolated ? {'cross-origin-opener-policy': 'same-origin', 'cross-origin-embedder-policy': 'require-corp'} : {}),
      });
      if (!slow || !file.endsWith(slow.suffix)) {
        reply.end(body);
        return;
      }
      const size = Math.ceil(body.length / slow.pieces);
      let at = 0;
      const next = () => {
        if (reply.destroyed) return;
        reply.write(body.subarray(at, at + size));
        at += size;
        if (at < body.length) setTimeout(next, slow.pauseMs);
        else reply.end();
      };
      next();
    });
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', resolve);
  });
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise(resolve => {
      server.closeAllConnections();
      server.close(() => resolve());
    }),
  };
}
