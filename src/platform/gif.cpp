#include "platform/gif.h"

#include <SDL.h>
#include <SDL_image.h>

#include <vector>

#include "platform/files.h"

void TGIFFrame::Draw(TCanvas& canvas, TRect rect, bool transparent) const {
  const TSurface& src = (transparent && HasTransparency) ? Keyed : Opaque;
  canvas.Surface().StretchDraw(rect, Rect(0, 0, src.Width(), src.Height()), src, transparent && HasTransparency);
}

void TGIFImage::LoadFromFile(const std::string& path) {
  Frames.clear();
  IMG_Animation* anim = IMG_LoadAnimation(plat::DataFile(path).c_str());
  if (!anim) throw plat::EInOutError("cannot load " + path + ": " + IMG_GetError());
  struct Free {
    IMG_Animation* a;
    ~Free() { IMG_FreeAnimation(a); }
  } guard{anim};
  for (int i = 0; i < anim->count; ++i) {
    SDL_Surface* s = SDL_ConvertSurfaceFormat(anim->frames[i], SDL_PIXELFORMAT_ARGB8888, 0);
    if (!s) throw plat::EInOutError("cannot convert a frame of " + path);
    auto frame = std::make_unique<TGIFFrame>();
    frame->Opaque.SetSize(s->w, s->h);
    std::vector<bool> clear(size_t(s->w) * size_t(s->h), false);
    std::vector<bool> used(65536, false);
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
      const Uint32* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(s->pixels) + y * s->pitch);
      for (int x = 0; x < s->w; ++x) {
        const Uint32 argb = row[x];
        const size_t k = size_t(y) * size_t(s->w) + size_t(x);
        if ((argb >> 24) == 0) {
          clear[k] = true;
          frame->HasTransparency = true;
        } else {
          const uint16_t p = PixelFromRgb(int((argb >> 16) & 255), int((argb >> 8) & 255), int(argb & 255));
          frame->Opaque.Bits()[k] = p;
          used[p] = true;
        }
      }
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    if (frame->HasTransparency) {
      uint16_t key = 0;
      while (used[key]) ++key;  // a frame of fewer than 65536 pixels leaves one free
      frame->Keyed.LoadFromGraphic(frame->Opaque);
      frame->Keyed.TransparentColor = FromPixel(key);
      for (size_t k = 0; k < clear.size(); ++k)
        if (clear[k]) frame->Keyed.Bits()[k] = key;
    }
    Frames.push_back(std::move(frame));
  }
}
