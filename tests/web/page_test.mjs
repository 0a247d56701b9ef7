// The page where browsers fail or differ, in Debian's Chromium, headless: a
// browser that keeps nothing, an IndexedDB that never answers, transactions
// that fail, two tabs each finishing a level, the name field with characters
// the game refuses, an audio output at another rate and one interrupted, a
// visible area smaller than the window, a page loaded in a background tab,
// and pictures that cannot be fetched; the tabs also in a browser without
// Web Locks.
// Each case runs in a browser context of its own (its own storage); the two
// tabs, which take the longest, in a browser of their own beside the others.
//
//   node tests/web/page_test.mjs [PAGE_FOLDER] [SOURCE_FOLDER]
import { anyLevelEnters, reach, results, setUp, sleep, speedUp, status } from './browsers.mjs';

const web = await setUp(process.argv.slice(2));
const report = results();
const check = (name, problem) => report.check(name, problem);

const { server, port } = await web.serve(web.pageFolder);
const url = `http://127.0.0.1:${port}/`;
const browser = await web.chromium(), tabsBrowser = await web.chromium();

// A tab in `context` (a new one by default), with `setup` run before the page's own scripts.
async function open(setup, context) {
  const ctx = context || await browser.createBrowserContext();
  const page = await web.watch(await ctx.newPage());
  if (setup) await page.evaluateOnNewDocument(setup);
  return page;
}
async function click(page, x, y) {
  await page.mouse.move(x, y);
  await page.mouse.click(x, y);
}
// From the main menu to the name screen of "Leicht".
async function toName(page) {
  await click(page, 470, 180);
  await reach(page, 'Schwer');
  await sleep(300);
  await click(page, 400, 178);
  return reach(page, 'Name');
}
const shownText = (page, id) => page.evaluate((id) => {
  const e = document.getElementById(id);
  return e && !e.hidden ? e.textContent : '';
}, id);
const noticeText = (page) => shownText(page, 'notice');
// The line that the game runs in another tab, once it shows.
const elsewhere = (page) => page.waitForFunction(() => !document.getElementById('elsewhere').hidden,
  { timeout: 10000, polling: 100 }).then(() => shownText(page, 'elsewhere'), () => '');
// A file as the page's database holds it, as text ('' for none).
const stored = (page, name) => page.evaluate((name) => new Promise((resolve) => {
  const r = indexedDB.open('kelo');
  r.onsuccess = () => {
    const db = r.result;
    if (!db.objectStoreNames.contains('files')) return resolve('');
    const get = db.transaction('files').objectStore('files').get(name);
    get.onsuccess = () => {
      db.close();
      resolve(get.result ? new TextDecoder('latin1').decode(get.result) : '');
    };
  };
  r.onerror = () => resolve('');
}), name);

// Run before the page: whatever the page's music node sends to the output
// also goes to an analyser (window.musicTap), which the test listens to.
function tapMusic() {
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    const music = (window.AudioWorkletNode && this instanceof AudioWorkletNode) || this instanceof ScriptProcessorNode;
    if (music && target instanceof AudioDestinationNode) {
      window.musicTap = this.context.createAnalyser();
      connect.call(this, window.musicTap);
    }
    return connect.call(this, target, ...rest);
  };
}
// How the music sounds once it does: FluidSynth's rate and thread, and the
// loudest sample heard within two seconds; or the problem.
const musicSounds = (page) => page.waitForFunction(() => performance.getEntriesByName('kelo-music-sounds').length > 0,
  { timeout: 15000 }).then(() => page.evaluate(async () => {
  const samples = new Float32Array(2048);
  let loudest = 0;
  for (let i = 0; i < 40 && window.musicTap; ++i) {
    await new Promise((resolve) => setTimeout(resolve, 50));
    window.musicTap.getFloatTimeDomainData(samples);
    for (const v of samples) loudest = Math.max(loudest, Math.abs(v));
  }
  return { ...performance.getEntriesByName('kelo-music-sounds')[0].detail, loudest };
}), () => ({ problem: 'the music never came' }));
const heard = (sounds) => (sounds.loudest > 0.01 ? '' : `nothing was heard (loudest sample ${sounds.loudest})`);

