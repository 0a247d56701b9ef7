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
  kelo_page_random: function() {
    var a = new Uint32Array(1);
    crypto.getRandomValues(a);
    return a[0];
  },

  // --- Files that last: the game's folder in IndexedDB ----------------------
  // Each sync of a file (the game syncs every save and every record it
  // writes) sends what this page changed or removed there since its last
  // sync, in one transaction: a save reaches the storage whole or not at all,
  // and two pages of the game never write back each other's older files.
  $KeloFiles__deps: ['$FS', '$IDBFS'],
  $KeloFiles: {
    mount: null,
    known: {},  // path -> modification time at this page's last look
    push: function() {
      var mount = KeloFiles.mount;
      if (!mount) return;
      IDBFS.getLocalSet(mount, function(error, local) {
        if (error) return;
        var changed = [], removed = [], known = {};
        Object.keys(local.entries).forEach(function(path) {
          var time = local.entries[path]['timestamp'].getTime();
          known[path] = time;
          if (KeloFiles.known[path] !== time) changed.push(path);
        });
        Object.keys(KeloFiles.known).forEach(function(path) {
          if (!(path in known)) removed.push(path);
        });
        KeloFiles.known = known;
        if (!changed.length && !removed.length) return;
        IDBFS.getDB(mount.mountpoint, function(error, db) {
          if (error) return;
          var tx = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
          var store = tx.objectStore(IDBFS.DB_STORE_NAME);
          changed.sort().forEach(function(path) {
            IDBFS.loadLocalEntry(path, function(error, entry) {
              if (!error) store.put(entry, path);
            });
          });
          removed.sort().reverse().forEach(function(path) { store.delete(path); });
          tx.onerror = function(e) { e.preventDefault(); err('the game\'s files could not be stored'); };
        });
      });
    },
  },
  kelo_page_mount__deps: ['$KeloFiles', '$FS', '$IDBFS'],
  kelo_page_mount: function(folder) {
    var path = UTF8ToString(folder);
    return Asyncify.handleSleep(function(wakeUp) {
      FS.mkdir(path);
      var mount;
      try {
        mount = FS.mount(IDBFS, {}, path).mount;
      } catch (e) {
        wakeUp(-1);
        return;
      }
      IDBFS.syncfs(mount, true, function(error) {
        if (error) {
          wakeUp(-1);
          return;
        }
        IDBFS.getLocalSet(mount, function(e, local) {
          if (!e) Object.keys(local.entries).forEach(function(p) {
            KeloFiles.known[p] = local.entries[p]['timestamp'].getTime();
          });
          KeloFiles.mount = mount;
          wakeUp(0);
        });
      });
    });
  },
  // A sync never waits: its transaction goes on while the game does.
  fd_sync__deps: ['$KeloFiles'],
  fd_sync: function(fd) {
    KeloFiles.push();
    return 0;
  },
  __syscall_fdatasync__deps: ['$KeloFiles'],
  __syscall_fdatasync: function(fd) {
    KeloFiles.push();
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
});
