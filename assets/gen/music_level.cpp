#include "music.h"
#include "score.h"

namespace gen {

std::vector<uint8_t> ComposeLevelMusic() {
  using namespace music;
  MidiWriter m(kPpq);
  m.NewTrack();
  m.Tempo(0, 400000);
  m.NewTrack();
  Setup(m, 0, 81, 100, 64, 40);
  Play(m, 0, Melody("e5:4 g5 b5 e6 | d6:16 |", 0), 90);
  m.End(Bar(2));
  return m.Bytes();
}

}  // namespace gen
