// The page in real browsers of three engines, all from Debian: Chromium and
// Firefox ESR driven through puppeteer-core (Firefox over WebDriver BiDi), and
// WebKitGTK's MiniBrowser through WebKitWebDriver and selenium-webdriver on a
// virtual display. The page is served on 127.0.0.1 as a static host serves it.
//
// Each engine plays the way a person would: the main menu as the
// documentation shows it, a new game with a name typed and Enter, a level at
// 50 pictures a second with shots, Escape and F4 out of it, an option changed
// that a reload keeps, the music after the first click. Chromium, which can,
// also tries the page as an app (installable, offline, the next build taking
// over whole at the next start, a build that cannot be fetched whole left
// aside) and measures the budgets with real device pixels: a phone with its
// CPU slowed, a laptop and a desktop screen. What an engine cannot do is
// named as not tried there. Prints the budgets; fails only on what the page does.
//
//   node tests/web/browser_test.mjs [--engine chromium|firefox|webkit]... [PAGE_FOLDER [SOURCE_FOLDER]]
//   node tests/web/browser_test.mjs --budgets [PAGE_FOLDER [SOURCE_FOLDER]]   (Chromium's budgets alone)
import { cpSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { reach, results, setUp, sleep, status as state } from './browsers.mjs';

const args = process.argv.slice(2);
const onlyBudgets = args[0] === '--budgets' && Boolean(args.shift());
const engines = [];
while (args[0] === '--engine') engines.push(args.splice(0, 2)[1]);
if (!engines.length) engines.push(...(onlyBudgets ? ['chromium'] : ['chromium', 'firefox', 'webkit']));
const web = await setUp(args);
const { source, pageFolder, serve } = web;
const stage = join(source, 'build/wasm/src/platform/web/stage');  // the build's files before pack.mjs
const { PNG } = web.require('pngjs');
const { pack } = await import(join(source, 'tools/web/pack.mjs'));

// --- Pictures in the game's own colours -------------------------------------

const failures = join(source, 'build/web-test');
// Compares two pictures in the game's 16-bit colours (the top 5, 6 and 5 bits
// of each channel): the documentation's PNGs widen a channel as v * 255 / 31,
// the display repeats its top bits, and both keep those bits. Differences are
// allowed only within `pointer` (a box around the game's own pointer), in
// the menus' mushroom, which grows and shrinks all the time, and in the
// boxes of `also` (what another player's files show differently).
const mushroom = { x0: 155, y0: 310, x1: 155 + 78, y1: 310 + 80 };
const inside = (x, y, r) => x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1;
// A picture that differs is kept in build/web-test/ with its differences marked.
function samePicture(shot, expected, pointer, name, also = []) {
  const a = PNG.sync.read(shot), b = PNG.sync.read(expected);
  if (a.width !== b.width || a.height !== b.height) return `size ${a.width}x${a.height}, not ${b.width}x${b.height}`;
  let differing = 0, first = null;
  const marked = new PNG({ width: a.width, height: a.height });
  a.data.copy(marked.data);
  for (let y = 0; y < a.height; ++y)
    for (let x = 0; x < a.width; ++x) {
      const i = 4 * (y * a.width + x);
      const same = a.data[i] >> 3 === b.data[i] >> 3 && a.data[i + 1] >> 2 === b.data[i + 1] >> 2 &&
        a.data[i + 2] >> 3 === b.data[i + 2] >> 3;
      if (same) continue;
      if (pointer && Math.abs(x - pointer.x) <= pointer.r && Math.abs(y - pointer.y) <= pointer.r) continue;
      if (inside(x, y, mushroom) || also.some((r) => inside(x, y, r))) continue;
      if (!first) first = `(${x}, ${y})`;
      ++differing;
      marked.data.set([255, 0, 255, 255], i);
    }
  if (!differing) return '';
  mkdirSync(failures, { recursive: true });
  writeFileSync(join(failures, `shot-${name}`), shot);
  writeFileSync(join(failures, `differences-${name}`), PNG.sync.write(marked));
  return `${differing} pixels differ, the first at ${first} (see ${failures})`;
}

// --- Results ------------------------------------------------------------------

const report = results(), budgets = [], notTried = [];
let engine = '';
const check = (name, problem) => report.check(name, problem);
const budget = (text) => budgets.push(`${engine}: ${text}`);
const skip = (what, why) => notTried.push(`${engine}: ${what} (${why})`);
const percent = (v) => `${(100 * v).toFixed(1)} %`;

// Chromium here draws WebGL in software, which the page leaves for its own 2D
// path; the walk and the budgets take WebGL all the same (`webgl`), to see its
// pictures and to measure the path of a phone with a graphics processor.
// Either way the pictures that reach the canvas are counted (window.keloPictures).
function takeWebGL(webgl = true) {
  window.keloPictures = 0;
  for (const [kind, draw] of [[WebGLRenderingContext, 'drawArrays'], [CanvasRenderingContext2D, 'putImageData']]) {
    const original = kind.prototype[draw];
    kind.prototype[draw] = function (...args) {
      ++window.keloPictures;
      return original.apply(this, args);
    };
  }
  if (!webgl) return;
  const get = HTMLCanvasElement.prototype.getContext, extension = WebGLRenderingContext.prototype.getExtension;
  HTMLCanvasElement.prototype.getContext = function (type, attributes) {
    return get.call(this, type, type === 'webgl' ? { ...attributes, failIfMajorPerformanceCaveat: false } : attributes);
  };
  WebGLRenderingContext.prototype.getExtension = function (name) {
    return name === 'WEBGL_debug_renderer_info' ? null : extension.call(this, name);
  };
}

// --- What every engine does ----------------------------------------------------

async function waitFor(b, f, timeout) {
  for (const until = Date.now() + timeout; Date.now() < until; await sleep(100)) if (await b.evaluate(f)) return true;
  return false;
}
// The game draws a picture at most every 20 ms: a moment for it to show the newest.
const settle = () => sleep(300);
const screens = join(source, 'docs/screens');
// The screen as docs/screens/NAME shows it, with the pointer where it was
// taken; fades and the last pictures of a change may take a moment.
async function looksLike(b, name, pointer, patience = 3000, also = []) {
  await b.move(pointer.x, pointer.y);
  const until = Date.now() + patience;
  for (;;) {
    await sleep(100);
    const problem = samePicture(await b.screenshot(), readFileSync(join(screens, name)), { ...pointer, r: 12 }, name, also);
    if (!problem || Date.now() > until) return problem;
  }
}
// From the main menu into a level: "Neues Spiel", a difficulty, a name and Enter
// (presses where the documentation's pictures were taken: a press may leave its mark).
async function newGame(b, name, at = (x, y) => [x, y]) {
  await b.click(...at(470, 180));
  check('"Neues Spiel" leads to the difficulties', await reach(b, 'Schwer'));
  await settle();
  await b.click(...at(400, 178));
  check('a difficulty leads to the name', await reach(b, 'Name'));
  await settle();
  if (name) {
    await b.type(name);
    await settle();
    const shown = await b.evaluate(() => document.getElementById('name').value);
    check('the name typed is the name on the screen', shown === name ? '' : `it is "${shown}"`);
  }
  await b.press('Enter');
  check('Enter after a name starts the level', await reach(b, 'Level'));
}
const musicSounds = (b, timeout) => waitFor(b, () => performance.getEntriesByName('kelo-music-sounds').length > 0, timeout);

// The window resized while the game plays, as a phone turned upright and
// back: the game goes on, fills the new width, and shows its picture whole again.
async function turned(b) {
  const ticks = async () => (await state(b)).ticks;
  await b.view(480, 640);
  await sleep(500);
  const t0 = await ticks();
  await sleep(1000);
  const upright = { ticks: (await ticks()) - t0, ...await b.evaluate(() => {
    const c = document.getElementById('screen');
    return { width: c.width, wanted: Math.round(innerWidth * devicePixelRatio) };
  }) };
  check('upright the game plays on and fills the width',
    upright.ticks >= 25 && upright.width === upright.wanted ? '' : `${upright.ticks} ticks in a second, canvas ${upright.width} of ${upright.wanted} pixels wide`);
  await b.view(640, 480);
  check('turned back the main menu shows as docs/screens/main.png', await looksLike(b, 'main.png', { x: 470, y: 300 }));
}

// The WebGL context lost (as a browser loses it when the graphics processor
// resets), then given back: the picture goes on through the 2D canvas, then
// through WebGL again, the same all the time.
async function lostContext(b) {
  const through2D = () => b.evaluate(() => !document.getElementById('flat').hidden);
  await b.evaluate(() => {
    window.keloLose = document.getElementById('screen').getContext('webgl').getExtension('WEBGL_lose_context');
    window.keloLose.loseContext();
  });
  await settle();
  check('with the WebGL context lost the main menu goes on through the 2D canvas', await through2D()
    ? await looksLike(b, 'main.png', { x: 470, y: 300 }) : 'the 2D canvas does not show');
  await b.evaluate(() => window.keloLose.restoreContext());
  await settle();
  check('the context given back shows it through WebGL again', !(await through2D())
    ? await looksLike(b, 'main.png', { x: 470, y: 300 }) : 'still the 2D canvas');
}

async function walk(b, url) {
  await b.open(url);
  check('the main menu comes', await reach(b, 'Main'));
  const webgl = await b.evaluate(() => document.getElementById('flat').hidden);
  budget(`the picture goes to the screen through ${webgl ? 'WebGL' : 'the 2D canvas'}`);
  check('the main menu looks as docs/screens/main.png shows it', await looksLike(b, 'main.png', { x: 470, y: 300 }));
  if (webgl) await lostContext(b);
  else skip('a lost WebGL context', 'the page draws without WebGL here');
  if (b.view) await turned(b);
  await newGame(b, 'Jürgen');
  const fps = await waitFor(b, () => window.kelo.fps === 50, 10000) ? 50 : (await state(b)).fps;
  check('the level shows 50 pictures a second', fps === 50 ? '' : `it shows ${fps}`);
  for (let i = 0; i < 4; ++i) {  // shots
    await b.click(100 + 120 * i, 150 + 20 * (i % 3));
    await sleep(200);
  }
  check('the level runs on while shooting', (await state(b)).state === 'Level' ? '' : `it is "${(await state(b)).state}"`);
  await b.press('Escape');
  check('Escape pauses the level', await reach(b, 'Pause'));
  await settle();
  await b.press('F4');
  check('F4 leaves the level for the main menu', await reach(b, 'Main'));
  await settle();
  // The highscore list: pictures the page fetched after its first one. Its
  // entries are this browser's, not those of the documentation's picture.
  await b.click(400, 233);
  check('"HighScore" leads to the list', await reach(b, 'Highscore'));
  check('the list shows as docs/screens/highscore-1.png, but for its entries',
    await looksLike(b, 'highscore-1.png', { x: 250, y: 380 }, 3000, [{ x0: 66, y0: 258, x1: 596, y1: 334 }]));
  await b.click(100, 432);
  await reach(b, 'Main');
  await settle();
  await b.click(400, 200);
  check('"Optionen" leads to the options', await reach(b, 'Optionen'));
  check('the options show as documented, the explosions not blended', await looksLike(b, 'options-off.png', { x: 520, y: 230 }));
  await b.click(400, 180);
  check('"Transparente Explosionen" switches them on', await looksLike(b, 'options-on.png', { x: 400, y: 180 }));
  const music = await musicSounds(b, 15000) &&
    await b.evaluate(() => performance.getEntriesByName('kelo-music-sounds')[0].detail);  // its rate and thread
  await sleep(500);  // the save's transaction
  await b.reload();
  check('after a reload the main menu comes again', await reach(b, 'Main'));
  await settle();
  await b.click(400, 200);
  await reach(b, 'Optionen');
  check('the option is still set after the reload', await looksLike(b, 'options-on.png', { x: 400, y: 180 }));
  return music || (await b.evaluate(() => performance.getEntriesByName('kelo-soundfont-loaded').length > 0) ? 'loaded' : false);
}

// --- Chromium: the page as an app, and the budgets ---------------------------------

// The bytes the page fetched (with gzip, as served) before the first picture.
const fetched = (b) => b.evaluate(() => {
  const first = performance.getEntriesByName('kelo-first-picture')[0]?.startTime ?? Infinity;
  const entries = [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')];
  return { first, beforeFirst: entries.filter((e) => e.responseEnd <= first).reduce((n, e) => n + e.encodedBodySize, 0) };
});
// The content-named files this page's index.html names, and those it fetched.
const buildOf = (b) => b.evaluate(() => ({
  files: Object.values(JSON.parse(document.getElementById('kelo-files').textContent)),
  fetched: performance.getEntriesByType('resource').map((e) => new URL(e.name).pathname.slice(1))
    .filter((p) => /\.[0-9a-f]{12}\.[a-z]+$/.test(p)),
}));
const worker = (b) => b.evaluate(async () => {
  const r = await navigator.serviceWorker.getRegistration();
  return { active: !!(r && r.active), waiting: !!(r && r.waiting), installing: !!(r && r.installing),
    controlled: !!navigator.serviceWorker.controller };
});

// A second build of the same page: page.js and kelo.js changed, as a new
// build changes them.
function secondBuild(into, change) {
  const staged = join(into, 'stage');
  cpSync(stage, staged, { recursive: true });
  for (const file of ['page.js', 'kelo.js']) writeFileSync(join(staged, file), readFileSync(join(staged, file), 'utf8') + `\n// ${change}\n`);
  const out = join(into, 'web');
  const { names } = pack(staged, out);
  return { out, files: Object.values(names) };
}

async function asAnApp(server, url, profile) {
  const sentBefore = server.bytesSent();
  let b = await web.driven('chromium', profile);
  try {
    await b.open(url);
    await reach(b, 'Main');
    const start = await fetched(b);
    budget(`first picture ${(start.first / 1000).toFixed(2)} s after the page started loading`);
    budget(`before the first picture the page fetched ${(start.beforeFirst / 1e6).toFixed(2)} MB with gzip (budget 1 MB)`);
    check('the service worker keeps the page', await waitFor(b, async () => {
      const r = await navigator.serviceWorker.getRegistration();
      return !!(r && r.active);
    }, 30000) ? '' : JSON.stringify(await worker(b)));
    const { installabilityErrors } = await b.cdp().send('Page.getInstallabilityErrors');
    check('Chromium finds the page installable', installabilityErrors.length ? JSON.stringify(installabilityErrors) : '');
    await sleep(1000);
    budget(`everything sent for a first start, the service worker's copies included: ${((server.bytesSent() - sentBefore) / 1e6).toFixed(2)} MB with gzip (budget 3 MB)`);

    // Offline: the menu, a level and its music.
    await b.page.setOfflineMode(true);
    await b.reload();
    check('offline, a reload reaches the main menu', await reach(b, 'Main'));
    await settle();
    await newGame(b, 'Anna');
    check('offline, the level has its music', await musicSounds(b, 15000) ? '' : 'the music never sounded');
    await b.page.setOfflineMode(false);

    // A hidden tab: the game loses the focus and its clock stands still.
    const other = await b.browser.newPage();
    await other.bringToFront();
    await sleep(300);
    const ticksHidden = (await state(b)).ticks;
    await sleep(1000);
    const standing = (await state(b)).ticks - ticksHidden;
    await b.page.bringToFront();
    await other.close();
    await sleep(500);
    const ticksBack = (await state(b)).ticks;
    await sleep(500);
    check('a hidden tab stops the game\'s clock, and it goes on when shown',
      standing <= 1 && (await state(b)).ticks > ticksBack ? '' : `${standing} ticks while hidden`);
    await b.close();

    // The next build: fetched in the background at one start, played at the next.
    b = await web.driven('chromium', profile);
    await b.open(url);
    await reach(b, 'Main');
    const first = await buildOf(b);
    const work = mkdtempSync(join(tmpdir(), 'kelo-builds-'));
    const next = secondBuild(join(work, 'next'), 'the next build');
    server.setFolder(next.out);
    await b.newTab();
    await b.open(url);
    await reach(b, 'Main');
    const during = await buildOf(b);
    check('a start while the next build is fetched plays the old one whole',
      during.files.join() === first.files.join() && during.fetched.every((f) => first.files.includes(f)) ? '' :
        `it fetched ${during.fetched.filter((f) => !first.files.includes(f)).join(', ')}`);
    check('the next build is fetched whole and waits', await waitFor(b, async () => {
      const r = await navigator.serviceWorker.getRegistration();
      return !!(r && r.waiting);
    }, 30000) ? '' : JSON.stringify(await worker(b)));
    // While this tab plays, a start in another tab leaves the next build
    // waiting: this tab may still fetch files of its own build.
    const second = await web.watch(await b.browser.newPage());
    await second.goto(url);
    // Once it has the program, it says that the game runs in the other tab.
    await second.waitForFunction(() => !document.getElementById('elsewhere').hidden, { timeout: 20000, polling: 100 })
      .catch(() => {});
    const beside = await buildOf(second);
    check('a start beside a tab that plays keeps to that tab\'s build',
      beside.files.join() === first.files.join() && (await worker(b)).waiting ? '' : 'the next build took over');
    await second.close();
    await b.newTab();
    await b.open(url);
    await reach(b, 'Main');
    const after = await buildOf(b);
    check('the start after that plays the next build, none of the old one\'s files',
      after.files.join() === next.files.join() && after.fetched.length && after.fetched.every((f) => next.files.includes(f)) ? '' :
        `it has ${after.files.filter((f) => !next.files.includes(f)).join(', ') || 'the old list'}; fetched ${after.fetched.join(', ')}`);

    // A build that cannot be fetched whole (its new page.js is missing) is left aside.
    const broken = secondBuild(join(work, 'broken'), 'a build with a file missing');
    rmSync(join(broken.out, broken.files.find((f) => f.startsWith('page.'))));
    server.setFolder(broken.out);
    await b.reload();
    await reach(b, 'Main');
    await waitFor(b, async () => {
      const r = await navigator.serviceWorker.getRegistration();
      return !r.installing;
    }, 30000);
    await b.reload();
    check('a build that cannot be fetched whole leaves the last one playing',
      !(await reach(b, 'Main')) && (await buildOf(b)).files.join() === next.files.join() ? '' : 'another build plays');
    check('no errors on the page', b.problems.length ? b.problems.slice(0, 3).join(' | ') : '');
    rmSync(work, { recursive: true, force: true });
    server.setFolder(pageFolder);
  } finally {
    await b.close();
  }
}

// A level on a screen of real device pixels: ticks, pictures and the main
// thread's share of a core over some seconds of play (its busy time, and
// beside it the processor time it took: on a shared machine the first also
// counts the time the thread waited for a core). Measured on both of the
// page's paths: `webgl` as a phone with a graphics processor draws, where
// Chromium here draws WebGL and composites the page in its GPU process with
// SwiftShader (the flags below) and the page takes that software renderer
// (takeWebGL, injected by the test only); `2d` as the page draws without
// one, compositing in software. Pictures are those that reached the canvas.
const gpuProcess = ['--use-angle=swiftshader', '--ignore-gpu-blocklist', '--enable-gpu-rasterization'];
async function levelBudget(label, { width, height, scale, slower = 1, touch = false, limit }) {
  for (const path of ['webgl', '2d']) {
    const profile = mkdtempSync(join(tmpdir(), 'kelo-budget-'));
    const b = await web.driven('chromium', profile, { window: true, beforePage: path === 'webgl' ? takeWebGL : `(${takeWebGL})(false)`,
      args: [`--force-device-scale-factor=${scale}`, `--window-size=${width},${height}`, ...(path === 'webgl' ? gpuProcess : [])] });
    try {
      const cdp = b.cdp();
      if (touch) await cdp.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
      await b.open(budgetUrl);
      await reach(b, 'Main');
      await sleep(1000);  // the menu's fade
      // Presses at the picture's own points, wherever the picture sits.
      const box = await b.evaluate(() => {
        const r = document.getElementById('screen').getBoundingClientRect(), s = Math.min(r.width / 640, r.height / 480);
        return { x: r.left + (r.width - 640 * s) / 2, y: r.top + (r.height - 480 * s) / 2, s };
      });
      const at = (x, y) => [box.x + x * box.s, box.y + y * box.s];
      if (touch) b.click = (x, y) => b.page.touchscreen.tap(x, y);
      await newGame(b, 'Anna', at);
      await waitFor(b, () => window.kelo.fps === 50, 10000);
      if (slower > 1) await cdp.send('Emulation.setCPUThrottlingRate', { rate: slower });
      await sleep(1000);
      await cdp.send('Performance.enable');
      const metric = async () => Object.fromEntries((await cdp.send('Performance.getMetrics')).metrics.map((e) => [e.name, e.value]));
      const pictures = () => b.evaluate(() => window.keloPictures);
      const before = await metric(), ticksBefore = (await state(b)).ticks, picturesBefore = await pictures(), t0 = Date.now();
      for (let i = 0; i < 6; ++i) {
        await b.click(...at(100 + 80 * i, 150 + 20 * (i % 3)));
        await sleep(800);
      }
      const after = await metric(), seconds = (Date.now() - t0) / 1000, s = await state(b);
      const shown = ((await pictures()) - picturesBefore) / seconds;
      const share = (name) => (after[name] - before[name]) / seconds;
      const info = await b.evaluate(() => ({ width: document.getElementById('screen').width,
        webgl: document.getElementById('flat').hidden, dpr: devicePixelRatio,
        music: (performance.getEntriesByName('kelo-music-sounds')[0] || { detail: { thread: 'no' } }).detail.thread }));
      budget(`${label}, ${path === 'webgl' ? 'WebGL' : 'the 2D canvas without a graphics processor'}: ` +
        `${((s.ticks - ticksBefore) / seconds).toFixed(1)} ticks and ${shown.toFixed(1)} pictures a second, ` +
        `main thread busy ${percent(share('TaskDuration'))} of a core (budget ${percent(limit)}), ` +
        `processor time ${percent(share('ThreadTime'))}; canvas ${info.width} device pixels wide at ${info.dpr}x; ` +
        `music rendered on the ${info.music} thread` +
        (info.webgl === (path === 'webgl') ? '' : `, DRAWN THROUGH ${info.webgl ? 'WebGL' : 'the 2D canvas'}`));
      check(`${label}, ${path}: the level plays on`, s.state === 'Level' ? '' : `it is "${s.state}"`);
    } finally {
      await b.close();
      rmSync(profile, { recursive: true, force: true });
    }
  }
}

// In portrait the picture fills the width, and a swipe over it moves the game's pointer, not the page.
async function portrait() {
  const profile = mkdtempSync(join(tmpdir(), 'kelo-portrait-'));
  const b = await web.driven('chromium', profile, { window: true, args: ['--window-size=390,844'] });
  try {
    await b.page.setViewport({ width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
    await b.open(budgetUrl);
    await reach(b, 'Main');
    const rect = await b.evaluate(() => {
      const c = document.getElementById('screen');
      return { css: c.getBoundingClientRect().width, width: innerWidth };
    });
    const cdp = b.cdp();
    const touch = (type, y) => cdp.send('Input.dispatchTouchEvent', { type, touchPoints: type === 'touchEnd' ? [] : [{ x: 200, y }] });
    await touch('touchStart', 500);
    for (let y = 480; y >= 200; y -= 40) await touch('touchMove', y);
    await touch('touchEnd');
    await sleep(300);
    const scrolled = await b.evaluate(() => scrollY);
    check('in portrait the picture fills the width and a swipe over it does not scroll the page',
      Math.abs(rect.css - rect.width) < 1 && scrolled === 0 ? '' : `canvas ${rect.css} of ${rect.width} CSS pixels, scrolled ${scrolled}`);
  } finally {
    await b.close();
    rmSync(profile, { recursive: true, force: true });
  }
}

// --- The run ------------------------------------------------------------------------

const server = await serve(pageFolder);
const url = `http://127.0.0.1:${server.port}/`;
const budgetServer = await serve(pageFolder);
const budgetUrl = `http://127.0.0.1:${budgetServer.port}/`;
const started = Date.now();
async function allBudgets() {
  await levelBudget('phone, 844 x 390 at 3x, touch, CPU slowed 4x', { width: 844, height: 390, scale: 3, slower: 4, touch: true, limit: 0.25 });
  await levelBudget('laptop, 1440 x 900 at 2x', { width: 1440, height: 900, scale: 2, limit: 0.05 });
  await levelBudget('desktop, 1920 x 1080 at 1x', { width: 1920, height: 1080, scale: 1, limit: 0.05 });
}
if (onlyBudgets) {
  engine = 'chromium';
  await allBudgets().catch((e) => report.stopped(engine, e));
  engines.length = 0;
}
for (engine of engines) {
  report.prefix = engine;
  const t0 = Date.now();
  const profile = mkdtempSync(join(tmpdir(), `kelo-${engine}-`));
  let b = null;
  try {
    b = engine === 'webkit' ? await web.webkit() : await web.driven(engine, profile, { beforePage: takeWebGL });
    const music = await walk(b, url);
    if (music === 'loaded' && engine !== 'chromium') skip('the music sounding', 'the SoundFont loaded, but no audio output starts without a sound device here');
    else check('the music sounds after the first click, rendered in the audio worklet', !music || music === 'loaded'
      ? 'the synthesizer or the output never came' : music.thread === 'audio' ? '' : `it renders on the ${music.thread} thread`);
    check('no errors on the page', b.problems.length ? b.problems.slice(0, 3).join(' | ') : '');
    await b.close();
    b = null;
    if (engine === 'chromium') {
      // The option over a restart of the browser, then the page as an app.
      b = await web.driven('chromium', profile);
      await b.open(url);
      check('after a restart of the browser the main menu comes', await reach(b, 'Main'));
      await settle();
      await b.click(400, 200);
      await reach(b, 'Optionen');
      check('the option is still set after a restart of the browser', await looksLike(b, 'options-on.png', { x: 400, y: 180 }));
      await b.close();
      b = null;
      rmSync(profile, { recursive: true, force: true });
      mkdirSync(profile);
      await asAnApp(server, url, profile);
      await allBudgets();
      await portrait();
    } else {
      skip('installability, offline mode, touch, CPU slowing and the main thread\'s share (the budgets)',
        'only Chromium\'s DevTools protocol has them');
      skip('the next build, the hidden tab and a restart of the browser', 'tried in Chromium only, to keep the run short');
    }
  } catch (e) {
    report.stopped(engine, e);
  } finally {
    if (b) await b.close().catch(() => {});
    rmSync(profile, { recursive: true, force: true });
  }
  console.log(`(${engine} took ${((Date.now() - t0) / 1000).toFixed(0)} s)`);
}
server.server.close();
budgetServer.server.close();

console.log('\nBudgets (measured, not tested):');
for (const b of budgets) console.log('  ' + b);
if (budgets.some((b) => b.includes(', WebGL:')))
  console.log('  (WebGL is drawn here by SwiftShader in Chromium\'s GPU process, on the processor: its pictures a second\n' +
    '   are what SwiftShader manages, and the main thread\'s busy share also counts the time it waited for a core\n' +
    '   that SwiftShader held. With the CPU slowed, its processor time counts the slowing too.)');
if (notTried.length) {
  console.log('\nNot tried:');
  for (const n of notTried) console.log('  ' + n);
}
report.end(started);
