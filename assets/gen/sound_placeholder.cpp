// Placeholder sound effects and music until the composed ones replace them.
#include <cmath>

#include "../catalogue.h"
#include "midi.h"
#include "paint.h"

namespace gen {

std::vector<uint8_t> MakeWave(int index) {
  const auto& s = assets::kWaves[index];
  std::vector<uint8_t> pcm(size_t(s.bytes));
  uint32_t seed = 12345;
  const size_t frames = pcm.size() / size_t(s.channels);
  for (size_t i = 0; i < frames; ++i) {
    seed = seed * 1103515245u + 12345u;
    double env = std::exp(-double(i) / (index == 0 ? 3000.0 : 20000.0));
    double noise = (double((seed >> 16) & 255) - 128.0) * env;
    for (int c = 0; c < s.channels; ++c) pcm[i * size_t(s.channels) + size_t(c)] = uint8_t(128 + int(noise * 0.9));
  }
  return pcm;
}

std::vector<uint8_t> MakeMidi(int piece) {
  MidiWriter m(480);
  m.NewTrack();
  m.Tempo(0, 500000);
  m.NewTrack();
  m.Program(0, 0, piece == 0 ? 0 : 29);
  const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
  uint32_t t = 0;
  for (int bar = 0; bar < 4; ++bar)
    for (int k : scale) {
      m.Note(t, 0, k + (piece ? -12 : 0), 90, 400);
      t += 480;
    }
  m.End(t);
  return m.Bytes();
}

}  // namespace gen
