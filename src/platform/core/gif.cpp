#include "platform/core/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/core/files.h"

void TGIFFrame::Draw(TCanvas& canvas, TRect rect, bool transparent) const {
  const TSurface& src = (transparent && HasTransparency) ? Keyed : Opaque;
  canvas.Surface().StretchDraw(rect, Rect(0, 0, src.Width(), src.Height()), src, transparent && HasTransparency);
}

namespace {

// What giflib reads from: the bytes of the file.
struct Source {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
};

int ReadSource(GifFileType* gif, GifByteType* buf, int n) {
  Source& s = *static_cast<Source*>(gif->UserData);
  if (n <= 0) return 0;
  const size_t k = std::min(size_t(n), s.size - s.pos);
  if (k > 0) std::memcpy(buf, s.data + s.pos, k);
  s.pos += k;
  return int(k);
}

// A pixel of the logical screen while frames are laid over it: 0 where no
// frame has put a colour, else kShown | the display pixel.
constexpr uint32_t kShown = 0x10000;

struct Decoder {
  GifFileType* gif = nullptr;
  std::string name;

  // The error names what went wrong and, where giflib or the system said why, that too.
  [[noreturn]] void Fail(const std::string& what, int gifError = 0) const {
    std::string text = name + ": " + what;
    if (gif) gifError = gif->Error;
    if (gifError != 0) {
      const char* e = GifErrorString(gifError);
      text += " (" + (e ? std::string(e) : "error " + std::to_string(gifError)) + ")";
    }
    throw plat::EInOutError(text);
  }

  void Check(int rc, const char* what) const {
    if (rc == GIF_ERROR) Fail(what);
  }
};

// The colour key of a frame's keyed copy: the lowest display colour the frame
// does not use. A frame that uses every one of them (it has more than 65 536
// pixels) gives up its rarest colour: those pixels take the nearest other
// colour, one step of green away, which no eye tells apart.
struct KeyChoice {
  uint16_t key = 0;
  bool moved = false;
  uint16_t movedTo = 0;
};

KeyChoice ChooseKey(const std::vector<uint32_t>& uses) {
  KeyChoice c;
  for (uint32_t p = 0; p < 65536; ++p)
    if (uses[p] == 0) return c.key = uint16_t(p), c;
  uint32_t rarest = 0;
  for (uint32_t p = 1; p < 65536; ++p)
    if (uses[p] < uses[rarest]) rarest = p;
  const TColor r = FromPixel(uint16_t(rarest));
  long best = -1;
  for (uint32_t p = 0; p < 65536; ++p) {
    if (p == rarest) continue;
    const TColor o = FromPixel(uint16_t(p));
    const long dr = GetRValue(o) - GetRValue(r), dg = GetGValue(o) - GetGValue(r), db = GetBValue(o) - GetBValue(r);
    const long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < best) best = d, c.movedTo = uint16_t(p);
  }
  c.key = uint16_t(rarest);
  c.moved = true;
  return c;
}

// The frame as the screen shows it now.
std::unique_ptr<TGIFFrame> Snapshot(const std::vector<uint32_t>& screen, int w, int h, std::vector<uint32_t>& uses) {
  auto frame = std::make_unique<TGIFFrame>();
  frame->Opaque.SetSize(w, h);
  uint16_t* bits = frame->Opaque.Bits();
  for (size_t k = 0; k < screen.size(); ++k) {
    bits[k] = uint16_t(screen[k]);
    if (screen[k] == 0) frame->HasTransparency = true;
  }
  if (!frame->HasTransparency) return frame;
  std::fill(uses.begin(), uses.end(), 0u);
  for (uint32_t v : screen)
    if (v != 0) ++uses[uint16_t(v)];
  const KeyChoice c = ChooseKey(uses);
  frame->Keyed.LoadFromGraphic(frame->Opaque);
  frame->Keyed.TransparentColor = FromPixel(c.key);
  uint16_t* keyed = frame->Keyed.Bits();
  for (size_t k = 0; k < screen.size(); ++k) {
    if (screen[k] == 0)
      keyed[k] = c.key;
    else if (c.moved && keyed[k] == c.key)
      keyed[k] = c.movedTo;
  }
  return frame;
}

