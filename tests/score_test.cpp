// The notation the menu and level music are written in.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <vector>

#include "assets/gen/score.h"

namespace {

using namespace gen::music;

struct Sounded {
  uint32_t at, end;
  int channel, key;
};

// The notes of a written file, in the order of their starts.
std::vector<Sounded> NotesOf(const gen::MidiWriter& m) {
  const std::vector<uint8_t> d = m.Bytes();
  std::vector<Sounded> notes;
  size_t p = 14;
  while (p + 8 <= d.size()) {
    const size_t end = p + 8 + (size_t(d[p + 4]) << 24 | size_t(d[p + 5]) << 16 | size_t(d[p + 6]) << 8 | d[p + 7]);
    p += 8;
    uint32_t tick = 0;
    std::map<int, size_t> open;
    while (p < end) {
      uint32_t delta = 0;
      do delta = delta << 7 | (d[p] & 0x7F); while (d[p++] & 0x80);
      tick += delta;
      if (d[p] == 0xFF) {
        p += 3 + d[p + 2];
        continue;
      }
      const int kind = d[p] & 0xF0, ch = d[p] & 15, key = d[p + 1];
      if (kind == 0x90) open[ch * 128 + key] = notes.size(), notes.push_back({tick, 0, ch, key});
      if (kind == 0x80) notes[open.at(ch * 128 + key)].end = tick;
      p += kind == 0xC0 ? 2 : 3;
    }
  }
  std::stable_sort(notes.begin(), notes.end(), [](const Sounded& a, const Sounded& b) { return a.at < b.at; });
  return notes;
}

TEST(Score, MelodiesReadPitchesLengthsAndBarLines) {
  EXPECT_EQ(Pitch("c4"), 60);
  EXPECT_EQ(Pitch("f#3"), 54);
  EXPECT_EQ(Pitch("bb5"), 82);
  EXPECT_EQ(Pitch("cb4"), 59);
  EXPECT_EQ(Pitch("b#3"), 60);

  const auto line = Melody("e5:3 e5 g5:2 r:8 | c6' >d6_ |", Bar(2));
  ASSERT_EQ(line.size(), 6u);
  EXPECT_EQ(line[1].length, 3 * kStep) << "the length carries over";
  EXPECT_EQ(line[3].key, -1);
  EXPECT_EQ(line[4].at, Bar(3));
  EXPECT_LT(line[4].hold, 0.5);
  EXPECT_EQ(line[5].accent > 0 && line[5].hold == 1.0, true);

  EXPECT_THROW(Melody("c5:4 d5 e5 | f5", 0), std::runtime_error) << "a bar of three quarters";
  EXPECT_THROW(Melody("h5:4", 0), std::runtime_error);
  EXPECT_THROW(Chords("C | Xm7 |", 0), std::runtime_error);
  EXPECT_THROW(Chords("C:8 | G |", 0), std::runtime_error);

  const auto chords = Chords("D7/F# Bb:8 Gm:8 |", Bar(1), 2);
  ASSERT_EQ(chords.size(), 3u);
  EXPECT_EQ(chords[0].root, 4);  // transposed up a tone: E7/G#
  EXPECT_EQ(chords[0].bass, 8);
  EXPECT_EQ(chords[0].tones, (std::vector<int>{4, 8, 11, 2}));
  EXPECT_EQ(chords[2].at, Bar(2) + 8 * kStep);
}

TEST(Score, GeneratorsFollowTheHarmony) {
  const auto chords = Chords("C | Am | F | G7 |", 0);
  gen::MidiWriter m(kPpq);
  m.NewTrack();
  Comp(m, 0, chords, "x-------------x-", 70, 64);
  Bass(m, 1, chords, "R-----5-----a-a-", 90, 28);
  const auto notes = NotesOf(m);

  std::map<uint32_t, std::vector<int>> struck;
  for (const Sounded& n : notes)
    if (n.channel == 0) struck[n.at].push_back(n.key);
  ASSERT_EQ(struck.size(), 8u);
  std::vector<int> previous;
  for (const auto& [at, keys] : struck) {
    const auto& chord = chords[at / kBar];
    for (int key : keys) {
      EXPECT_NE(std::find(chord.tones.begin(), chord.tones.end(), key % 12), chord.tones.end()) << at;
      EXPECT_NEAR(key, 64, 12);
    }
    // Voices move by small steps from chord to chord.
    if (previous.size() == keys.size()) {
      for (size_t i = 0; i < keys.size(); ++i) EXPECT_LE(std::abs(keys[i] - previous[i]), 5) << at;
    }
    previous = keys;
  }

  // Bass: root, fifth, then a semitone below the next root; the last bar's
  // approach aims at the chord itself when nothing follows.
  std::vector<int> bass;
  for (const Sounded& n : notes)
    if (n.channel == 1) bass.push_back(n.key);
  ASSERT_EQ(bass.size(), 16u);
  EXPECT_EQ((std::vector<int>(bass.begin(), bass.begin() + 4)), (std::vector<int>{36, 43, 35, 32}));  // C G, B under C, G# under A
  EXPECT_EQ(bass[12], 31);  // G
  EXPECT_EQ(bass[15], 30);  // F# under G

  // A held chord is struck again where the harmony changes beneath it.
  gen::MidiWriter held(kPpq);
  held.NewTrack();
  Comp(held, 0, Chords("F:8 C7:8 |", 0), "x---------------", 70, 64);
  std::map<uint32_t, int> starts;
  for (const Sounded& n : NotesOf(held)) {
    ++starts[n.at];
    EXPECT_LE(n.end, Bar(1));
  }
  EXPECT_EQ(starts.size(), 2u);
}

TEST(Score, HarmonyStaysInTheChordAndNotesNeverOverlap) {
  const auto chords = Chords("F | Bb |", 0);
  const auto tune = Melody("c5:4 a5 f5 a5 | d5:4 g5 bb5 d6 |", 0);
  const auto second = HarmonyBelow(tune, chords, 5, false);
  ASSERT_EQ(second.size(), tune.size());
  for (size_t i = 0; i < tune.size(); ++i) {
    const int down = tune[i].key - second[i].key;
    EXPECT_TRUE(down >= 3 && down <= 5) << i;
    const auto& tones = chords[tune[i].at / kBar].tones;
    EXPECT_NE(std::find(tones.begin(), tones.end(), second[i].key % 12), tones.end()) << i;
  }

  gen::MidiWriter m(kPpq);
  m.NewTrack();
  m.Note(0, 0, 60, 90, 480);
  m.Note(480, 0, 60, 90, 480);  // back to back is fine
  EXPECT_NO_THROW(m.Bytes());
  m.Note(700, 0, 60, 90, 100);
  EXPECT_THROW(m.Bytes(), std::runtime_error);
}

}  // namespace
