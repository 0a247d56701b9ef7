// The page's SoundFont, cut down to what the two pieces play: FluidSynth
// renders each piece from it to the very same samples as from the whole one.
#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "gen/soundfont.h"
#include "platform/core/files.h"
#include "platform/core/midifile.h"

namespace {

constexpr int kRate = 44100;

std::vector<uint8_t> Bytes(const std::string& path) {
  const std::string s = plat::ReadWholeFile(path);
  return {s.begin(), s.end()};
}

// The whole piece and two seconds of its last notes dying away, as the game's
// sequencer feeds it: every event at its sample.
std::vector<int16_t> Render(const std::string& soundFont, const plat::MidiFile& midi) {
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_synth_t* synth = new_fluid_synth(settings);
  EXPECT_NE(fluid_synth_sfload(synth, soundFont.c_str(), 1), FLUID_FAILED) << soundFont;
  std::vector<int16_t> out;
  auto RenderTo = [&](size_t frame) {
    const size_t from = out.size() / 2;
    if (frame <= from) return;
    out.resize(2 * frame);
    fluid_synth_write_s16(synth, int(frame - from), out.data() + 2 * from, 0, 2, out.data() + 2 * from, 1, 2);
  };
  for (const plat::MidiEvent& e : midi.events) {
    RenderTo(size_t(e.timeUs * kRate / 1e6));
    const int ch = e.status & 15;
    switch (e.status & 0xF0) {
      case 0x80: fluid_synth_noteoff(synth, ch, e.data1); break;
      case 0x90: fluid_synth_noteon(synth, ch, e.data1, e.data2); break;
      case 0xB0: fluid_synth_cc(synth, ch, e.data1, e.data2); break;
      case 0xC0: fluid_synth_program_change(synth, ch, e.data1); break;
      case 0xE0: fluid_synth_pitch_bend(synth, ch, e.data1 | e.data2 << 7); break;
      case 0xF0:
        fluid_synth_sysex(synth, reinterpret_cast<const char*>(midi.sysex.data()) + e.sysexOffset,
                          int(e.sysexLength), nullptr, nullptr, nullptr, 0);
        break;
      default: break;
    }
  }
  RenderTo(out.size() / 2 + 2 * kRate);
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
  return out;
}

}  // namespace

TEST(SoundFontCut, BothPiecesSoundAsWithTheWholeSoundFont) {
  const std::string data = KELO_GAME_DIR "/data/";
  std::vector<plat::MidiFile> pieces;
  std::vector<gen::PlayedNote> notes;
  for (const char* name : {"1.mid", "back.mid"}) {
    pieces.push_back(plat::ParseMidi(plat::ReadWholeFile(data + name)));
    for (const gen::PlayedNote& n : gen::NotesPlayed(pieces.back())) notes.push_back(n);
  }
  const std::vector<uint8_t> whole = Bytes(data + "default-GM.sf2");
  const std::vector<uint8_t> cut = gen::CutSoundFont(whole, notes);
  EXPECT_LT(cut.size(), whole.size() / 2);
  const std::string cutPath = testing::TempDir() + "kelo-cut.sf2";
  std::ofstream(cutPath, std::ios::binary).write(reinterpret_cast<const char*>(cut.data()), std::streamsize(cut.size()));

  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::vector<int16_t> expected = Render(data + "default-GM.sf2", pieces[i]), got = Render(cutPath, pieces[i]);
    ASSERT_EQ(got.size(), expected.size());
    size_t differing = 0, first = 0;
    for (size_t s = 0; s < got.size(); ++s)
      if (got[s] != expected[s] && !differing++) first = s;
    EXPECT_EQ(differing, 0u) << "piece " << i << ": first at sample " << first / 2;
    int peak = 0;
    for (int16_t v : expected) peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 1000) << "piece " << i << " is silent";
  }
  std::remove(cutPath.c_str());
}
