// The page's replays and the world list, in Debian's Chromium, headless,
// against a kelo-server of the test's own (127.0.0.1, a free port, SQLite in a
// temporary folder): a level played in the page is kept with the scores,
// verifies with kelo-harness, is sent with one click and found ranked on the
// list; a second browser context watches it from the server; an edited copy
// is refused by both; a dropped replay is watched; the page without a server
// shows no list, and with one it cannot reach plays as before.
//
//   node tests/web/world_test.mjs [PAGE_FOLDER [SOURCE_FOLDER]]
// KELO_SHOTS=DIR keeps screenshots of the page at a desktop's and a phone's size.
import { spawn, spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { deflateSync, inflateSync } from 'node:zlib';
import { anyLevelEnters, reach, results, setUp, sleep, speedUp, status } from './browsers.mjs';

const web = await setUp(process.argv.slice(2));
const report = results();
const check = (name, problem) => report.check(name, problem);
const started = Date.now();
const game = join(web.source, 'build/release/game');
const temp = mkdtempSync(join(tmpdir(), 'kelo-world-'));
const shots = process.env.KELO_SHOTS;
if (shots) mkdirSync(shots, { recursive: true });

// The server, on the port it finds free.
const kelo = spawn(join(game, 'kelo-server'), ['--host', '127.0.0.1', '--port', '0', '--workers', '1',
  '--database', join(temp, 'world.db')], { stdio: ['ignore', 'pipe', 'inherit'] });
const serverUrl = await new Promise((resolve, reject) => {
  let out = '';
  kelo.stdout.on('data', (d) => {
    out += d;
    const m = /listening on (http:\/\/[^ ]+?)\/? /.exec(out);
    if (m) resolve(m[1]);
  });
  kelo.once('exit', (code) => reject(new Error(`kelo-server ended (${code}) before it listened`)));
  setTimeout(() => reject(new Error('kelo-server did not listen within 20 s')), 20000);
});

const { server, port } = await web.serve(web.pageFolder);
const url = `http://127.0.0.1:${port}/`;
const browser = await web.chromium();

async function open(size = { width: 1280, height: 720 }) {
  const ctx = await browser.createBrowserContext();
  const page = await web.watch(await ctx.newPage());
  await page.setViewport({ ...size, deviceScaleFactor: 1 });
  await page.evaluateOnNewDocument(speedUp);
  return page;
}
async function click(page, x, y) {
  await page.mouse.move(x, y);
  await page.mouse.click(x, y);
}
// Where a point of the 640 x 480 picture is in the page.
const inPicture = (page, x, y) => page.evaluate(([x, y]) => {
  const r = document.getElementById('game').getBoundingClientRect();
  const s = Math.min(r.width / 640, r.height / 480);
  return [r.left + (r.width - 640 * s) / 2 + x * s, r.top + (r.height - 480 * s) / 2 + y * s];
}, [x, y]);
// Where the panel beside the game overlaps the picture ('' where it does not).
const overPicture = (page) => page.evaluate(() => {
  const r = document.getElementById('game').getBoundingClientRect(), p = document.getElementById('beside').getBoundingClientRect();
  const s = Math.min(r.width / 640, r.height / 480), x = r.left + (r.width - 640 * s) / 2, y = r.top + (r.height - 480 * s) / 2;
  const apart = p.right <= x + 1 || p.left >= x + 640 * s - 1 || p.bottom <= y + 1 || p.top >= y + 480 * s - 1;
  return apart ? '' : `the panel at ${p.left},${p.top} ${p.width}x${p.height} lies over the picture`;
});
const beside = (page) => page.evaluate(() => {
  const e = document.getElementById('beside');
  return e && !e.hidden ? e.innerText : '';
});
// The bytes of a file as the page's database holds it (null for none).
const stored = (page, name) => page.evaluate((name) => new Promise((resolve) => {
  const r = indexedDB.open('kelo');
  r.onsuccess = () => {
    const db = r.result;
    if (!db.objectStoreNames.contains('files')) return resolve(null);
    const get = db.transaction('files').objectStore('files').get(name);
    get.onsuccess = () => {
      db.close();
      resolve(get.result ? Array.from(new Uint8Array(get.result)) : null);
    };
  };
  r.onerror = () => resolve(null);
}), name).then((a) => a && Buffer.from(a));
const storedCount = (page) => page.evaluate(() => new Promise((resolve) => {
  const r = indexedDB.open('kelo');
  r.onsuccess = () => {
    const db = r.result;
    if (!db.objectStoreNames.contains('files')) return resolve(0);
    const count = db.transaction('files').objectStore('files').count();
    count.onsuccess = () => resolve(count.result);
  };
  r.onerror = () => resolve(0);
}));
const until = async (f, timeout = 15000) => {
  for (const end = Date.now() + timeout; Date.now() < end; await sleep(100)) if (await f()) return true;
  return false;
};
async function shoot(page, name) {
  if (shots) writeFileSync(join(shots, `${name}.png`), await page.screenshot());
}
// The browser's own lines about a server it cannot reach are no fault of the page.
const faults = (page) => page.problems.filter((p) => !/Failed to load resource|ERR_CONNECTION_REFUSED/.test(p));
const verify = (file) => spawnSync(join(game, 'kelo-harness'), ['--verify', file], { encoding: 'utf8' });

// A replay whose claim says more points than its level made.
function edited(bytes) {
  const payload = Buffer.from(inflateSync(bytes.subarray(9)));
  let at = 0;
  const varint = () => {
    let v = 0, shift = 0, b;
    do {
      b = payload[at++];
      v += (b & 127) * 2 ** shift;
      shift += 7;
    } while (b & 128);
    return v;
  };
  const skipText = () => {
    const n = varint();
    at += n;
  };
  skipText(); varint(); skipText();  // release, play version, system
  at += 9;                           // date, end
  varint();                          // ticks
  const before = at;
  const points = varint();           // zigzag
  const more = points + 2000, out = [];
  for (let v = more; ; v = Math.floor(v / 128)) {
    if (v < 128) { out.push(v); break; }
    out.push((v & 127) | 128);
  }
  const changed = Buffer.concat([payload.subarray(0, before), Buffer.from(out), payload.subarray(at)]);
  return Buffer.concat([bytes.subarray(0, 9), deflateSync(changed)]);
}

try {
  // --- A level played, kept, verified, sent and ranked ---------------------------
  // A run on the list before the page's: the golden playthrough's first level ("Leicht").
  const golden = await fetch(`${serverUrl}/api/runs`, { method: 'POST',
    body: readFileSync(join(web.source, 'tests/golden/level-1.rep')) });
  check('the server takes a run of the desktop game', golden.status === 201 ? '' : `status ${golden.status}`);
  // A list that any finished level enters (hits "-1"), in the page's store.
  const player = await open({ width: 1920, height: 1080 });
  await player.goto(url + 'lizenzen.html');
  await player.evaluate((list) => new Promise((resolve, reject) => {
    const record = new Uint8Array(list);
    const r = indexedDB.open('kelo', 1);
    r.onupgradeneeded = () => r.result.createObjectStore('files');
    r.onsuccess = () => {
      const tx = r.result.transaction('files', 'readwrite');
      tx.objectStore('files').put(record, 'high1.sco');
      tx.oncomplete = () => { r.result.close(); resolve(); };
      tx.onabort = reject;
    };
  }), anyLevelEnters);
  await player.goto(`${url}?seed=4711&server=${encodeURIComponent(serverUrl)}`);
  check('the page with a server plays', await reach(player, 'Main'));
  check('it shows the world list beside the game', await until(async () => (await beside(player)).includes('Jäger Kelo'))
    ? '' : `it shows "${await beside(player)}"`);
  await shoot(player, 'desktop-world-empty');
  await sleep(300);
  await click(player, ...await inPicture(player, 470, 180));
  await reach(player, 'Schwer');
  await sleep(300);
  await click(player, ...await inPicture(player, 400, 178));
  await reach(player, 'Name');
  await sleep(300);
  await player.keyboard.type('Weltmeister');
  await player.keyboard.press('Enter');
  check('a level starts', await reach(player, 'Level'));
  const levelStart = Date.now();
  await player.evaluate(() => { window.speed = 100; });
  for (let i = 0; i < 12; ++i) {
    await click(player, ...await inPicture(player, 80 + 45 * i, 120 + 15 * (i % 5)));
    await sleep(150);
  }
  check('the level plays to its results', await reach(player, 'Results', 180000));
  await player.evaluate(() => { window.speed = 1; });
  console.log(`      (the level at full speed took ${((Date.now() - levelStart) / 1000).toFixed(0)} s)`);
  await sleep(500);

  const last = await stored(player, 'last.rep'), entry = await stored(player, 'high1-1.rep');
  check('the browser\'s storage keeps the last level\'s replay and the new entry\'s with the scores',
    last && entry && last.equals(entry) && await stored(player, 'high1.sco') ? '' : `last.rep ${last ? 'kept' : 'missing'}, high1-1.rep ${entry ? 'kept' : 'missing'}`);
  writeFileSync(join(temp, 'page.rep'), last || Buffer.alloc(0));
  // Kept where the Windows build's test and the tests under Node play it too.
  if (last) {
    mkdirSync(join(web.source, 'build/replays'), { recursive: true });
    writeFileSync(join(web.source, 'build/replays/browser.rep'), last);
  }
  const accepted = verify(join(temp, 'page.rep'));
  check('kelo-harness --verify accepts the page\'s replay', accepted.status === 0 && /Browser/.test(accepted.stdout)
    ? '' : `status ${accepted.status}: ${accepted.stdout}${accepted.stderr}`);
  const links = await beside(player);
  check('the page offers the last level and the entry for download', links.includes('Letztes Level') && links.includes('Highscores Leicht')
    ? '' : `it shows "${links}"`);
  const downloaded = await player.evaluate(async () => {
    const a = [...document.querySelectorAll('#beside a[download]')].find((l) => l.textContent === 'Letztes Level');
    if (!a) return [];
    a.dispatchEvent(new MouseEvent('click', { cancelable: true }));
    return Array.from(new Uint8Array(await (await fetch(a.href)).arrayBuffer()));
  });
  check('the download is the kept replay', last && Buffer.from(downloaded).equals(last) ? '' : `${downloaded.length} bytes`);

  // --- An edited copy is refused -------------------------------------------------
  if (last) {
    writeFileSync(join(temp, 'edited.rep'), edited(last));
    const refused = verify(join(temp, 'edited.rep'));
    const answer = await fetch(`${serverUrl}/api/runs`, { method: 'POST', body: readFileSync(join(temp, 'edited.rep')) });
    check('a copy whose claim was raised, sent first, is refused by kelo-harness and by the server',
      refused.status === 1 && answer.status === 422 ? '' : `harness ${refused.status}, server ${answer.status}`);
  }

  const offer = await player.$('#send-run');
  check('a finished level is offered to the world list, not sent unasked',
    offer && (await (await fetch(`${serverUrl}/api/top?difficulty=1`)).json()).total === 1 ? '' : 'no offer, or sent already');
  if (offer) await offer.click();
  check('one click sends it, and the page shows its place on the list',
    await until(async () => /Ihr Platz: 2 von 2/.test(await beside(player))) ? '' : `it shows "${await beside(player)}"`);
  await shoot(player, 'desktop-world-sent');
  check('the list lies beside the picture', await overPicture(player));
  const top = await (await fetch(`${serverUrl}/api/top?difficulty=1`)).json();
  const run = top.runs[1] || {};
  check('the server ranks the run by its own play', run.name === 'Weltmeister' && accepted.stdout.includes(String(run.score))
    ? '' : JSON.stringify(top));
  const keys = String(await stored(player, 'world.keys') || ''), runs = String(await stored(player, 'world.sent') || '');
  check('the key to withdraw the run is kept with the scores, for that server only',
    new RegExp(`^${serverUrl} [A-Za-z0-9_-]{16,}\n$`).test(keys) && runs === `${serverUrl} ${run.id} 1\n`
      ? '' : `world.keys "${keys}", world.sent "${runs}"`);

  // --- Another browser watches it from the list ------------------------------------
  const viewer = await open({ width: 1920, height: 1080 });
  await viewer.goto(`${url}?replay=${encodeURIComponent(`${serverUrl}/api/runs/${run.id}/replay`)}`);
  check('a second browser watches the run from the server', await reach(viewer, 'Level'));
  await shoot(viewer, 'desktop-watching');
  await viewer.evaluate(() => { window.speed = 100; });
  check('the watched level goes on to its results', await reach(viewer, 'Results', 180000));
  await viewer.keyboard.press('Escape');
  const over = await until(() => viewer.evaluate(() => !document.getElementById('ending').hidden &&
    document.getElementById('ending').innerText.includes('Aufzeichnung ist zu Ende')));
  check('Escape ends the watching, which saved nothing', over && await storedCount(viewer) === 0 && !faults(viewer).length
    ? '' : `${over ? '' : 'no end line; '}${await storedCount(viewer)} files stored; ${faults(viewer).join(' | ')}`);

  // --- A replay dropped onto the page ------------------------------------------------
  // Not while the level's results show; on the main menu.
  const drop = (bytes) => player.evaluate((bytes) => {
    const t = new DataTransfer();
    t.items.add(new File([new Uint8Array(bytes)], 'lauf.rep'));
    window.dispatchEvent(new DragEvent('drop', { dataTransfer: t, cancelable: true }));
  }, Array.from(bytes || []));
  await drop(last);
  await sleep(500);
  check('a replay dropped onto the results is not watched', (await status(player)).state === 'Results' &&
    (await beside(player)).includes('erst nach dem Level') ? '' : `it is "${(await status(player)).state}"`);
  await player.keyboard.press('Escape');
  await reach(player, 'Main');
  await sleep(300);
  await Promise.all([player.waitForNavigation(), drop(last)]);
  check('a replay dropped onto the main menu is watched there', await reach(player, 'Level'));
  await player.keyboard.press('Escape');
  await sleep(300);
  check('the scores stay as they were', (await stored(player, 'high1-1.rep') || Buffer.alloc(0)).equals(entry || Buffer.alloc(1))
    ? '' : 'the entry\'s replay changed');

  // --- Without a server, and with one it cannot reach -----------------------------
  for (const [what, address, size] of [
    ['without a server', '', { width: 1920, height: 1080 }],
    ['with a server it cannot reach', '?server=http://127.0.0.1:9', { width: 844, height: 390 }],
  ]) {
    const page = await open(size);
    await page.goto(url + address);
    const plays = await reach(page, 'Main');
    await sleep(1500);
    const text = await beside(page);
    check(`${what} the page plays and shows ${address ? 'that the list cannot be reached' : 'no world list'}`,
      !plays && (address ? text.includes('nicht erreichbar') : !text.includes('Weltliste')) && !faults(page).length
        ? '' : `${plays} "${text}" ${faults(page).join(' | ')}`);
    await shoot(page, address ? 'phone-world-unreachable' : 'desktop-no-server');
  }
  const phone = await open({ width: 844, height: 390 });
  await phone.goto(`${url}?server=${encodeURIComponent(serverUrl)}`);
  await reach(phone, 'Main');
  await until(async () => (await beside(phone)).includes('Weltmeister'));
  await phone.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
  await shoot(phone, 'phone-world');
  check('on a phone the list lies below the picture', await overPicture(phone));
} catch (e) {
  report.stopped('the replays and the world list', e);
} finally {
  await browser.close();
  server.close();
  kelo.kill('SIGTERM');
  rmSync(temp, { recursive: true, force: true });
}
report.end(started);
