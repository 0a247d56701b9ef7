// The wave items: the synthesised effects as unsigned 8-bit PCM of exactly
// the catalogue's size.
#include <stdexcept>

#include "../catalogue.h"
#include "dsp.h"
#include "paint.h"
#include "sound.h"

namespace gen {

std::vector<uint8_t> MakeWave(int index) {
  if (index < 0 || index >= assets::kWaveCount) throw std::runtime_error("no such wave item");
  const assets::WaveEntry& format = assets::kWaves[index];
  const size_t frames = size_t(format.bytes / format.channels);
  const double rate = format.rate;
  std::vector<double> samples = index == 0 ? SynthShot(frames, rate) : SynthDetonation(frames, rate);
  if (samples.size() != size_t(format.bytes)) throw std::runtime_error("effect has the wrong length");
  return dsp::ToPcm8(samples);
}

}  // namespace gen
