// kelo-screens: writes the game's screens as PNG files, played headless on the
// harness backend with a fixed seed, for the documentation. A file that already
// holds the same pixels stays as it is, so writing them anew into docs/screens
// after a change meant to alter a screen changes only those that differ (the
// ScreenPixels test compares them pixel for pixel); it prints the files it wrote.
//   kelo-screens OUTDIR
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/core/files.h"
#include "platform/headless/harness_backend.h"
#include "scenario.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelo-screens OUTDIR\n");
    return 2;
  }
  const std::string outDir = argv[1];
  fs::create_directories(outDir);
  char tmpl[] = "/tmp/kelo-screens-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  fs::copy(fs::path(plat::ExecutableFolder()) / "data", fs::path(folder) / "data", fs::copy_options::recursive);
  screens::Play(folder, [&](const std::string& name, const std::vector<uint16_t>& pixels) {
    const std::string path = outDir + "/" + name + ".png";
    int w = 0, h = 0;
    try {
      if (plat::LoadPng(path, w, h) == pixels) return;
    } catch (const std::exception&) {
      // missing or not a picture of ours: written anew
    }
    plat::SavePng(pixels, 640, 480, path);
    std::printf("%s\n", path.c_str());
  });
  fs::remove_all(folder);
  return 0;
}
