// Placeholder music until the composed pieces replace it.
#include <cmath>

#include "../catalogue.h"
#include "midi.h"
#include "paint.h"

namespace gen {

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
