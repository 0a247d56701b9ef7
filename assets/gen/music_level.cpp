// The level music: a driving rock chase in E minor at 150 beats a minute.
// A sawtooth lead and a brass section carry the tunes over a picked bass,
// overdriven guitar and drums; strings, a square-wave arpeggio and timpani
// thicken the choruses. The theme runs in a 3-3-2 rhythm that pushes forward.
//
//   bars  0- 7  A   the theme
//   bars  8-15  A   the theme with brass stabs
//   bars 16-23  B   the chorus: brass and lead in unison, strings, arpeggio
//   bars 24-31  C   half time: lead and brass call and answer, then a build
//   bars 32-39  A   the theme with brass harmony and arpeggio
//   bars 40-47  B   the chorus again, ending on B7 with a tom run that
//                   falls straight back into bar 0
//
// The piece repeats: nothing sounds past its last bar, and the last bar's
// dominant and drum fill lead into the first bar's downbeat and crash.
#include "music.h"
#include "score.h"

namespace gen {

namespace {

using namespace music;

enum Channel { kLead, kBrass, kGuitar, kBass, kStrings, kTimpani, kArpeggio, kDrums = 9 };

constexpr int kTempo = 150;
constexpr uint32_t kEnd = Bar(48);

constexpr std::string_view kTheme =
    "e5:3 e5 g5:2 b5:4 a5:2 g5 | f#5:3 g5 a5:2 b5:8 | c6:3 b5 a5:2 g5:4 e5 | f#5:3 g5 a5:2 d5:8 | "
    "e5:3 e5 g5:2 b5:4 a5:2 g5 | f#5:3 g5 a5:2 b5:4 d6 | c6:3 b5 a5:2 b5:3 a5 f#5:2 | e5:12 r:4 |";
std::string ThemeChords(std::string_view lastBar) {
  return "Em | Em | C | D | Em | Em | Am:8 B7:8 | " + std::string(lastBar) + " |";
}

constexpr std::string_view kChorus =
    "e5:4 g5 c6:6 b5:2 | a5:4 f#5 d5:8 | d5:4 f#5 b5:6 a5:2 | g5:4 e5 b4:8 | "
    "c5:4 e5 a5:6 g5:2 | f#5:4 a5 d6:6 c6:2 | b5:4 d6:2 b5 g5:4 b5 | a5:4 f#5:2 d#5 b4:4 d#5 |";
constexpr std::string_view kChorusChords = "C | D | Bm | Em | Am | D | G | B7 |";

constexpr std::string_view kCall =
    "e5:2 g5 b5 e6 d6:3 b5 g5:2 | r:16 | e5:2 g5 b5 e6 f#6:3 e6 b5:2 | r:16 | "
    "a4:2 c5 e5 a5 c6 a5 e5 c5 | a4:2 c5 e5 a5 c6 e6 c6 a5 | b4:2 d#5 f#5 a5 b5 a5 f#5 d#5 | b5:2 a5 f#5 a5 b5 a5 f#5 d#5 |";
constexpr std::string_view kAnswer = "r:16 | c6:3 b5 g5:2 e5:4 g5 | r:16 | e6:3 c6 g5:2 e5:8 |";
constexpr std::string_view kBreakChords = "Em | C | Em | C | Am | Am | B7 | B7 |";

void Conductor(MidiWriter& m) {
  m.NewTrack();
  m.TrackName("Kelo - Level");
  m.TimeSignature(0, 4, 4);
  m.Tempo(0, 60000000 / kTempo);
  m.End(kEnd);
}

void Tunes(MidiWriter& m) {
  auto theme = [&](uint32_t at) { return Melody(kTheme, at); };

  m.NewTrack();
  m.TrackName("Lead");
  Setup(m, kLead, 81, 82, 64, 40, 40);
  Play(m, kLead, theme(Bar(0)), 96);
  Play(m, kLead, theme(Bar(8)), 98);
  Play(m, kLead, Melody(kChorus, Bar(16)), 86);
  Play(m, kLead, Melody(kCall, Bar(24)), 94);
  Play(m, kLead, theme(Bar(32)), 100);
  Play(m, kLead, Melody(kChorus, Bar(40)), 90);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Blaeser");
  Setup(m, kBrass, 61, 127, 84, 50);
  Comp(m, kBrass, Chords(ThemeChords("Em:8 D:8"), Bar(8)), "X-....X-....X-..", 84, 67, false, 0.7);
  Play(m, kBrass, Melody(kChorus, Bar(16)), 96);
  Play(m, kBrass, Melody(kAnswer, Bar(24)), 96);
  Play(m, kBrass, HarmonyBelow(theme(Bar(32)), Chords(ThemeChords("Em"), Bar(32)), 4, true), 84);
  Play(m, kBrass, Melody(kChorus, Bar(40)), 100);
  m.End(kEnd);
}

void Band(MidiWriter& m) {
  const auto a1 = Chords(ThemeChords("Em"), Bar(0));
  const auto a2 = Chords(ThemeChords("Em:8 D:8"), Bar(8));
  const auto b1 = Chords(kChorusChords, Bar(16));
  const auto c = Chords(kBreakChords, Bar(24));
  const auto a3 = Chords(ThemeChords("Em:8 D:8"), Bar(32));
  const auto b2 = Chords(kChorusChords, Bar(40));
  const auto cHalf = Chords("Em | C | Em | C |", Bar(24));
  const auto cBuild = Chords("Am | Am | B7 | B7 |", Bar(28));

  m.NewTrack();
  m.TrackName("Bass");
  Setup(m, kBass, 34, 112, 64, 20);
  constexpr std::string_view kDrive = "R-R-8-R-R-R-8-R-";
  for (const auto* part : {&a1, &a2, &a3}) Bass(m, kBass, *part, kDrive, 96, 28);
  Bass(m, kBass, b1, "R-R-R-R-R-R-R-a-", 98, 28, 0.85, &c.front());
  Bass(m, kBass, b2, "R-R-R-R-R-R-R-a-", 98, 28, 0.85, &a1.front());  // round to the start
  Bass(m, kBass, cHalf, "R-----R-R-------", 96, 28);
  Bass(m, kBass, cBuild, "R-R-R-R-R-R-R-R-", 94, 28);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Gitarre");
  Setup(m, kGuitar, 29, 95, 34, 30, 20);
  constexpr std::string_view kChug = "X-x-x-X-x-x-X-x-";
  for (const auto* part : {&a1, &a2, &a3}) Comp(m, kGuitar, *part, kChug, 80, 46, true, 0.55);
  for (const auto* part : {&b1, &b2}) Comp(m, kGuitar, *part, "X-----X---X-x-x-", 82, 46, true, 0.9);
  Comp(m, kGuitar, cHalf, "X---------------", 80, 46, true, 0.95);
  Comp(m, kGuitar, cBuild, "X-x-x-x-X-x-x-x-", 78, 46, true, 0.55);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Streicher");
  Setup(m, kStrings, 48, 50, 50, 70);
  for (const auto* part : {&b1, &b2, &c}) Comp(m, kStrings, *part, "x---------------", 48, 64, false, 1.0);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Arpeggio");
  Setup(m, kArpeggio, 80, 100, 96, 50);
  for (const auto* part : {&b1, &a3, &b2}) Arp(m, kArpeggio, *part, "0.1.2.3.4.3.2.1.", 70, 64, 0.8);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Pauken");
  Setup(m, kTimpani, 47, 100, 64, 50);
  for (int bar : {0, 16, 32, 40}) Bass(m, kTimpani, Chords(bar == 0 || bar == 32 ? "Em" : "C", Bar(bar)), "R-------........", 100, 40);
  Bass(m, kTimpani, Chords("B7", Bar(31)), "rrrrrrrrRRRRRRRR", 84, 40, 1.0);
  m.End(kEnd);
}

void Drums(MidiWriter& m) {
  enum : int { kKick = 36, kSnare = 38, kHat = 42, kOpenHat = 46, kFloorTom = 41, kLowTom = 45, kMidTom = 47,
               kHighTom = 50, kCrash = 49, kRide = 51 };
  m.NewTrack();
  m.TrackName("Schlagzeug");
  Setup(m, kDrums, 0, 110, 64, 35);
  constexpr std::string_view kHats = "X.x.X.x.X.x.X.x.";
  constexpr std::string_view kKicks = "x.....x.x.....x.";
  constexpr std::string_view kBackbeat = "....x.......x...";
  auto groove = [&](int from, int to, int cymbal) {
    music::Drums(m, Bar(from), Bar(to), {{cymbal, kHats}, {kKick, kKicks}, {kSnare, kBackbeat}}, 92);
  };
  auto crash = [&](int bar) { music::Drums(m, Bar(bar), Bar(bar) + kStep, {{kCrash, "X..............."}}, 100); };
  auto fill = [&](int bar) {
    music::Drums(m, Bar(bar), Bar(bar + 1),
                 {{kKick, "x.....x.x......."}, {kSnare, "....x...x.x....."}, {kHighTom, "..........xx...."},
                  {kMidTom, "............xx.."}, {kLowTom, "..............x."}, {kFloorTom, "...............x"}}, 96);
  };

  crash(0);
  groove(0, 7, kHat);
  fill(7);
  crash(8);
  groove(8, 15, kHat);
  music::Drums(m, Bar(15), Bar(16), {{kKick, "x.....x.x.x.x.x."}, {kSnare, "....x.......xxxx"}, {kOpenHat, "x.x.x.x.x.x....."}}, 96);
  crash(16);
  groove(16, 23, kRide);
  fill(23);
  // Half time, then the snare pushes towards the theme.
  crash(24);
  music::Drums(m, Bar(24), Bar(28), {{kHat, "x.x.x.x.x.x.x.x."}, {kKick, "x.........x....."}, {kSnare, "........x......."},
                                     {kLowTom, "..............xx"}}, 88);
  groove(28, 30, kHat);
  music::Drums(m, Bar(30), Bar(31), {{kKick, "x...x...x...x..."}, {kSnare, "x.x.x.x.x.x.x.x."}}, 90);
  music::Drums(m, Bar(31), Bar(32), {{kKick, "x...x...x...x..."}, {kSnare, "xxxxxxxxXXXXXXXX"}}, 92);
  crash(32);
  groove(32, 39, kHat);
  fill(39);
  crash(40);
  groove(40, 47, kRide);
  fill(47);
  m.End(kEnd);
}

}  // namespace

std::vector<uint8_t> ComposeLevelMusic() {
  MidiWriter m(kPpq);
  Conductor(m);
  Tunes(m);
  Band(m);
  Drums(m);
  return m.Bytes();
}

}  // namespace gen
