// Where the 640 x 480 picture stands in a window, and how the window's pointer
// positions map to display pixels and back. The same for every window system.
#pragma once

#include <vector>

namespace plat {

// The picture in an output of some size: the largest that fits with the
// aspect kept, centred. Empty (w or h 0) for an output too small to hold a pixel.
struct PictureRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
};
PictureRect FitPicture(int outputWidth, int outputHeight);

// Windows measure in their own units, outputs in pixels (more of them on a
// screen of high density). A window of ww x wh units shows an output of ow x oh pixels.
struct WindowGeometry {
  int windowWidth = 640, windowHeight = 480;
  int outputWidth = 640, outputHeight = 480;
};

// The display pixel under a window position, kept to the picture: a position
// on the bars beside the picture gives the nearest pixel of its edge. A whole
// number names a window unit, whose centre counts; a fractional position
// (pointers that report finer than the unit) is the point itself.
void WindowToDisplay(const WindowGeometry& g, double wx, double wy, int& x, int& y);
// The window position at the centre of a display pixel.
void DisplayToWindow(const WindowGeometry& g, int x, int y, int& wx, int& wy);
// The picture's rectangle in window units (to keep the pointer on it).
PictureRect PictureInWindow(const WindowGeometry& g);

// Ways of showing the picture, tried in this order until one works: a renderer
// on a graphics processor (or the one the user named), the window's own pixels
// (one pass of ours, no graphics library), then any renderer at all (window
// systems without pixels of their own for a window, such as Wayland's or the
// console's, still have one).
enum class Output { GpuRenderer, WindowPixels, AnyRenderer };
std::vector<Output> OutputOrder(bool rendererNamed, bool graphicsDeviceLikely);

// Waiting for the display's refresh costs at most one period; a present that
// takes longer than that (plus a margin) shows a display too slow to wait for.
bool PresentSlowerThanRefresh(double tookMs, int refreshHz);

}  // namespace plat
