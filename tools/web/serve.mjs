// Serves a folder of static files on 127.0.0.1, gzipped for browsers that
// take it (as a web server would), and counts the bytes sent.
//
//   node tools/web/serve.mjs FOLDER [PORT]       serves until stopped
//   import { serve } from './serve.mjs'          for the browser test
import { createServer } from 'node:http';
import { readdir, readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, resolve } from 'node:path';
import { gzipSync } from 'node:zlib';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm', '.data': 'application/octet-stream', '.sf2': 'application/octet-stream',
  '.png': 'image/png', '.css': 'text/css; charset=utf-8', '.json': 'application/json',
};
// Already packed: gzip would gain nothing.
const packed = new Set(['.png']);

// Files are packed once, before the first request, as a server with packed
// copies beside its files would serve them.
async function packAll(root, zipped) {
  for (const entry of await readdir(root, { withFileTypes: true, recursive: true })) {
    if (!entry.isFile()) continue;
    const file = join(entry.parentPath || entry.path, entry.name);
    if (packed.has(extname(file))) continue;
    const body = await readFile(file);
    zipped.set(file + ':' + body.length, gzipSync(body, { level: 9 }));
  }
}

export async function serve(folder, port = 0) {
  const root = resolve(folder);
  const zipped = new Map();
  await packAll(root, zipped);
  let sent = 0;
  const server = createServer(async (req, res) => {
    try {
      const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
      let file = normalize(join(root, path));
      if (!file.startsWith(root)) throw new Error('outside');
      if ((await stat(file)).isDirectory()) file = join(file, 'index.html');
      const ext = extname(file);
      let body = await readFile(file);
      const headers = { 'Content-Type': types[ext] || 'application/octet-stream', 'Cache-Control': 'no-cache' };
      if (!packed.has(ext) && /\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
        const key = file + ':' + body.length;
        if (!zipped.has(key)) zipped.set(key, gzipSync(body, { level: 9 }));
        body = zipped.get(key);
        headers['Content-Encoding'] = 'gzip';
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
    server.listen(port, '127.0.0.1', () => done({ server, port: server.address().port, bytesSent: () => sent }));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const folder = process.argv[2] || 'build/web';
  const { port } = await serve(folder, Number(process.argv[3] || 8000));
  console.log(`Kelo - Das Spiel: http://127.0.0.1:${port}/ (Ctrl+C ends)`);
}
