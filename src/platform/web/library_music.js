// What the music's worklet program (music_worklet.cpp) takes from its page
// (music.js supplies them when it starts the program): only named here.
mergeInto(LibraryManager.library, {
  kelo_fluid_event: function() {},
  kelo_fluid_sysex: function() {},
  kelo_fluid_reset: function() {},
  kelo_fluid_notes_off: function() {},
  kelo_fluid_voices: function() {},
  kelo_fluid_render: function() {},
});
