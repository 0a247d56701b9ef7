// What the page's tests in browsers share: the folders of a run, the page
// served on 127.0.0.1 as a static host serves it, the browsers from Debian
// (Chromium and Firefox ESR through puppeteer-core, WebKitGTK's MiniBrowser
// through WebKitWebDriver and selenium-webdriver on a virtual display), the
// game's published status, and the lines of results.
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The game's status (window.kelo) in a tab, or in anything else that evaluates.
export const status = (tab) => tab.evaluate(() => ({ ...window.kelo }));
// '' once the game shows screen `wanted`, else what it shows.
export async function reach(tab, wanted, timeout = 20000) {
  for (const until = Date.now() + timeout; Date.now() < until; await sleep(50))
    if ((await status(tab)).state === wanted) return '';
  return `still "${(await status(tab)).state}"`;
}

// Run in a tab before the page's scripts: the program's own clock and waits,
// taken from its imports, go window.speed times as fast (1 at first), so
// that a level ends in seconds; the page's clock stays as it is.
export function speedUp() {
  window.speed = 1;
  const hook = (imports) => {
    const env = imports && imports.env;
    if (!env || !env.emscripten_get_now) return;
    const clock = env.emscripten_get_now, wait = env.kelo_page_wait;
    let last = clock(), now = last;
    env.emscripten_get_now = () => {
      const t = clock();
      now += (t - last) * window.speed;
      last = t;
      return now;
    };
    env.kelo_page_wait = (ms) => wait(ms > 0 ? Math.floor(ms / window.speed) : ms);
  };
  for (const name of ['instantiate', 'instantiateStreaming']) {
    const real = WebAssembly[name];
    WebAssembly[name] = (source, imports) => {
      hook(imports);
      return real(source, imports);
    };
  }
}

// A highscore file (its 230-byte record, as bytes) that any finished level
// enters: five times "Niemand" with 0 points and hits "-1".
export const anyLevelEnters = (() => {
  const record = new Array(230).fill(0), text = (at, s) => {
    record[at] = s.length;
    for (let i = 0; i < s.length; ++i) record[at + 1 + i] = s.charCodeAt(i);
  };
  for (let i = 0; i < 5; ++i) {
    text(21 * i, 'Niemand');
    text(105 + 21 * i, '0');
    text(210 + 4 * i, '-1');
  }
  return record;
})();

// Lines of results: check(name, problem) prints "ok" or "FAIL" and the
// problem (a problem is a text that is not empty); end() prints the counts
// and ends the run, failed where anything did.
export function results() {
  let passed = 0, failed = 0;
  return {
    prefix: '',
    check(name, problem) {
      if (problem) ++failed;
      else ++passed;
      const who = this.prefix ? `${this.prefix}: ` : '';
      console.log(`${problem ? 'FAIL' : 'ok  '}  ${who}${name}${problem ? ': ' + problem : ''}`);
    },
    // A run that stopped half way.
    stopped(what, e) {
      ++failed;
      console.log(`FAIL  ${what}: the run stopped:`, (e && e.stack) || e);
    },
    end(started) {
      const took = started ? `(the run took ${((Date.now() - started) / 1000).toFixed(0)} s)\n` : '';
      console.log(`\n${took}${passed} passed, ${failed} failed`);
      process.exit(failed ? 1 : 0);
    },
  };
}

const chromiumArgs = ['--no-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-default-apps', '--mute-audio', '--enable-unsafe-swiftshader'];

