// The program's calls into the page's replays and world list (page_replays.h):
// each hands over to replays.js (Module.replays).
mergeInto(LibraryManager.library, {
  kelo_page_replay__deps: ['malloc'],
  kelo_page_replay: function(size) {
    var bytes = Module.replays.watched();
    if (!bytes) return 0;
    var p = _malloc(Math.max(bytes.length, 1));
    HEAPU8.set(bytes, p);
    HEAP32[size >> 2] = bytes.length;
    return p;
  },
  kelo_page_world: function(server) { Module.replays.world(UTF8ToString(server)); },
  // The page reads the replays kept in the folder, and writes its key for the
  // world list there: a sync sends it to the browser's storage with the
  // game's own files, under the same rules.
  kelo_page_files__deps: ['$FS', 'fd_sync'],
  kelo_page_files: function(folder) {
    var path = UTF8ToString(folder);
    Module.replays.files({
      read: function(name) {
        try {
          return FS.readFile(path + '/' + name);
        } catch (e) {
          return null;
        }
      },
      write: function(name, bytes) {
        FS.writeFile(path + '/' + name, bytes);
        _fd_sync(0);
      },
    });
  },
  kelo_page_recorded: function(bytes, size, difficulty, end, points, hits) {
    Module.replays.recorded(HEAPU8.slice(bytes, bytes + size), { difficulty: difficulty, end: end, points: points, hits: hits });
  },
});
