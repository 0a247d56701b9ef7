#include "platform/headless/png.h"

#include <zlib.h>

#include <array>
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

}  // namespace plat
