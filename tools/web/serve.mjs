// Serves a folder of static files on 127.0.0.1 as a static host does: a
// file's gzipped copy beside it (NAME.gz) to browsers that take gzip, files
// whose names change with their content kept by browsers for a year, the rest
// checked again each time (ETag). Counts the bytes sent.
//
//   node tools/web/serve.mjs FOLDER [PORT]       serves until stopped
//   import { serve } from './serve.mjs'          for the browser test
//
// The folder served can be changed while serving (setFolder), as a host's is
// when a new build is put there.
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { createHash } from 'node:crypto';
import { extname, join, normalize, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm', '.data': 'application/octet-stream', '.sf2': 'application/octet-stream',
  '.png': 'image/png', '.css': 'text/css; charset=utf-8', '.json': 'application/json',
  '.webmanifest': 'application/manifest+json', '.txt': 'text/plain; charset=utf-8',
};
// NAME.0123456789ab.EXT: named by its content.
const contentNamed = /\.[0-9a-f]{12}\.[a-z]+$/;

export async function serve(folder, port = 0) {
  let root = resolve(folder);
  let sent = 0;
  const server = createServer(async (req, res) => {
    try {
      const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
      let file = normalize(join(root, path));
      if (!file.startsWith(root) || file.endsWith('.gz')) throw new Error('not served');
      if ((await stat(file)).isDirectory()) file = join(file, 'index.html');
      let body = await readFile(file);
      const tag = '"' + createHash('sha256').update(body).digest('hex').slice(0, 24) + '"';
      const headers = {
        'Content-Type': types[extname(file)] || 'application/octet-stream',
        'Cache-Control': contentNamed.test(file) ? 'public, max-age=31536000, immutable' : 'no-cache',
        ETag: tag,
        Vary: 'Accept-Encoding',
      };
      if (req.headers['if-none-match'] === tag) {
        res.writeHead(304, headers);
        res.end();
        return;
      }
      if (/\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
        const packed = await readFile(file + '.gz').catch(() => null);
        if (packed) {
          body = packed;
          headers['Content-Encoding'] = 'gzip';
        }
      }
      headers['Content-Length'] = body.length;
      res.writeHead(200, headers);
      res.end(req.method === 'HEAD' ? undefined : body);
      if (req.method !== 'HEAD') sent += body.length;
    } catch (e) {
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('not found');
    }
  });
  return new Promise((done) => {
    server.listen(port, '127.0.0.1', () => done({
      server, port: server.address().port, bytesSent: () => sent,
      setFolder: (f) => { root = resolve(f); },
    }));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const folder = process.argv[2] || 'build/web';
  const { port } = await serve(folder, Number(process.argv[3] || 8000));
  console.log(`Kelo - Das Spiel: http://127.0.0.1:${port}/ (Ctrl+C ends)`);
}