void Decode(Decoder& d, std::vector<std::unique_ptr<TGIFFrame>>& frames) {
  GifFileType* gif = d.gif;
  const int w = gif->SWidth, h = gif->SHeight;
  if (w < 1 || h < 1 || w > kGifMaxSide || h > kGifMaxSide)
    d.Fail("logical screen of " + std::to_string(w) + " x " + std::to_string(h) + " pixels");
  std::vector<uint32_t> screen(size_t(w) * size_t(h), 0), saved, uses(65536);
  std::vector<GifPixelType> indices;
  int64_t decoded = 0;
  GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};

  for (;;) {
    GifRecordType type;
    d.Check(DGifGetRecordType(gif, &type), "ends early or holds an unknown record");
    if (type == TERMINATE_RECORD_TYPE) return;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      d.Check(DGifGetExtension(gif, &code, &block), "broken extension");
      // A graphics control block describes the frame after it.
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) DGifExtensionToGCB(4, block + 1, &gcb);
      while (block) d.Check(DGifGetExtensionNext(gif, &block), "broken extension");
      continue;
    }
    if (int(frames.size()) == kGifMaxFrames) d.Fail("more than " + std::to_string(kGifMaxFrames) + " frames");
    d.Check(DGifGetImageDesc(gif), "broken frame header");
    const GifImageDesc& im = gif->Image;
    if (im.Width < 1 || im.Height < 1 || im.Width > kGifMaxSide || im.Height > kGifMaxSide)
      d.Fail("frame of " + std::to_string(im.Width) + " x " + std::to_string(im.Height) + " pixels");
    decoded += int64_t(im.Width) * im.Height;
    if (decoded > kGifMaxPixels || int64_t(frames.size() + 1) * w * h > kGifMaxPixels)
      d.Fail("more than " + std::to_string(kGifMaxPixels) + " pixels in all frames");
    const ColorMapObject* map = im.ColorMap ? im.ColorMap : gif->SColorMap;
    if (!map) d.Fail("frame without a colour table");

    indices.resize(size_t(im.Width) * size_t(im.Height));
    auto row = [&](int y) {
      d.Check(DGifGetLine(gif, indices.data() + size_t(y) * size_t(im.Width), im.Width), "broken or cut-off frame");
    };
    if (im.Interlace) {
      for (int y = 0; y < im.Height; y += 8) row(y);
      for (int y = 4; y < im.Height; y += 8) row(y);
      for (int y = 2; y < im.Height; y += 4) row(y);
      for (int y = 1; y < im.Height; y += 2) row(y);
    } else {
      for (int y = 0; y < im.Height; ++y) row(y);
    }

    // Indices beyond the colour table show black, the transparent one nothing.
    uint32_t colour[256];
    for (int i = 0; i < 256; ++i) {
      const GifColorType c = i < map->ColorCount ? map->Colors[i] : GifColorType{0, 0, 0};
      colour[i] = kShown | PixelFromRgb(c.Red, c.Green, c.Blue);
    }
    if (gcb.TransparentColor >= 0 && gcb.TransparentColor < 256) colour[gcb.TransparentColor] = 0;

    if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = screen;
    // The part of the frame that lies on the logical screen.
    const int x0 = im.Left, y0 = im.Top;
    const int x1 = std::min(w, x0 + im.Width), y1 = std::min(h, y0 + im.Height);
    for (int y = y0; y < y1; ++y) {
      const GifPixelType* src = indices.data() + size_t(y - y0) * size_t(im.Width);
      uint32_t* dst = screen.data() + size_t(y) * size_t(w);
      for (int x = x0; x < x1; ++x)
        if (const uint32_t c = colour[src[x - x0]]) dst[x] = c;
    }
    frames.push_back(Snapshot(screen, w, h, uses));

    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) screen[size_t(y) * size_t(w) + size_t(x)] = 0;
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      screen.swap(saved);
    }
    gcb = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  }
}

void Load(Source& source, const std::string& name, std::vector<std::unique_ptr<TGIFFrame>>& frames) {
  frames.clear();
  int error = 0;
  Decoder d;
  d.name = name;
  d.gif = DGifOpen(&source, ReadSource, &error);
  if (!d.gif) d.Fail("not a GIF picture", error);
  struct Close {
    GifFileType* gif;
    ~Close() { DGifCloseFile(gif, nullptr); }
  } close{d.gif};
  try {
    Decode(d, frames);
  } catch (...) {
    frames.clear();
    throw;
  }
}

}  // namespace

void TGIFImage::LoadFromFile(const std::string& path) {
  const std::string bytes = plat::ReadWholeFile(plat::DataFile(path), kGifMaxFileBytes);
  LoadFromMemory(bytes.data(), bytes.size(), path);
}

void TGIFImage::LoadFromMemory(const void* data, size_t size, const std::string& name) {
  Source source;
  source.data = static_cast<const uint8_t*>(data);
  source.size = size;
  Load(source, name, Frames);
}
