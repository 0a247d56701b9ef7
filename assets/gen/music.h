// The two pieces of music, composed in code.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

// The menus: a cheerful farmyard tune that comes to a proper end.
std::vector<uint8_t> ComposeMenuMusic();
// The level: a driving piece whose last bar leads straight back into its
// first, so that it can repeat without a seam.
std::vector<uint8_t> ComposeLevelMusic();

}  // namespace gen
