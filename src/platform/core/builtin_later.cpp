// The later pictures as built into the program (every build but the browser
// page's, whose page fetches them: see src/platform/CMakeLists.txt).
#include "assets/blobs.h"
#include "platform/core/imagelist.h"

namespace plat {

std::vector<unsigned char> LaterPictures() {
  return std::vector<unsigned char>(kelo_pictures_later, kelo_pictures_later + kelo_pictures_later_size);
}

}  // namespace plat
