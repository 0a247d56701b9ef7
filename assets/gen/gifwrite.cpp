#include "gifwrite.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace gen {
namespace {

struct Box {
  std::vector<uint32_t> colours;
};

// Median cut down to at most `limit` colours.
std::vector<uint32_t> Quantise(const std::vector<uint32_t>& colours, size_t limit) {
  std::vector<Box> boxes{{colours}};
  auto channel = [](uint32_t c, int ch) { return int((c >> (16 - 8 * ch)) & 255); };
  while (boxes.size() < limit) {
    // Split the box with the widest channel range.
    int best = -1, bestRange = 0, bestCh = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].colours.size() < 2) continue;
      for (int ch = 0; ch < 3; ++ch) {
        int lo = 255, hi = 0;
        for (uint32_t c : boxes[i].colours) lo = std::min(lo, channel(c, ch)), hi = std::max(hi, channel(c, ch));
        if (hi - lo > bestRange) best = int(i), bestRange = hi - lo, bestCh = ch;
      }
    }
    if (best < 0) break;
    auto& v = boxes[size_t(best)].colours;
    std::sort(v.begin(), v.end(), [&](uint32_t a, uint32_t b) { return channel(a, bestCh) < channel(b, bestCh); });
    Box upper{std::vector<uint32_t>(v.begin() + long(v.size() / 2), v.end())};
    v.resize(v.size() / 2);
    boxes.push_back(std::move(upper));
  }
  std::vector<uint32_t> palette;
  for (const Box& b : boxes) {
    long r = 0, g = 0, bl = 0;
    for (uint32_t c : b.colours) r += channel(c, 0), g += channel(c, 1), bl += channel(c, 2);
    long n = long(b.colours.size());
    palette.push_back(Rgb(int(r / n), int(g / n), int(bl / n)));
  }
  return palette;
}

// The nearest of the first `limit` palette entries.
int Nearest(const std::vector<uint32_t>& palette, uint32_t c, size_t limit) {
  int best = 0;
  long bestD = -1;
  for (size_t i = 0; i < limit && i < palette.size(); ++i) {
    long dr = long((palette[i] >> 16) & 255) - long((c >> 16) & 255);
    long dg = long((palette[i] >> 8) & 255) - long((c >> 8) & 255);
    long db = long(palette[i] & 255) - long(c & 255);
    long d = dr * dr + dg * dg + db * db;
    if (bestD < 0 || d < bestD) bestD = d, best = int(i);
  }
  return best;
}

void Check(int ok, GifFileType* gif, const std::string& path) {
  if (ok == GIF_ERROR) {
    int err = 0;
    if (gif) EGifCloseFile(gif, &err);
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace

void WriteGif(const std::string& path, const Animation& anim) {
  if (anim.frames.empty()) throw std::runtime_error("no frames for " + path);
  const int w = anim.frames[0].w, h = anim.frames[0].h;
  int err = 0;
  // Opened by hand so that the file gets ordinary permissions (giflib's own
  // open makes it private to the owner).
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  GifFileType* gif = EGifOpenFileHandle(fd, &err);
  if (!gif) {
    close(fd);
    throw std::runtime_error("cannot create " + path);
  }
  EGifSetGifVersion(gif, true);
  Check(EGifPutScreenDesc(gif, w, h, 8, 0, nullptr), gif, path);

  // Loop forever.
  const unsigned char netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  const unsigned char loop[] = {1, 0, 0};
  Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), gif, path);
  Check(EGifPutExtensionBlock(gif, sizeof netscape, netscape), gif, path);
  Check(EGifPutExtensionBlock(gif, sizeof loop, loop), gif, path);
  Check(EGifPutExtensionTrailer(gif), gif, path);

  for (const Image& frame : anim.frames) {
    if (frame.w != w || frame.h != h) throw std::runtime_error("frame size differs in " + path);
    const bool hasKey = anim.transparentColor >= 0;
    const uint32_t key = hasKey ? uint32_t(anim.transparentColor) : 0;

    // Pure black and pure white are colour keys in the game: when a frame uses
    // them they keep exact entries of their own, and no other colour is ever
    // mapped onto them (nor onto the GIF's transparent colour).
    std::vector<uint32_t> exact;
    if (hasKey) exact.push_back(key);
    for (uint32_t keyColour : {Rgb(0, 0, 0), Rgb(255, 255, 255)})
      if ((!hasKey || keyColour != key) && std::find(frame.px.begin(), frame.px.end(), keyColour) != frame.px.end())
        exact.push_back(keyColour);
    auto isExact = [&](uint32_t c) { return std::find(exact.begin(), exact.end(), c) != exact.end(); };

    std::map<uint32_t, int> seen;
    for (uint32_t c : frame.px)
      if (!isExact(c)) seen.emplace(c, 0);
    const size_t room = 256 - exact.size();
    std::vector<uint32_t> palette;
    if (seen.size() <= room) {
      for (auto& [c, i] : seen) palette.push_back(c);
    } else {
      std::vector<uint32_t> all;
      for (uint32_t c : frame.px)
        if (!isExact(c)) all.push_back(c);
      palette = Quantise(all, room);
    }
    const size_t firstExact = palette.size();
    palette.insert(palette.end(), exact.begin(), exact.end());
    const size_t keyIndex = firstExact;  // the transparent colour comes first among the exact ones
    int size = 2;
    while (size < int(palette.size())) size *= 2;
    int bits = 1;
    while ((1 << bits) < size) ++bits;

    std::vector<GifColorType> colours(size_t(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i)
      colours[i] = GifColorType{GifByteType(palette[i] >> 16), GifByteType(palette[i] >> 8), GifByteType(palette[i])};
    ColorMapObject* map = GifMakeMapObject(size, colours.data());
    if (!map) throw std::runtime_error("out of memory writing " + path);

    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_BACKGROUND;
    gcb.UserInputFlag = false;
    gcb.DelayTime = anim.delayCs;
    gcb.TransparentColor = hasKey ? int(keyIndex) : NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    size_t extLen = EGifGCBToExtension(&gcb, ext);
    Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extLen), ext), gif, path);
    int ok = EGifPutImageDesc(gif, 0, 0, w, h, false, map);
    GifFreeMapObject(map);
    Check(ok, gif, path);

    std::map<uint32_t, int> cache;
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint32_t c = frame.Get(x, y);
        int index;
        if (auto e = std::find(exact.begin(), exact.end(), c); e != exact.end()) {
          index = int(firstExact + size_t(e - exact.begin()));
        } else if (auto it = cache.find(c); it != cache.end()) {
          index = it->second;
        } else {
          index = Nearest(palette, c, firstExact);
          cache.emplace(c, index);
        }
        line[size_t(x)] = GifPixelType(index);
      }
      Check(EGifPutLine(gif, line.data(), w), gif, path);
    }
  }
  if (EGifCloseFile(gif, &err) == GIF_ERROR) throw std::runtime_error("cannot close " + path);
}

}  // namespace gen
