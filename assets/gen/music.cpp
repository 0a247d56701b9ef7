#include <stdexcept>

#include "music.h"
#include "paint.h"

namespace gen {

std::vector<uint8_t> MakeMidi(int piece) {
  if (piece == 0) return ComposeMenuMusic();
  if (piece == 1) return ComposeLevelMusic();
  throw std::runtime_error("no such piece of music");
}

}  // namespace gen
