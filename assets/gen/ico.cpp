#include "ico.h"

#include <stdexcept>

#include "platform/headless/png.h"

namespace gen {
namespace {

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A bitmap as an icon holds it: the header (of twice the height: colour and
// mask), the pixels bottom row first in BGRA, then the mask, one bit a pixel,
// set where the pixel is fully transparent.
std::vector<uint8_t> IconBitmap(const IconImage& image) {
  const int n = image.size;
  const uint32_t maskRow = uint32_t((n + 31) / 32 * 4);
  std::vector<uint8_t> out;
  Put(out, 40, 4);
  Put(out, uint32_t(n), 4);
  Put(out, uint32_t(2 * n), 4);
  Put(out, 1, 2);   // planes
  Put(out, 32, 2);  // bits a pixel
  Put(out, 0, 4);   // uncompressed
  Put(out, uint32_t(n) * uint32_t(n) * 4 + maskRow * uint32_t(n), 4);
  for (int i = 0; i < 4; ++i) Put(out, 0, 4);  // resolution, palette
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; ++x) {
      const uint8_t* p = &image.rgba[(size_t(y) * size_t(n) + size_t(x)) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  for (int y = n - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRow, 0);
    for (int x = 0; x < n; ++x)
      if (image.rgba[(size_t(y) * size_t(n) + size_t(x)) * 4 + 3] == 0) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

std::vector<uint8_t> IconFile(const std::vector<IconImage>& images) {
  std::vector<std::vector<uint8_t>> bodies;
  for (const IconImage& image : images) {
    if (image.size < 1 || image.size > 256 || image.rgba.size() != size_t(image.size) * size_t(image.size) * 4)
      throw std::runtime_error("an icon image of a size a Windows icon cannot hold");
    bodies.push_back(image.size == 256 ? plat::EncodePng(256, 256, 4, image.rgba.data()) : IconBitmap(image));
  }
  std::vector<uint8_t> out;
  Put(out, 0, 2);
  Put(out, 1, 2);  // an icon
  Put(out, uint32_t(images.size()), 2);
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    const int n = images[i].size;
    out.push_back(uint8_t(n == 256 ? 0 : n));  // 0 stands for 256
    out.push_back(uint8_t(n == 256 ? 0 : n));
    Put(out, 0, 2);  // no palette
    Put(out, 1, 2);
    Put(out, 32, 2);
    Put(out, uint32_t(bodies[i].size()), 4);
    Put(out, offset, 4);
    offset += uint32_t(bodies[i].size());
  }
  for (const std::vector<uint8_t>& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace gen
