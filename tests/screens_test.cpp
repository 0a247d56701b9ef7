// The screens a player sees, made anew by the game from a fixed seed and
// compared pixel for pixel with docs/screens/: a slip in text, blending,
// scaling or layout fails here where a player would see it. After a change
// meant to alter a screen, write them anew (kelo-screens docs/screens writes
// the ones that changed) and review the pictures with the change.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "platform/headless/harness_backend.h"
#include "scenario.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

const std::string kScreens = KELO_SOURCE_DIR "/docs/screens/";
const std::string kDiffering = KELO_TEST_OUTPUT_DIR "/screens-differ/";

std::string Rgb(uint16_t p) {
  char s[16];
  std::snprintf(s, sizeof s, "#%02x%02x%02x", (p >> 11) * 255 / 31, ((p >> 5) & 63) * 255 / 63, (p & 31) * 255 / 31);
  return s;
}

}  // namespace

TEST(ScreenPixels, EveryScreenLooksAsInTheDocumentation) {
  testing_support::GameFolder folder;
  fs::remove_all(kDiffering);
  std::set<std::string> made;
  screens::Play(folder.Path(), [&](const std::string& name, const std::vector<uint16_t>& pixels) {
    made.insert(name);
    std::vector<uint16_t> want;
    int w = 0, h = 0;
    try {
      want = plat::LoadPng(kScreens + name + ".png", w, h);
    } catch (const std::exception& e) {
      ADD_FAILURE() << kScreens << name << ".png: " << e.what();
    }
    size_t differing = want.size() == pixels.size() ? 0 : pixels.size(), first = 0;
    for (size_t i = 0; i < want.size() && want.size() == pixels.size(); ++i)
      if (pixels[i] != want[i] && differing++ == 0) first = i;
    if (differing == 0) return;
    fs::create_directories(kDiffering);
    plat::SavePng(pixels, 640, 480, kDiffering + name + ".png");
    ADD_FAILURE() << name << ": " << differing << " pixels differ, the first at (" << first % 640 << ", "
                  << first / 640 << "): " << Rgb(pixels[first])
                  << (want.empty() ? std::string() : " where the documentation has " + Rgb(want[first]))
                  << "; the screen as made now is " << kDiffering << name << ".png";
  });
  for (const auto& file : fs::directory_iterator(kScreens))
    EXPECT_EQ(made.count(file.path().stem().string()), 1u) << file.path().string() << " is made no more";
}
