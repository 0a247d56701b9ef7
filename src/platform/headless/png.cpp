#include "platform/headless/png.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace plat {
namespace {

uint32_t Crc(const uint8_t* p, size_t n, uint32_t crc = 0xFFFFFFFFu) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 255] ^ (crc >> 8);
  return crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

uint32_t Get32(std::string_view s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
         uint8_t(s[at + 3]);
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, Crc(out.data() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

}  // namespace

std::vector<uint8_t> EncodePng(int w, int h, int channels, const uint8_t* pixels) {
  if (w <= 0 || h <= 0 || (channels != 3 && channels != 4)) throw std::runtime_error("no picture to write");
  const size_t rowBytes = size_t(w) * size_t(channels);
  std::vector<uint8_t> raw;
  raw.reserve(size_t(h) * (rowBytes + 1));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), pixels + size_t(y) * rowBytes, pixels + size_t(y + 1) * rowBytes);
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> z(size);
  if (compress2(z.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK)
    throw std::runtime_error("cannot compress a picture");
  z.resize(size);

  std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  Put32(ihdr, uint32_t(w)), Put32(ihdr, uint32_t(h));
  ihdr.insert(ihdr.end(), {8, uint8_t(channels == 3 ? 2 : 6), 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}

void WritePngFile(const std::string& path, int w, int h, int channels, const uint8_t* pixels) {
  const std::vector<uint8_t> png = EncodePng(w, h, channels, pixels);
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  f.close();
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> DecodePng(std::string_view png, int& w, int& h, int& channels) {
  if (png.size() < 33 || png.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8) || png.substr(12, 4) != "IHDR")
    throw std::runtime_error("not a PNG picture");
  w = int(Get32(png, 16)), h = int(Get32(png, 20));
  channels = png[25] == 2 ? 3 : png[25] == 6 ? 4 : 0;
  if (w < 1 || h < 1 || w > 16384 || h > 16384 || png[24] != 8 || channels == 0 || png[28] != 0)
    throw std::runtime_error("not a PNG of 8-bit RGB or RGBA without interlacing");
  std::string z;
  for (size_t at = 8; at + 12 <= png.size() && Get32(png, at) <= png.size() - at - 12; at += 12 + Get32(png, at))
    if (png.substr(at + 4, 4) == "IDAT") z += png.substr(at + 8, Get32(png, at));
  const size_t bpp = size_t(channels), stride = size_t(w) * bpp;
  std::vector<uint8_t> raw(size_t(h) * (stride + 1));
  uLongf size = uLongf(raw.size());
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(z.data()), uLong(z.size())) != Z_OK ||
      size != raw.size())
    throw std::runtime_error("a PNG whose pixels do not unpack");
  // Each row's filter undone, from the row above, which is already plain.
  std::vector<uint8_t> pixels(size_t(h) * stride);
  for (size_t y = 0; y < size_t(h); ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    if (filter > 4) throw std::runtime_error("a PNG row of an unknown filter");
    const uint8_t* in = raw.data() + y * (stride + 1) + 1;
    uint8_t* row = pixels.data() + y * stride;
    const uint8_t* up = y ? row - stride : nullptr;
    for (size_t x = 0; x < stride; ++x) {
      const int a = x >= bpp ? row[x - bpp] : 0, b = up ? up[x] : 0, c = up && x >= bpp ? up[x - bpp] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int predicted[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
      row[x] = uint8_t(in[x] + predicted[filter]);
    }
  }
  return pixels;
}

}  // namespace plat