// Each case on its own: one that stops counts as failed, and the next runs.
async function attempt(name, run, owner = browser) {
  try {
    await run();
  } catch (e) {
    check(name, `it stopped: ${e && e.stack || e}`);
  }
  for (const ctx of owner.browserContexts()) if (ctx !== owner.defaultBrowserContext()) await ctx.close();
}

try {
  // --- Two tabs, each finishing a level ---------------------------------------
  const twoTabs = attempt('two tabs', async () => {
    // A list a level without a hit still enters (hits "-1"), kept where the
    // page kept its files before it had its own store (Emscripten's IDBFS:
    // it is taken over from there), and the game's clock made faster on
    // request (speedUp), so that a level ends in seconds.
    const ctx = await tabsBrowser.createBrowserContext();
    const first = await open(speedUp, ctx);
    await first.goto(url + 'lizenzen.html');
    await first.evaluate((list) => new Promise((resolve, reject) => {
      const record = new Uint8Array(list);
      const r = indexedDB.open('/kelo-files', 21);
      r.onupgradeneeded = () => r.result.createObjectStore('FILE_DATA');
      r.onsuccess = () => {
        const tx = r.result.transaction('FILE_DATA', 'readwrite');
        tx.objectStore('FILE_DATA').put({ timestamp: new Date(), mode: 0o100666, contents: record }, '/kelo-files/high1.sco');
        tx.oncomplete = () => { r.result.close(); resolve(); };
        tx.onabort = reject;
      };
    }), anyLevelEnters);
    await first.goto(url);
    await reach(first, 'Main');
    const second = await open(speedUp, ctx);
    await second.goto(url);
    const busy = await elsewhere(second);
    check('a second tab says that the game already runs, and offers to play there',
      busy.includes('läuft schon') && busy.includes('Hier spielen') ? '' : `it shows "${busy}", state "${(await status(second)).state}"`);

    const playLevel = async (page, name) => {
      await page.bringToFront();
      await reach(page, 'Main');
      await sleep(300);
      if (await toName(page)) return 'no name screen';
      await sleep(300);
      await page.keyboard.type(name);
      await page.keyboard.press('Enter');
      if (await reach(page, 'Level')) return 'no level';
      await page.evaluate(() => { window.speed = 100; });
      const problem = await reach(page, 'Results', 120000);
      await page.evaluate(() => { window.speed = 1; });
      return problem;
    };
    const levelStart = Date.now();
    check('the first tab finishes a level', await playLevel(first, 'Anna'));
    console.log(`      (a level at full speed took ${((Date.now() - levelStart) / 1000).toFixed(0)} s)`);
    await second.bringToFront();
    const button = await second.$('#elsewhere:not([hidden]) button');
    if (button) await button.click();
    check('"Hier spielen" starts the game in the second tab', await reach(second, 'Main'));
    const stopped = await elsewhere(first);
    check('the first tab then says that the game runs in another tab',
      stopped.includes('Das Spiel läuft in einem anderen Tab.') ? '' : `it shows "${stopped}"`);
    check('the second tab finishes a level', await playLevel(second, 'Bert'));
    await sleep(500);
    const list = await stored(second, 'high1.sco');
    check('the list, taken over from the old store, keeps both tabs\' entries',
      list.includes('Anna') && list.includes('Bert') && list.includes('Niemand') ? ''
      : `it holds ${list.includes('Anna') ? 'Anna' : ''}${list.includes('Bert') ? 'Bert' : ''} only`);
    await ctx.close();
  }, tabsBrowser);

  // --- A browser that keeps nothing, and one whose storage never answers ------
  await attempt('storage missing or hanging', async () => {
    for (const [what, setup] of [
      ['without IndexedDB', () => Object.defineProperty(window, 'indexedDB', { value: undefined, configurable: true })],
      ['with an IndexedDB that never answers', () => { IDBFactory.prototype.open = () => ({}); }],
    ]) {
      const page = await open(setup);
      const start = Date.now();
      await page.goto(url);
      check(`${what} the game plays`, await reach(page, 'Main', 15000));
      const seconds = (Date.now() - start) / 1000;
      const line = await noticeText(page);
      const place = await page.evaluate(() => {
        const n = document.getElementById('notice').getBoundingClientRect();
        const g = document.getElementById('game').getBoundingClientRect();
        return n.top >= g.bottom - 0.5 && n.bottom <= window.innerHeight + 0.5;
      });
      check(`${what} one line beside the picture says that the scores last until the page closes`,
        line.includes('bis die Seite geschlossen wird') && place ? '' : `"${line}", ${place ? '' : 'not '}below the picture`);
      console.log(`      (the main menu came after ${seconds.toFixed(1)} s)`);
      await page.browserContext().close();
    }
  });

  // --- Transactions that fail once ---------------------------------------------
  await attempt('failing transactions', async () => {
    // The next readwrite transactions fail as listed: 'abort' (a full disk, a
    // dropped connection) or 'throw' (a connection the browser has closed).
    const page = await open(() => {
      window.faults = [];
      const real = IDBDatabase.prototype.transaction;
      IDBDatabase.prototype.transaction = function (names, mode, options) {
        const fault = mode === 'readwrite' ? window.faults.shift() : undefined;
        if (fault === 'throw') throw new DOMException('The database connection is closing.', 'InvalidStateError');
        const tx = real.call(this, names, mode, options);
        if (fault === 'abort') queueMicrotask(() => tx.abort());
        return tx;
      };
    });
    await page.goto(url);
    await reach(page, 'Main');
    await sleep(500);
    const off = await stored(page, 'kelo.ini');
    await click(page, 400, 200);
    await reach(page, 'Optionen');
    await sleep(300);
    const hide = async () => {
      const other = await page.browserContext().newPage();
      await sleep(500);
      await page.bringToFront();
      await other.close();
      await sleep(300);
    };
    await page.evaluate(() => window.faults.push('abort'));
    await click(page, 400, 180);  // "Transparente Explosionen": saved
    await sleep(500);
    const aborted = await stored(page, 'kelo.ini');
    const line = await noticeText(page);
    await hide();
    const on = await stored(page, 'kelo.ini');
    check('a save whose transaction aborts is said, and stored when the page is hidden',
      aborted === off && line.includes('nicht gespeichert') && on && on !== off && !(await noticeText(page)) ? ''
        : `stored ${aborted === off ? 'the old file' : 'something else'} after the abort, then ${on !== off ? 'the new' : 'the old'} one; line "${line}"`);
    await page.evaluate(() => window.faults.push('throw'));
    await click(page, 400, 180);  // off again
    await sleep(500);
    const state = (await status(page)).state, thrown = await stored(page, 'kelo.ini');
    await hide();
    const again = await stored(page, 'kelo.ini');
    check('a transaction that cannot be created leaves the game playing, and the file is stored later',
      state === 'Optionen' && !page.problems.length && thrown === on && again && again !== on ? ''
        : `state "${state}", ${page.problems.join(' | ') || 'the file not stored as it should'}`);
    await page.browserContext().close();
  });

  // --- Two tabs in a browser without Web Locks: the tabs ask each other ---------
  await attempt('two tabs without Web Locks', async () => {
    const ctx = await browser.createBrowserContext();
    const noLocks = () => Object.defineProperty(navigator, 'locks', { value: undefined, configurable: true });
    const first = await open(noLocks, ctx);
    await first.goto(url);
    await reach(first, 'Main');
    const second = await open(noLocks, ctx);
    await second.goto(url);
    const busy = await elsewhere(second);
    await second.click('#elsewhere button');
    const started = await reach(second, 'Main');
    const stopped = await elsewhere(first);
    check('without Web Locks a second tab waits, and takes the game over with "Hier spielen"',
      busy.includes('läuft schon') && !started && stopped.includes('anderen Tab') ? ''
        : `it showed "${busy}", then ${started || 'played'}; the first shows "${stopped}"`);
  });

  // --- The name field, and the sound -------------------------------------------
  await attempt('the name field and the sound', async () => {
    // The browser gives 22050 Hz whatever the page asks for; the contexts are
    // recorded, and the page names FluidSynth's rate and thread when the music sounds.
    const page = await open(`(${tapMusic})(); (${() => {
      const Real = window.AudioContext;
      window.contexts = [];
      window.AudioContext = class extends Real {
        constructor(options) {
          super({ ...options, sampleRate: 22050 });
          window.contexts.push(this);
        }
      };
    }})();`);
    await page.goto(url);
    await reach(page, 'Main');
    await sleep(300);
    await click(page, 60, 60);  // nothing there: sound may start
    const sounds = await musicSounds(page);
    const rate = await page.evaluate(() => window.contexts[0] && window.contexts[0].sampleRate);
    check('the music plays in the audio worklet at the rate the browser gives the output', sounds.problem ||
      (sounds.rate === 22050 && rate === 22050 && sounds.thread === 'audio' ? heard(sounds)
        : `FluidSynth at ${sounds.rate} Hz on the ${sounds.thread} thread, the output at ${rate} Hz`));
    // An output that the system interrupts (WebKit's "interrupted") goes on at the next click.
    await page.evaluate(() => {
      const c = window.contexts[0];
      Object.defineProperty(c, 'state', { configurable: true, get: () => 'interrupted' });
      const resume = c.resume;
      c.resume = function () {
        delete c.state;
        return resume.call(this);
      };
    });
    await click(page, 60, 60);
    await sleep(300);
    const state = await page.evaluate(() => window.contexts[0].state);
    check('an interrupted output goes on at the next click', state === 'running' ? '' : `it is "${state}"`);

    // The field holds exactly what the game takes: a refused character never
    // shows in it, so deleting deletes what the game has.
    check('a difficulty leads to the name', await toName(page));
    await sleep(300);
    await page.focus('#name');
    const both = async () => {
      await sleep(200);
      return page.evaluate(() => [document.getElementById('name').value, window.kelo.name]);
    };
    const same = (got, want) => (got[0] === want && got[1] === want ? '' : `the field holds "${got[0]}", the game "${got[1]}"`);
    await page.keyboard.type('Jaćk');
    await page.keyboard.press('Backspace');
    await page.keyboard.press('Backspace');
    check('"ć" is refused: two Backspaces after "Jaćk" leave "J"', same(await both(), 'J'));
    await page.keyboard.type('b😀');
    await page.keyboard.press('Backspace');
    check('an emoji is refused: a Backspace after "b😀" takes the "b"', same(await both(), 'J'));
    const cdp = await page.createCDPSession();
    await cdp.send('Input.imeSetComposition', { text: 'ś', selectionStart: 1, selectionEnd: 1 });
    await cdp.send('Input.insertText', { text: 'ś' });
    await cdp.send('Input.imeSetComposition', { text: 'e', selectionStart: 1, selectionEnd: 1 });
    await cdp.send('Input.insertText', { text: 'é' });
    check('what an input method composes is kept as far as the game takes it', same(await both(), 'Jé'));
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    await cdp.send('Input.insertText', { text: 'Zoë Łódź 🙂 Müller-Lüdenscheidt' });
    check('a pasted text is kept as far as the game takes it, 20 characters',
      same(await both(), 'Zoë ód  Müller-Lüden'));
    check('no errors on the page', page.problems.join(' | '));
    await page.browserContext().close();
  });

  // --- The music where the browser has no audio worklet (a page without HTTPS) --
  await attempt('the music without an audio worklet', async () => {
    const page = await open(`(${tapMusic})();
      Object.defineProperty(BaseAudioContext.prototype, 'audioWorklet', { get: () => undefined });`);
    await page.goto(url);
    await reach(page, 'Main');
    await sleep(300);
    await click(page, 60, 60);
    const sounds = await musicSounds(page);
    check('without an audio worklet the music plays on the page\'s own thread', sounds.problem ||
      (sounds.thread === 'page' ? heard(sounds) : `it plays on the ${sounds.thread} thread`));
    await page.browserContext().close();
  });

  // --- The pictures that come later, when they cannot be fetched --------------
  await attempt('the later pictures missing', async () => {
    const page = await open();
    await page.setRequestInterception(true);
    page.on('request', (r) => (/\/kelo\.[0-9a-f]+\.pictures$/.test(new URL(r.url()).pathname) ? r.abort() : r.continue()));
    await page.goto(url);
    await reach(page, 'Main');
    await sleep(300);
    await click(page, 400, 233);  // "HighScore": its pictures come later
    // The game's error message is answered with Enter, then the page ends.
    let line = '';
    for (const until = Date.now() + 20000; !line && Date.now() < until; await sleep(500)) {
      await page.keyboard.press('Enter');
      line = await shownText(page, 'ending');
    }
    check('pictures that cannot be fetched end the game with a line that says so',
      line.includes('ließ sich nicht laden') ? '' : `the page shows "${line}", state "${(await status(page)).state}"`);
    await page.browserContext().close();
  });

  // --- The visible area, and a page loaded behind another tab ------------------
  await attempt('the visible area and the focus', async () => {
    // A phone showing 300 of the window's 480 pixels (an address bar, a keyboard).
    const page = await open(() => {
      const viewport = new EventTarget();
      viewport.height = 300;
      viewport.scale = 1;
      Object.defineProperty(window, 'visualViewport', { configurable: true, get: () => viewport });
    });
    await page.goto(url);
    await reach(page, 'Main');
    const fit = async () => page.$eval('#game', (g) => g.getBoundingClientRect().height);
    const first = await fit();
    await page.evaluate(() => {
      window.visualViewport.height = 400;
      window.visualViewport.dispatchEvent(new Event('resize'));
    });
    await sleep(200);
    const second = await fit();
    check('the game fits the visible area, also when it changes',
      first === 300 && second === 400 ? '' : `the game is ${first}, then ${second} pixels high`);

    await page.browserContext().close();

    // Loaded in a background tab, the game starts without the focus: its clock
    // stands; shown in a window that has no focus (as the page is told), too.
    const ctx = await browser.createBrowserContext();
    const front = await ctx.newPage(), behind = await ctx.newPage();
    await front.bringToFront();
    await behind.evaluateOnNewDocument(() => {
      const hasFocus = document.hasFocus.bind(document);
      window.windowFocused = true;
      document.hasFocus = () => window.windowFocused && hasFocus();
    });
    await behind.goto(url);
    await reach(behind, 'Main');
    if (await behind.evaluate(() => document.hidden)) {
      const ticks = async () => (await status(behind)).ticks;
      const t0 = await ticks();
      await sleep(1000);
      const t1 = await ticks();
      await behind.evaluate(() => { window.windowFocused = false; });
      await behind.bringToFront();
      await sleep(1000);
      const t2 = await ticks();
      await behind.evaluate(() => {
        window.windowFocused = true;
        window.dispatchEvent(new Event('focus'));
      });
      await sleep(1000);
      const t3 = await ticks();
      check('a page loaded in a background tab starts without the focus, shown in a window without the focus ' +
        'it still has none, and it plays once the window has it',
        t1 - t0 <= 1 && t2 - t1 <= 1 && t3 > t2 + 10 ? '' : `${t1 - t0} ticks behind, ${t2 - t1} shown, ${t3 - t2} focused`);
    } else {
      console.log('(this browser keeps a tab in the background visible: the background start is not tried)');
    }
    await ctx.close();
  });
  await twoTabs;
} catch (e) {
  report.stopped('the page where browsers differ', e);
} finally {
  await browser.close();
  await tabsBrowser.close();
  server.close();
}
report.end();
