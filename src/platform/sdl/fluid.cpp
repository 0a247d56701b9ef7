#include "platform/sdl/fluid.h"

#include <fluidsynth.h>

#include <chrono>
#include <stdexcept>

#include "platform/core/audio.h"
#include "platform/core/files.h"

namespace plat {
namespace {

constexpr double kMusicGain = 0.45;

fluid_synth_t* S(void* p) { return static_cast<fluid_synth_t*>(p); }

}  // namespace

FluidSynth::FluidSynth(int rate) {
  // Nothing is logged: failures reach the game as errors of the music device.
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  if (!settings) throw std::runtime_error("cannot make synthesizer settings");
  settings_ = settings;
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_settings_setnum(settings, "synth.gain", kMusicGain);
  synth_ = new_fluid_synth(settings);
  if (!synth_) {
    delete_fluid_settings(settings);
    throw std::runtime_error("cannot make a synthesizer");
  }
}

FluidSynth::~FluidSynth() {
  delete_fluid_synth(S(synth_));
  delete_fluid_settings(static_cast<fluid_settings_t*>(settings_));
}

double FluidSynth::LoadSoundFont() {
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : SoundFontCandidates()) {
    if (!FileExists(path) || fluid_synth_sfload(S(synth_), path.c_str(), 1) == FLUID_FAILED) continue;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  return -1;
}

void FluidSynth::Send(const MidiEvent& e, const MidiFile& midi) {
  fluid_synth_t* s = S(synth_);
  const int ch = e.status & 0x0F;
  switch (e.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(s, ch, e.data1); break;
    case 0x90:
      if (e.data2)
        fluid_synth_noteon(s, ch, e.data1, e.data2);
      else
        fluid_synth_noteoff(s, ch, e.data1);
      break;
    case 0xA0: fluid_synth_key_pressure(s, ch, e.data1, e.data2); break;
    case 0xB0: fluid_synth_cc(s, ch, e.data1, e.data2); break;
    case 0xC0: fluid_synth_program_change(s, ch, e.data1); break;
    case 0xD0: fluid_synth_channel_pressure(s, ch, e.data1); break;
    case 0xE0: fluid_synth_pitch_bend(s, ch, e.data1 | e.data2 << 7); break;
    case 0xF0:
      fluid_synth_sysex(s, reinterpret_cast<const char*>(midi.sysex.data()) + e.sysexOffset, int(e.sysexLength),
                        nullptr, nullptr, nullptr, 0);
      break;
    default: break;
  }
}

void FluidSynth::Reset() { fluid_synth_system_reset(S(synth_)); }

void FluidSynth::NotesOff() {
  for (int ch = 0; ch < 16; ++ch) fluid_synth_cc(S(synth_), ch, 64, 0);  // sustain pedal up
  fluid_synth_all_notes_off(S(synth_), -1);
}

int FluidSynth::ActiveVoices() { return fluid_synth_get_active_voice_count(S(synth_)); }

void FluidSynth::Render(int16_t* out, int frames) { fluid_synth_write_s16(S(synth_), frames, out, 0, 2, out, 1, 2); }

}  // namespace plat
