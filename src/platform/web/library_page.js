// The program's calls into its page (page.h): each hands over to the page's
// own object (page.js, Module.page), and the files the game keeps in the
// browser's storage.
mergeInto(LibraryManager.library, {
  kelo_page_size: function(out) {
    var s = Module.page.size();
    for (var i = 0; i < 4; ++i) HEAP32[(out >> 2) + i] = s[i];
  },
  kelo_page_show: function(pixels, w, h, x, y, dw, dh) {
    return Module.page.show(new Uint16Array(HEAPU8.buffer, pixels, w * h), x, y, dw, dh) ? 1 : 0;
  },
  kelo_page_present: function(rgba, w, h, x, y, dw, dh) {
    Module.page.present(new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4), w, h, x, y, dw, dh);
  },
  kelo_page_next_event: function(fields, text, capacity) {
    var e = Module.page.nextEvent();
    if (!e) return 0;
    var f = fields >> 2;
    HEAP32[f] = e.kind;
    HEAP32[f + 1] = e.button || 0;
    HEAP32[f + 2] = e.repeat ? 1 : 0;
    HEAP32[f + 3] = Math.round((e.x || 0) * 256);
    HEAP32[f + 4] = Math.round((e.y || 0) * 256);
    stringToUTF8(e.text || '', text, capacity);
    return e.kind;
  },
  kelo_page_wait: function(ms) {
    return Asyncify.handleSleep(function(wakeUp) { Module.page.wait(ms, wakeUp); });
  },
  kelo_page_pointer: function(visible) { Module.page.pointer(!!visible); },
  kelo_page_status: function(state, fps, ticks, text) {
    Module.page.status(UTF8ToString(state), fps, ticks, UTF8ToString(text));
  },
  kelo_page_end: function(code, message) { Module.page.end(code, UTF8ToString(message)); },
  kelo_page_pictures__deps: ['malloc'],
  kelo_page_pictures: function(size) {
    return Asyncify.handleSleep(function(wakeUp) {
      Module.page.laterPictures().then(function(bytes) {
        var p = _malloc(bytes.length);
        HEAPU8.set(bytes, p);
        HEAP32[size >> 2] = bytes.length;
        wakeUp(p);
      }, function() { wakeUp(0); });
    });
  },
  kelo_page_random: function() {
    var a = new Uint32Array(1);
    crypto.getRandomValues(a);
    return a[0];
  },

  // --- Files that last: the game's folder in IndexedDB ----------------------
  // The folder lives in memory; the database "kelo" keeps a copy of each of
  // its files (key: the name within the folder, value: the bytes). A sync of
  // any file (the game syncs every save and every record it writes) sends,
  // once the program next hands the browser its turn, every file that differs
  // from what the database is known to hold, in one transaction: a save's new
  // file and its rename arrive together, and the database holds the whole old
  // or the whole new file. What counts as written changes only when a
  // transaction has committed; whatever an aborted one carried goes again with
  // the next. Any kind of file the game keeps there follows the same rules.
  $KeloStore__deps: ['$FS'],
  $KeloStore: {
    NAME: 'kelo',
    FILES: 'files',
    OPEN_PATIENCE_MS: 4000,
    db: null,
    folder: '',
    written: {},  // name -> the bytes the database holds
    queued: false,

    // The files of the folder and its subfolders: name -> bytes.
    files: function() {
      var found = {};
      (function walk(path, prefix) {
        FS.readdir(path).forEach(function(entry) {
          if (entry === '.' || entry === '..') return;
          var full = path + '/' + entry, mode = FS.stat(full).mode;
          if (FS.isDir(mode)) walk(full, prefix + entry + '/');
          else if (FS.isFile(mode)) found[prefix + entry] = FS.readFile(full);
        });
      })(KeloStore.folder, '');
      return found;
    },
    same: function(a, b) {
      if (!a || !b || a.length !== b.length) return false;
      for (var i = 0; i < a.length; ++i)
        if (a[i] !== b[i]) return false;
      return true;
    },
    place: function(name, bytes) {
      var path = KeloStore.folder + '/' + name;
      FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
      FS.writeFile(path, bytes);
    },

    // Opens the database and reads its files into the folder. Resolves to
    // false when the browser keeps nothing: no IndexedDB, one that refuses,
    // or one that has not answered within a few seconds.
    open: function(folder) {
      KeloStore.folder = folder;
      return new Promise(function(resolve) {
        var settled = false;
        function settle(db) {
          if (settled) {
            if (db) db.close();
            return;
          }
          settled = true;
          clearTimeout(timer);
          resolve(db);
        }
        var timer = setTimeout(function() { settle(null); }, KeloStore.OPEN_PATIENCE_MS);
        try {
          var request = indexedDB.open(KeloStore.NAME, 1);
          request.onupgradeneeded = function() { request.result.createObjectStore(KeloStore.FILES); };
          request.onsuccess = function() {
            var db = request.result;
            KeloStore.read(db).then(function(files) { return files || KeloStore.adopt(db); })
              .then(function(files) {
                if (settled) return db.close();
                if (!files) return settle(null);
                db.onversionchange = function() { db.close(); };
                Object.keys(files).forEach(function(name) {
                  KeloStore.place(name, files[name]);
                  KeloStore.written[name] = files[name];
                });
                KeloStore.db = db;
                settle(db);
              }, function() { settle(null); });
          };
          request.onerror = function(e) {
            e.preventDefault();
            settle(null);
          };
        } catch (e) {
          settle(null);
        }
      }).then(function(db) { return !!db; });
    },
    // Every file in the database, or null when it holds none.
    read: function(db) {
      return new Promise(function(resolve, reject) {
        var files = {}, any = false;
        var cursor = db.transaction([KeloStore.FILES], 'readonly').objectStore(KeloStore.FILES).openCursor();
        cursor.onsuccess = function() {
          var c = cursor.result;
          if (!c) return resolve(any ? files : null);
          files[c.key] = new Uint8Array(c.value);
          any = true;
          c.continue();
        };
        cursor.onerror = function(e) {
          e.preventDefault();
          reject(cursor.error);
        };
      });
    },
    // The files an earlier version of the page kept in Emscripten's IDBFS
    // (database "/kelo-files", store "FILE_DATA", keyed by full path), taken
    // over once, while the new database is still empty.
    adopt: function(db) {
      var name = KeloStore.folder;
      return new Promise(function(resolve) {
        var files = {}, any = false, request;
        try {
          request = indexedDB.open(name);
        } catch (e) {
          return resolve({});
        }
        // No such database: it is not made.
        request.onupgradeneeded = function() { request.transaction.abort(); };
        request.onerror = function(e) {
          e.preventDefault();
          resolve({});
        };
        request.onsuccess = function() {
          var old = request.result;
          if (!old.objectStoreNames.contains('FILE_DATA')) {
            old.close();
            return resolve({});
          }
          var cursor = old.transaction(['FILE_DATA'], 'readonly').objectStore('FILE_DATA').openCursor();
          cursor.onsuccess = function() {
            var c = cursor.result;
            if (c) {
              var v = c.value;
              if (typeof c.key === 'string' && c.key.indexOf(name + '/') === 0 && v && v.contents && FS.isFile(v.mode)) {
                files[c.key.slice(name.length + 1)] = new Uint8Array(v.contents);
                any = true;
              }
              return c.continue();
            }
            old.close();
            if (!any) return resolve({});
            // Into the new database first: what the page reads is what it holds.
            var tx = db.transaction([KeloStore.FILES], 'readwrite');
            Object.keys(files).forEach(function(f) { tx.objectStore(KeloStore.FILES).put(files[f], f); });
            tx.oncomplete = function() { resolve(files); };
            tx.onabort = function() { resolve(null); };
          };
          cursor.onerror = function(e) {
            e.preventDefault();
            old.close();
            resolve({});
          };
        };
      });
    },

    // Sends what differs from the database in one transaction. Resolves to
    // true once the database holds every file as the folder has it.
    push: function() {
      var db = KeloStore.db;
      if (!db) return Promise.resolve(true);
      var now = KeloStore.files(), written = KeloStore.written, put = [], gone = [];
      Object.keys(now).forEach(function(name) {
        if (!KeloStore.same(now[name], written[name])) put.push(name);
      });
      Object.keys(written).forEach(function(name) {
        if (!(name in now)) gone.push(name);
      });
      if (!put.length && !gone.length) return Promise.resolve(true);
      return new Promise(function(resolve) {
        var tx;
        try {
          tx = db.transaction([KeloStore.FILES], 'readwrite', { durability: 'strict' });
          var store = tx.objectStore(KeloStore.FILES);
          put.forEach(function(name) { store.put(now[name], name); });
          gone.forEach(function(name) { store.delete(name); });
        } catch (e) {
          // No transaction (a connection the browser has closed): the files
          // stay unwritten for the next try; the game goes on.
          try {
            if (tx) tx.abort();
          } catch (ignored) {
          }
          return resolve(false);
        }
        tx.oncomplete = function() {
          put.forEach(function(name) { written[name] = now[name]; });
          gone.forEach(function(name) { delete written[name]; });
          resolve(true);
        };
        tx.onabort = function() { resolve(false); };
      }).then(function(done) {
        Module.page.stored(done);
        return done;
      });
    },
    // After a sync: the push once the program has handed the browser its turn
    // (a save's steps all happen before that).
    sync: function() {
      if (KeloStore.queued || !KeloStore.db) return;
      KeloStore.queued = true;
      Promise.resolve().then(function() {
        KeloStore.queued = false;
        KeloStore.push();
      });
    },
  },
  // Holds the page's turn to play (another tab of the game may have it), then
  // opens the storage. Returns 0, or -1 when the browser keeps nothing (the
  // files then last as long as the page).
  kelo_page_mount__deps: ['$KeloStore', '$FS'],
  kelo_page_mount: function(folder, busy) {
    var path = UTF8ToString(folder), busyText = UTF8ToString(busy);
    return Asyncify.handleSleep(function(wakeUp) {
      FS.mkdir(path);
      Module.page.hold(busyText)
        .then(function() { return KeloStore.open(path); })
        .then(function(kept) {
          Module.page.storage(kept ? KeloStore : null);
          wakeUp(kept ? 0 : -1);
        });
    });
  },
  fd_sync__deps: ['$KeloStore'],
  fd_sync: function(fd) {
    KeloStore.sync();
    return 0;
  },
  __syscall_fdatasync__deps: ['$KeloStore'],
  __syscall_fdatasync: function(fd) {
    KeloStore.sync();
    return 0;
  },

  // --- Sound ------------------------------------------------------------------
  kelo_audio_state: function() { return Module.page.audioState(); },
  kelo_audio_rate: function() { return Module.page.audioRate(); },
  kelo_audio_wave: function(index, bytes, rate, channels, bits) { Module.page.wave(index, bytes, rate, channels, bits); },
  kelo_audio_play: function(index, left, right) { Module.page.playWave(index, left, right); },
  kelo_audio_sounding: function() { return Module.page.soundingWaves(); },
  kelo_fluid_event: function(status, data1, data2) { Module.page.fluid.event(status, data1, data2); },
  kelo_fluid_sysex: function(data, length) { Module.page.fluid.sysex(HEAPU8.subarray(data, data + length)); },
  kelo_fluid_reset: function() { Module.page.fluid.reset(); },
  kelo_fluid_notes_off: function() { Module.page.fluid.notesOff(); },
  kelo_fluid_voices: function() { return Module.page.fluid.voices(); },
  kelo_fluid_render: function(out, frames) { Module.page.fluid.render(HEAP16, out >> 1, frames); },
  kelo_music_load: function(events, eventCount, eventBytes, sysex, sysexBytes, lengthUs) {
    var piece = new Uint8Array(eventCount * eventBytes + sysexBytes);
    piece.set(HEAPU8.subarray(events, events + eventCount * eventBytes));
    piece.set(HEAPU8.subarray(sysex, sysex + sysexBytes), eventCount * eventBytes);
    Module.page.music.load(piece, eventCount, sysexBytes, lengthUs);
  },
  kelo_music_command: function(command, ticket, frame) { Module.page.music.command(command, ticket, frame); },
});
