#include "png.h"

#include <stdexcept>

#include "platform/headless/png.h"

namespace gen {

void WritePng(const std::string& path, const Image& img) {
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t(img.w) * size_t(img.h) * 3);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      const uint32_t c = img.Get(x, y);
      rgb.push_back(uint8_t(c >> 16)), rgb.push_back(uint8_t(c >> 8)), rgb.push_back(uint8_t(c));
    }
  plat::WritePngFile(path, img.w, img.h, 3, rgb.data());
}

void WritePngRgba(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba) {
  if (rgba.size() != size_t(w) * size_t(h) * 4) throw std::runtime_error("wrong pixel count for " + path);
  plat::WritePngFile(path, w, h, 4, rgba.data());
}

}  // namespace gen