// A run's folders from its command line ([PAGE_FOLDER [SOURCE_FOLDER]]: the
// page, build/web/ by default, and the checkout whose build/npm/ holds the
// drivers), and the browsers.
export async function setUp([pageArgument, sourceArgument] = []) {
  const source = resolve(sourceArgument || join(dirname(fileURLToPath(import.meta.url)), '../..'));
  const pageFolder = resolve(pageArgument || join(source, 'build/web'));
  const require = createRequire(join(source, 'build/npm/node_modules/'));
  const puppeteer = require('puppeteer-core');
  const webdriver = require('selenium-webdriver');
  const { serve } = await import(join(source, 'tools/web/serve.mjs'));

  // Chromium, headless; `window`: a window of its own size rather than a
  // 640 x 480 view.
  const chromium = ({ profile, args = [], window = false } = {}) => puppeteer.launch({
    executablePath: process.env.KELO_CHROMIUM || '/usr/bin/chromium', headless: true, userDataDir: profile,
    defaultViewport: window ? null : undefined, args: [...chromiumArgs, ...args],
  });
  // A tab's errors are gathered in tab.problems; a view of 640 x 480 unless
  // the browser has a window of its own size.
  async function watch(tab, window = false) {
    tab.problems = [];
    tab.on('pageerror', (e) => tab.problems.push(e.message));
    tab.on('console', (m) => { if (m.type() === 'error') tab.problems.push(m.text()); });
    if (!window) await tab.setViewport({ width: 640, height: 480, deviceScaleFactor: 1 });
    return tab;
  }

  // Chromium or Firefox behind the calls every engine has: open(url),
  // evaluate(function, argument), screenshot() (PNG of the view),
  // move/click(x, y), type(text), press(key), reload(), close().
  async function driven(kind, profile, options = {}) {
    const browser = kind === 'firefox'
      ? await puppeteer.launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true,
        userDataDir: profile, extraPrefsFirefox: { 'media.autoplay.default': 0, 'media.volume_scale': '0.0' } })
      : await chromium({ profile, args: options.args, window: options.window });
    let page, cdp;
    const b = {
      browser,
      problems: [],
      get page() { return page; },
      // A new tab in place of the last (closed), as a player starts the page again.
      async newTab() {
        if (page) await page.close();
        page = await watch(await browser.newPage(), options.window);
        b.problems = page.problems;
        await page.bringToFront();
        cdp = kind === 'firefox' ? null : await page.createCDPSession();
        // A headless window of its own has no focus: the game would stand still.
        if (cdp && options.window) await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: true });
        if (options.beforePage) await page.evaluateOnNewDocument(options.beforePage);
      },
      cdp: () => cdp,
      open: (url) => page.goto(url),
      evaluate: (f, a) => page.evaluate(f, a),
      screenshot: () => page.screenshot(),
      move: (x, y) => page.mouse.move(x, y),
      async click(x, y) {
        await page.mouse.move(x, y);
        await page.mouse.click(x, y);
      },
      // Each character as a key of a German keyboard gives it (puppeteer's own
      // typing inserts the characters of other layouts as text, without a key).
      async type(text) {
        for (const c of text) {
          if (!cdp || /^[ -~]$/.test(c)) await page.keyboard.type(c);
          else for (const type of ['keyDown', 'keyUp']) await cdp.send('Input.dispatchKeyEvent', { type, key: c, text: type === 'keyDown' ? c : undefined });
        }
      },
      press: (key) => page.keyboard.press(key),
      reload: () => page.reload(),
      close: () => browser.close(),
    };
    await b.newTab();
    return b;
  }

  // WebKitGTK's MiniBrowser: WebKitWebDriver starts it on a virtual display.
  // Without a window manager X gives the focus to the window under the
  // pointer, which stays at the middle of the screen: on a screen of 800 x 600
  // that is within the browser's window at every size the tests give it, so
  // the page keeps the focus (without it the game would rightly stand still).
  async function webkit() {
    const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '800x600x24', '-nolisten', 'tcp'],
      { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
    const display = await new Promise((done, fail) => {
      xvfb.stdio[3].once('data', (d) => done(':' + String(d).trim()));
      xvfb.once('exit', () => fail(new Error('Xvfb did not start')));
    });
    const { server: probe, port: driverPort } = await serve(tmpdir());  // a free port, closed at once
    probe.close();
    const driverProcess = spawn('WebKitWebDriver', [`--port=${driverPort}`], { env: { ...process.env, DISPLAY: display },
      stdio: 'ignore' });
    const stop = () => { driverProcess.kill(); xvfb.kill(); };
    let driver;
    for (let tries = 0; !driver; ++tries) {
      try {
        driver = await new webdriver.Builder().usingServer(`http://127.0.0.1:${driverPort}`).withCapabilities({
          browserName: 'MiniBrowser',
          'webkitgtk:browserOptions': { binary: '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser', args: ['--automation'] },
        }).build();
      } catch (e) {
        if (tries > 20) {
          stop();
          throw e;
        }
        await sleep(250);
      }
    }
    const actions = () => driver.actions({ async: true });
    const keys = { Enter: webdriver.Key.ENTER, Escape: webdriver.Key.ESCAPE, F4: webdriver.Key.F4 };
    const b = {
      problems: [],
      // The view width x height: the window is larger by the browser's bar.
      async view(width, height) {
        const [w, h] = await driver.executeScript('return [innerWidth, innerHeight]');
        const rect = await driver.manage().window().getRect();
        await driver.manage().window().setRect({ width: rect.width + width - w, height: rect.height + height - h });
      },
      open: (url) => driver.get(url),
      evaluate: (f, a) => driver.executeScript(`return (${f})(arguments[0])`, a),
      screenshot: async () => Buffer.from(await driver.takeScreenshot(), 'base64'),
      move: (x, y) => actions().move({ x, y, origin: webdriver.Origin.VIEWPORT }).perform(),
      click: (x, y) => actions().move({ x, y, origin: webdriver.Origin.VIEWPORT }).press().release().perform(),
      type: (text) => actions().sendKeys(text).perform(),
      press: (key) => actions().keyDown(keys[key]).keyUp(keys[key]).perform(),
      reload: () => driver.navigate().refresh(),
      async close() {
        await driver.quit().catch(() => {});
        stop();
      },
    };
    await b.view(640, 480);
    return b;
  }

  return { source, pageFolder, require, serve, chromium, watch, driven, webkit };
}
