// Puts the page together from the files of one build (STAGE) into OUT, as a
// static host serves it:
// - the program, its data, the pictures that come later, page.js, replays.js, FluidSynth, the music's worklet,
//   the SoundFont and the service worker's library under names that change with their content, so that the
//   files of two builds can never be taken for each other;
// - index.html naming them (and listing them for page.js);
// - sw.js, the service worker, with every file of this build to keep;
// - a gzipped copy (NAME.gz) beside each file worth packing, for hosts that
//   serve those as they are.
//
//   node tools/web/pack.mjs STAGE OUT
import { createHash } from 'node:crypto';
import { mkdirSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { basename, dirname, extname, join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { fileURLToPath } from 'node:url';

// Files whose names change with their content; the rest keep their names
// (the page's address, the service worker, what the page links to).
const contentNamed = /^(kelo\.js|kelo\.wasm|kelo-simd\.wasm|kelo-music\.wasm|kelo\.data|kelo\.sf2|kelo\.waves|kelo\.pictures|page\.js|replays\.js|vectors\.js|fluid\.js|music\.js|libfluidsynth\.js|js-synthesizer(\.worklet)?\.js|workbox-[a-z]+\.prod\.js)$/;
const packable = new Set(['.html', '.js', '.wasm', '.data', '.sf2', '.waves', '.json', '.webmanifest', '.txt', '']);
// What the service worker imports: Workbox, and the page's own choice of program.
const workerScripts = ['workbox-core.prod.js', 'workbox-routing.prod.js', 'workbox-strategies.prod.js',
  'workbox-precaching.prod.js', 'vectors.js'];

const hash = (bytes) => createHash('sha256').update(bytes).digest('hex');
function filesUnder(root) {
  return readdirSync(root, { recursive: true }).map(String).filter((f) => statSync(join(root, f)).isFile()).sort();
}

export function pack(stage, out) {
  rmSync(out, { recursive: true, force: true });
  mkdirSync(out, { recursive: true });
  const names = {};  // a staged file's name -> the name it is served under
  const revisions = {};  // served name -> revision (null where the name changes with the content)
  const write = (name, bytes, revision) => {
    mkdirSync(dirname(join(out, name)), { recursive: true });
    writeFileSync(join(out, name), bytes);
    revisions[name] = revision;
  };
  const templates = new Set(['index.html', 'sw.js']);
  for (const file of filesUnder(stage)) {
    if (templates.has(file)) continue;
    const bytes = readFileSync(join(stage, file));
    if (contentNamed.test(file)) {
      const ext = extname(file), served = `${basename(file, ext)}.${hash(bytes).slice(0, 12)}${ext}`;
      names[file] = served;
      write(served, bytes, null);
    } else {
      write(file, bytes, hash(bytes).slice(0, 16));
    }
  }
  for (const script of workerScripts)
    if (!names[script]) throw new Error(`${script} is not in ${stage}`);

  // index.html: the content-named files by their names, and the list of them for page.js.
  let index = readFileSync(join(stage, 'index.html'), 'utf8');
  for (const [file, served] of Object.entries(names)) index = index.replaceAll(`"${file}"`, `"${served}"`);
  const list = `<script id="kelo-files" type="application/json">${JSON.stringify(names)}</script>`;
  if (!index.includes('<!-- files -->')) throw new Error('index.html lacks the place of the file list');
  index = index.replace('<!-- files -->', list);
  write('index.html', index, hash(index).slice(0, 16));

  // The service worker keeps exactly this build.
  const precache = Object.entries(revisions).sort().map(([url, revision]) => ({ url, revision }));
  let worker = readFileSync(join(stage, 'sw.js'), 'utf8');
  worker = worker.replace('/* scripts */', workerScripts.map((s) => JSON.stringify(names[s])).join(', '))
    .replace('/* files */', JSON.stringify(precache));
  writeFileSync(join(out, 'sw.js'), worker);

  for (const file of filesUnder(out)) {
    if (!packable.has(extname(file))) continue;
    const bytes = readFileSync(join(out, file)), packed = gzipSync(bytes, { level: 9 });
    if (packed.length < bytes.length) writeFileSync(join(out, file + '.gz'), packed);
  }
  return { names, precache };
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [stage, out] = process.argv.slice(2);
  if (!stage || !out) {
    console.error('usage: node tools/web/pack.mjs STAGE OUT');
    process.exit(2);
  }
  const { precache } = pack(stage, out);
  console.log(`${precache.length} files of the page, kept by its service worker, in ${out}`);
}
