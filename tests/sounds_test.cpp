// The built-in sound effects and the two MIDI pieces in the data folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "assets/catalogue.h"
#include "platform/core/imagelist.h"

namespace {

TEST(Sounds, WavesHaveTheirSizeAndAreCleanAndAudible) {
  for (int i = 0; i < assets::kWaveCount; ++i) {
    SCOPED_TRACE("wave " + std::to_string(i));
    const assets::WaveEntry& format = assets::kWaves[i];
    const std::vector<unsigned char> pcm = plat::BuiltinWave(i);
    ASSERT_EQ(int(pcm.size()), format.bytes);
    double energy = 0.0;
    int lowest = 255, highest = 0;
    for (unsigned char v : pcm) energy += (v - 128.0) * (v - 128.0), lowest = std::min(lowest, int(v)), highest = std::max(highest, int(v));
    EXPECT_GT(std::sqrt(energy / double(pcm.size())), 6.0) << "too quiet";
    EXPECT_GT(highest, 128 + 64) << "never gets loud";
    EXPECT_GE(lowest, 3) << "clips";
    EXPECT_LE(highest, 252) << "clips";
    // Rises out of silence instead of jumping in, and ends in silence.
    for (size_t k = 0; k < size_t(3 * format.channels); ++k) EXPECT_NEAR(pcm[k], 128, 8) << k;
    for (size_t k = pcm.size() - size_t(format.rate / 100 * format.channels); k < pcm.size(); ++k) EXPECT_NEAR(pcm[k], 128, 1) << k;
  }
  // The shot is short and punchy, the detonation still rumbles after two seconds.
  auto rms = [](int wave, double from, double to) {
    const std::vector<unsigned char> pcm = plat::BuiltinWave(wave);
    const int perSecond = assets::kWaves[wave].rate * assets::kWaves[wave].channels;
    const size_t a = size_t(from * perSecond), b = std::min(pcm.size(), size_t(to * perSecond));
    double sum = 0.0;
    for (size_t k = a; k < b; ++k) sum += (pcm[k] - 128.0) * (pcm[k] - 128.0);
    return std::sqrt(sum / double(b - a));
  };
  EXPECT_LT(rms(0, 0.5, 2.0), rms(0, 0.0, 0.1) / 20.0);
  EXPECT_GT(rms(1, 1.5, 2.5), 3.0);

  // The shot is really stereo: its two sides differ.
  const std::vector<unsigned char> shot = plat::BuiltinWave(0);
  int differ = 0;
  for (size_t k = 0; k + 1 < shot.size(); k += 2) differ += shot[k] != shot[k + 1];
  EXPECT_GT(differ, int(shot.size() / 8));
}

// What the tests need to know of a standard MIDI file.
struct Smf {
  int division = 0;
  uint32_t endTick = 0;                  // the last event of any track
  uint32_t firstNote = UINT32_MAX, lastNoteOn = 0, lastNoteOff = 0;
  std::map<int, int> notesPerChannel;
  std::map<uint32_t, int> tempo;         // tick -> microseconds per quarter
  bool heldAtEnd = false;                // a note without its note-off

  double Seconds() const {
    double s = 0.0;
    uint32_t at = 0;
    int us = 500000;
    for (const auto& [tick, t] : tempo) {
      s += double(tick - at) * us / division / 1e6;
      at = tick, us = t;
    }
    return s + double(endTick - at) * us / division / 1e6;
  }
};

Smf ReadSmf(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Smf smf;
  auto be = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | d.at(at + size_t(i));
    return v;
  };
  if (d.size() < 14 || std::string(d.begin(), d.begin() + 4) != "MThd" || be(8, 2) != 1) throw std::runtime_error("not a format 1 SMF: " + path);
  const uint32_t tracks = be(10, 2);
  smf.division = int(be(12, 2));
  size_t p = 14;
  for (uint32_t tr = 0; tr < tracks; ++tr) {
    if (std::string(d.begin() + long(p), d.begin() + long(p) + 4) != "MTrk") throw std::runtime_error("bad track");
    const size_t end = p + 8 + be(p + 4, 4);
    p += 8;
    uint32_t tick = 0;
    uint8_t status = 0;
    std::set<int> sounding;
    while (p < end) {
      uint32_t delta = 0;
      do delta = delta << 7 | (d.at(p) & 0x7F); while (d.at(p++) & 0x80);
      tick += delta;
      if (d.at(p) == 0xFF) {
        if (d.at(p + 1) == 0x51) smf.tempo[tick] = int(be(p + 3, 3));
        p += 3 + d.at(p + 2);
        continue;
      }
      if (d.at(p) & 0x80) status = d.at(p++);
      const int kind = status & 0xF0, ch = status & 15, key = d.at(p);
      if (kind == 0x90 && d.at(p + 1) > 0) {
        ++smf.notesPerChannel[ch];
        sounding.insert(ch * 128 + key);
        smf.firstNote = std::min(smf.firstNote, tick), smf.lastNoteOn = std::max(smf.lastNoteOn, tick);
      } else if (kind == 0x80 || kind == 0x90) {
        sounding.erase(ch * 128 + key);
        smf.lastNoteOff = std::max(smf.lastNoteOff, tick);
      }
      p += kind == 0xC0 || kind == 0xD0 ? 1 : 2;
    }
    smf.endTick = std::max(smf.endTick, tick);
    smf.heldAtEnd |= !sounding.empty();
    p = end;
  }
  return smf;
}

TEST(Sounds, BothPiecesAreFullArrangementsOfTheRightLength) {
  for (const char* name : {"1.mid", "back.mid"}) {
    SCOPED_TRACE(name);
    const Smf smf = ReadSmf(std::string(KELO_GAME_DIR) + "/data/" + name);
    EXPECT_GE(smf.Seconds(), 60.0);
    EXPECT_LE(smf.Seconds(), 120.0);
    EXPECT_FALSE(smf.tempo.empty());
    EXPECT_GE(smf.notesPerChannel.size(), 5u) << "melody, harmony, bass and more";
    EXPECT_GT(smf.notesPerChannel.count(9), 0u) << "drums";
    EXPECT_FALSE(smf.heldAtEnd);
    // Music from the first beat, and no long silence before the end.
    EXPECT_EQ(smf.firstNote, 0u);
    EXPECT_GT(smf.lastNoteOn + uint32_t(4 * smf.division), smf.endTick);
  }
}

TEST(Sounds, LevelMusicRepeatsWithoutASeam) {
  const Smf smf = ReadSmf(std::string(KELO_GAME_DIR) + "/data/back.mid");
  const uint32_t bar = uint32_t(4 * smf.division);
  // The piece ends exactly on a bar line, with notes sounding right up to it
  // and none beyond it.
  EXPECT_EQ(smf.endTick % bar, 0u);
  EXPECT_EQ(smf.lastNoteOff, smf.endTick);
  EXPECT_GT(smf.lastNoteOn, smf.endTick - bar / 4);
  EXPECT_EQ(smf.tempo.size(), 1u) << "one tempo, so the join keeps the pulse";
}

}  // namespace
