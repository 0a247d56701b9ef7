// Beside the game, outside its picture: the replays the game keeps (the last
// level and each highscore entry's) for download, and where the page knows a
// world list (built in, or ?server=URL), that list with the player's place,
// the offer to send a finished level there, and a link to watch any run on it.
// The page also plays a replay instead of the game: ?replay=URL, or a replay
// file dropped onto it.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const DIFFICULTIES = ['Leicht', 'Mittel', 'Schwer'];
  const DROPPED = 'kelo-aufzeichnung';  // a dropped replay, across the reload that watches it
  const MOST_BYTES = 4 << 20;  // as the game reads a replay
  const MARK = 'KELOREPL';
  const KEY_FILE = 'world.keys', SENT_FILE = 'world.sent';

  const style = document.createElement('style');
  style.textContent = `
    #beside { position: absolute; top: 8px; width: 190px; font-size: 12px; color: #bbb; }
    #beside.below { position: static; width: auto; padding: 6px 8px 24px; display: flex; flex-wrap: wrap;
                    gap: 0 40px; }
    #beside.below > * { width: 260px; }
    #beside.below > p { width: 100%; }
    #beside section { margin-bottom: 12px; }
    #beside h2 { font-size: 13px; color: #ddd; margin: 0 0 4px; font-weight: normal; }
    #beside a { color: #fc6; text-decoration: none; }
    #beside a:hover { text-decoration: underline; }
    #beside ol { margin: 0; padding: 0; list-style: none; }
    #beside li { display: flex; gap: 4px; white-space: nowrap; line-height: 1.5; }
    #beside li .who { flex: 1; overflow: hidden; text-overflow: ellipsis; }
    #beside li.own .who { color: #fff; font-weight: bold; }
    #beside button { font: inherit; color: #fc6; background: none; border: 1px solid #fc6; border-radius: 3px;
                     padding: 1px 6px; cursor: pointer; margin: 2px 4px 2px 0; }
    #beside button.chosen { background: #fc6; color: #000; }
    #beside button.small { border: 0; padding: 0; margin: 0; color: #888; }
    #beside p { margin: 4px 0; }
    #beside summary { cursor: pointer; }`;
  document.head.appendChild(style);

  const element = (tag, props = {}, ...children) => {
    const e = Object.assign(document.createElement(tag), props);
    for (const c of children) e.append(c);
    return e;
  };
  const text = (bytes) => new TextDecoder('windows-1252').decode(bytes);
  const isReplay = (bytes) => bytes.length > MARK.length && text(bytes.subarray(0, MARK.length)) === MARK;

  // --- Watching ---------------------------------------------------------------
  let watching = null;  // the replay to play instead of the game
  let dropped = null;
  try {
    dropped = sessionStorage.getItem(DROPPED);
    sessionStorage.removeItem(DROPPED);
  } catch (e) {
    dropped = null;
  }
  const address = params.get('replay');
  // Resolves once the page knows what it plays; rejects with a line for the player.
  async function ready() {
    if (dropped !== null) {
      watching = Uint8Array.from(atob(dropped), (c) => c.charCodeAt(0));
    } else if (address) {
      let r;
      try {
        r = await fetch(new URL(address, location.href));
      } catch (e) {
        throw new Error('Die Aufzeichnung ließ sich nicht laden: Keine Verbindung.');
      }
      if (!r.ok) throw new Error(`Die Aufzeichnung ließ sich nicht laden: ${r.status} ${r.statusText}`.trim());
      watching = new Uint8Array(await r.arrayBuffer());
    } else {
      return;
    }
    // The game's own reader says what is wrong with a replay it refuses.
    if (!watching.length) watching = new Uint8Array(1);
    kept.replaceChildren(element('h2', { textContent: 'Aufzeichnung' }),
      element('p', { textContent: 'Leertaste hält an, Pfeil rechts spielt viermal so schnell, Esc beendet.' }));
    kept.hidden = false;
    reveal();
    const ending = document.getElementById('ending');
    const game = location.pathname + location.search.replace(/([?&])replay=[^&]*&?/, '$1').replace(/[?&]$/, '');
    if (ending) ending.append(' ', element('a', { href: game || '.', textContent: 'Zum Spiel' }));
  }

  // A replay dropped onto the page is watched in its place; the game's files
  // are stored already (every save is stored as it is made). Never while a
  // level and its results run: the page would start again without them.
  let screen = '';
  const busy = new Set(['Level', 'Pause', 'Atombombe', 'Results', 'Nirwana']);
  window.addEventListener('dragover', (e) => e.preventDefault());
  window.addEventListener('drop', async (e) => {
    e.preventDefault();
    const file = e.dataTransfer && e.dataTransfer.files[0];
    if (!file) return;
    if (busy.has(screen) && !watching) {
      say('Eine Aufzeichnung lässt sich erst nach dem Level ansehen.');
      return;
    }
    const bytes = file.size <= MOST_BYTES ? new Uint8Array(await file.arrayBuffer()) : new Uint8Array(0);
    if (!isReplay(bytes)) {
      say(`${file.name} ist keine Aufzeichnung des Spiels.`);
      return;
    }
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    try {
      sessionStorage.setItem(DROPPED, btoa(binary));
    } catch (err) {
      say('Der Browser lässt die Aufzeichnung nicht abspielen.');
      return;
    }
    location.reload();
  });

  // --- The panel beside the game --------------------------------------------
  const panel = element('aside', { id: 'beside', hidden: true });
  const kept = element('section', { hidden: true });
  const world = element('section', { hidden: true });
  const line = element('p', { role: 'status' });
  panel.append(line, kept, world);
  line.hidden = true;
  const box = document.getElementById('game');
  (document.getElementById('notice') || box).after(panel);

  function say(message) {
    line.textContent = message;
    line.hidden = !message;
    reveal();
  }
  // Shown while it holds anything; while a replay plays, only its keys.
  function reveal() {
    panel.hidden = line.hidden && kept.hidden && world.hidden;
    place();
  }

  // In the room beside the picture where there is enough, else below the game.
  function place() {
    if (watching && box.hidden) panel.hidden = true;  // the replay is over
    const r = box.getBoundingClientRect();
    const s = Math.min(r.width / 640, r.height / 480), right = (r.width + 640 * s) / 2;
    const room = r.width - right - 16;
    const beside = room >= 170 && !box.hidden;
    panel.classList.toggle('below', !beside);
    panel.style.left = beside ? `${r.left + window.scrollX + right + 10}px` : '';
    panel.style.width = beside ? `${Math.min(room, 260)}px` : '';
  }
  try {
    new ResizeObserver(place).observe(box);
  } catch (e) {
    window.addEventListener('resize', place);
  }

  // --- The replays the game keeps ---------------------------------------------
  let files = null;  // the folder of the game's files, once the program has it

  // A link that downloads the file as it is at the moment of the click.
  function download(label, name, saveAs) {
    const a = element('a', { href: '#', textContent: label, download: saveAs });
    a.addEventListener('click', () => {
      const bytes = files && files.read(name);
      if (!bytes) return;
      const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
      a.href = url;
      setTimeout(() => URL.revokeObjectURL(url), 60000);
    });
    return a;
  }
  // The entries of a highscore file (names, points, hits as short strings).
  function entries(list) {
    const bytes = files.read(`high${list}.sco`);
    if (!bytes || bytes.length < 230) return [];
    const field = (at, most) => text(bytes.subarray(at + 1, at + 1 + Math.min(bytes[at], most)));
    return [0, 1, 2, 3, 4].map((i) => ({ place: i + 1, name: field(21 * i, 20), points: field(105 + 21 * i, 20) }));
  }
  function showKept() {
    if (!files) return;
    const parts = [element('h2', { textContent: 'Aufzeichnungen' })];
    if (files.read('last.rep')) parts.push(element('p', {}, download('Letztes Level', 'last.rep', 'kelo-letztes-level.rep')));
    DIFFICULTIES.forEach((label, k) => {
      const rows = entries(k + 1).filter((e) => files.read(`high${k + 1}-${e.place}.rep`));
      if (!rows.length) return;
      parts.push(element('details', {}, element('summary', { textContent: `Highscores ${label}` }),
        element('ol', {}, ...rows.map((e) => element('li', {},
          Object.assign(download(`${e.place}. ${e.name}`, `high${k + 1}-${e.place}.rep`,
            `kelo-${label.toLowerCase()}-${e.place}.rep`), { className: 'who' }),
          element('span', { textContent: e.points }))))));
    });
    const open = new Set([...kept.querySelectorAll('details[open] summary')].map((s) => s.textContent));
    kept.replaceChildren(...parts);
    for (const s of kept.querySelectorAll('summary')) if (open.has(s.textContent)) s.parentNode.open = true;
    kept.hidden = parts.length === 1;
    reveal();
  }

  // --- The world list ---------------------------------------------------------
  let server = '', shownList = 0, offered = null, sending = false;
  const fromPage = params.get('server');

  // The page's files of the world list hold a line for each server (its
  // address first): a key made for one server is never sent to another.
  function rows(name) {
    const bytes = files && files.read(name);
    return bytes ? text(bytes).split('\n').filter(Boolean).map((l) => l.split(' ')) : [];
  }
  function keepRows(name, list) {
    if (files) files.write(name, new TextEncoder().encode(list.map((r) => r.join(' ') + '\n').join('')));
  }
  // This browser's key for the server, made at its first run sent there.
  function key() {
    const all = rows(KEY_FILE), have = all.find((r) => r[0] === server);
    if (have) return have[1];
    const random = crypto.getRandomValues(new Uint8Array(24));
    const made = btoa(String.fromCharCode(...random)).replace(/\+/g, '-').replace(/\//g, '_');
    keepRows(KEY_FILE, [...all, [server, made]]);
    return made;
  }
  // The runs this browser sent to the server: [{id, difficulty}], the newest last.
  function sent() {
    return rows(SENT_FILE).filter((r) => r[0] === server).map((r) => ({ id: r[1], difficulty: Number(r[2]) }));
  }
  function keepSent(runs) {
    keepRows(SENT_FILE, [...rows(SENT_FILE).filter((r) => r[0] !== server),
      ...runs.slice(-100).map((r) => [server, r.id, r.difficulty])]);
  }

  async function ask(path, options = {}) {
    const r = await fetch(server + path, options);
    const body = r.status === 204 ? null : await r.json().catch(() => null);
    if (!r.ok) {
      const e = new Error((body && body.reason) || `${r.status} ${r.statusText}`);
      e.status = r.status;
      throw e;
    }
    return body;
  }
  const watchLink = (id) => {
    const a = element('a', { textContent: 'ansehen', target: '_blank', rel: 'noopener' });
    a.href = `${location.pathname}?replay=${encodeURIComponent(`${server}/api/runs/${id}/replay`)}`;
    return a;
  };

  async function showWorld(difficulty) {
    if (!server) return;
    shownList = difficulty;
    const tabs = element('p', {}, ...DIFFICULTIES.map((label, k) => {
      const b = element('button', { type: 'button', textContent: label, className: k + 1 === difficulty ? 'chosen' : '' });
      b.onclick = () => showWorld(k + 1);
      return b;
    }));
    const parts = [element('h2', { textContent: 'Weltliste' }), tabs];
    if (offered) {
      const b = element('button', { type: 'button', id: 'send-run', disabled: sending,
        textContent: `Lauf senden (${DIFFICULTIES[offered.difficulty - 1]}, ${offered.points} Punkte)` });
      b.onclick = send;
      parts.push(element('p', {}, b));
    }
    const own = sent();
    try {
      const top = await ask(`/api/top?difficulty=${difficulty}&limit=10`);
      if (shownList !== difficulty) return;
      const mine = new Set(own.map((r) => r.id));
      const rows = top.runs.map((run) => {
        const li = element('li', { className: mine.has(String(run.id)) ? 'own' : '' },
          element('span', { className: 'who', textContent: `${run.rank}. ${run.name}` }),
          element('span', { textContent: String(run.score) }), watchLink(run.id));
        if (mine.has(String(run.id))) {
          const b = element('button', { type: 'button', className: 'small', textContent: '×', title: 'Lauf zurückziehen' });
          b.onclick = () => withdraw(String(run.id));
          li.append(b);
        }
        return li;
      });
      parts.push(rows.length ? element('ol', {}, ...rows) : element('p', { textContent: 'Noch keine Läufe.' }));
      // The player's place: the best of the runs this page sent.
      const places = await Promise.all(own.filter((r) => r.difficulty === difficulty).slice(-10)
        .map((r) => ask(`/api/runs/${r.id}`).catch(() => null)));
      const best = places.filter((r) => r && r.rank).sort((a, b) => a.rank - b.rank)[0];
      if (shownList !== difficulty) return;
      if (best) parts.push(element('p', { id: 'world-place', textContent: `Ihr Platz: ${best.rank} von ${top.total}` }));
    } catch (e) {
      if (shownList !== difficulty) return;
      parts.push(element('p', { textContent: 'Die Weltliste ist nicht erreichbar.' }));
    }
    world.replaceChildren(...parts);
    world.hidden = false;
    reveal();
  }

  // Sends the level just finished, once the player asked for it.
  async function send() {
    if (!offered || sending) return;
    sending = true;
    const run = offered;
    showWorld(run.difficulty);
    try {
      const answer = await ask('/api/runs', { method: 'POST', body: run.bytes,
        headers: { 'Content-Type': 'application/octet-stream', 'X-Kelo-Key': key() } });
      const runs = sent().filter((r) => r.id !== String(answer.id));
      runs.push({ id: String(answer.id), difficulty: answer.difficulty });
      keepSent(runs);
      offered = null;
      say(answer.rank ? `Der Lauf ist auf Platz ${answer.rank} der Weltliste.` : 'Die Weltliste hat den Lauf erhalten.');
    } catch (e) {
      if (e.status && e.status < 500) offered = null;
      say(e.status ? `Die Weltliste nimmt den Lauf nicht an: ${e.message}` : 'Die Weltliste ist nicht erreichbar.');
    }
    sending = false;
    showWorld(run.difficulty);
  }

  async function withdraw(id) {
    try {
      await ask(`/api/runs/${id}`, { method: 'DELETE', headers: { 'X-Kelo-Key': key() } });
      keepSent(sent().filter((r) => r.id !== id));
      say('Der Lauf ist zurückgezogen.');
    } catch (e) {
      say(e.status ? `Der Lauf bleibt: ${e.message}` : 'Die Weltliste ist nicht erreichbar.');
    }
    showWorld(shownList);
  }

  // --- What the program and the page tell ----------------------------------------
  self.keloReplays = {
    ready,
    watched: () => watching,
    world(builtIn) {
      const chosen = fromPage !== null ? fromPage : builtIn;
      server = watching || !/^https?:\/\/\S+$/.test(chosen) ? '' : chosen.replace(/\/+$/, '');
      if (server) showWorld(1);
    },
    files(folder) {
      files = folder;
      showKept();
    },
    recorded(bytes, facts) {
      showKept();
      say('');
      offered = facts.end === 1 && server ? { bytes, ...facts } : null;
      if (server) showWorld(facts.difficulty);
    },
    // The game's screen changed: the lists may have changed (a reset).
    state(now) {
      screen = now;
      if (files) showKept();
    },
  };
})();
