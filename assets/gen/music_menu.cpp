// The menu tune: a cheerful farmyard band in F major. Clarinet and trumpet
// carry the tune over tuba and accordion; glockenspiel, pizzicato strings and
// a light drum kit colour it. The hook is a clucking figure of three quick
// repeated notes.
//
//   bars  0- 3  intro: the band vamps, the glockenspiel runs down to the tune
//   bars  4-11  A   clarinet alone
//   bars 12-19  A   with glockenspiel and pizzicato, tambourine joins
//   bars 20-27  B   trumpet in B flat, the clarinet answering, strings below
//   bars 28-35  A   clarinet and trumpet in thirds
//   bars 36-43  C   sneaking in D minor, then climbing to D7
//   bars 44-51  A   everyone, a tone higher in G major
//   bars 52-53  the tag and the last chord, slowing down
#include <string>

#include "music.h"
#include "score.h"

namespace gen {

namespace {

using namespace music;

enum Channel { kClarinet, kTrumpet, kAccordion, kTuba, kGlockenspiel, kPizzicato, kStrings, kDrums = 9 };

constexpr int kTempo = 138;
constexpr uint32_t kEnd = Bar(54);

// The tune of the A sections, in F.
constexpr std::string_view kTune =
    "c5:2' c5' c5' f5:2 a5:4 f5:4 | d5:2' d5' d5' g5:2 bb5:4 g5:4 | a5:2 g5 f5 e5 f5 g5 a5 f5 | g5:8 e5:2 f5 e5 c5 | "
    "c5:2' c5' c5' f5:2 a5:4 f5:4 | d5:2' d5' d5' g5:2 bb5:4 d6:4 | c6:2 a5 f5 a5 g5:4 e5:4 | f5:4 a5:2' f5' f5:4 r:4 |";

std::string TuneChords(std::string_view lastBar) {
  return "F | Bb | F | C7 | F | Bb | F:8 C7:8 | " + std::string(lastBar) + " |";
}

constexpr std::string_view kBridgeTune =  // trumpet, B section
    "d5:6 f5:2 bb5:8 | a5:4 g5 f5 d5 | c5:6 f5:2 a5:8 | g5:4 f5 e5 c5 | "
    "bb4:6 d5:2 g5:8 | e5:4 g5 bb5 g5 | a5:8 f#5:8 | g5:4 bb5 e5 c5 |";
constexpr std::string_view kBridgeAnswer =  // clarinet, in the trumpet's long notes
    "r:8 f5:2 d5 bb4 d5 | r:16 | r:8 c5:2 a4 f4 a4 | r:16 | "
    "r:8 g4:2 bb4 d5 g5 | r:16 | r:8 d5:2 c5 a4 f#4 | r:16 |";
constexpr std::string_view kBridgeChords = "Bb | Gm7 | F | F:8 C7:8 | Gm7 | C7 | F:8 D7:8 | Gm7:8 C7:8 |";

constexpr std::string_view kSneakTune =  // bars 36-39, staccato
    "d5:2' a4' d5' e5' f5:4 d5:4 | c#5:2' e5' a5' g5' e5:4 c#5:4 | d5:2' a4' d5' e5' f5' g5' a5:4 | "
    "a5:2' g5' f5' e5' c#5:4 a4:4 |";
constexpr std::string_view kClimbTune =  // bars 40-43
    "bb4:4 d5 f5 bb5 | c6:4 bb5 g5 e5 | f#5:4 a5 d6 c6 | a5:2 f#5 d5 f#5 a5 c6 d6 f#6 |";
constexpr std::string_view kSneakChords = "Dm | A7 | Dm | A7 | Bb | C7 | D7 | D7 |";

void Conductor(MidiWriter& m) {
  m.NewTrack();
  m.TrackName("Kelo - Hauptmenue");
  m.TimeSignature(0, 4, 4);
  auto tempo = [&](uint32_t at, int bpm) { m.Tempo(at, 60000000 / bpm); };
  tempo(0, kTempo);
  // Broaden into the last chord.
  tempo(Bar(52) + 8 * kStep, 130);
  tempo(Bar(52) + 12 * kStep, 120);
  tempo(Bar(53), 104);
  m.End(kEnd);
}

void Tunes(MidiWriter& m) {
  const auto tune = Melody(kTune, 0);
  auto at = [&](uint32_t start, int transpose = 0) {
    std::vector<Note> line = Transposed(tune, transpose);
    for (Note& n : line) n.at += start;
    return line;
  };

  m.NewTrack();
  m.TrackName("Klarinette");
  Setup(m, kClarinet, 71, 108, 56, 50);
  Play(m, kClarinet, at(Bar(4)), 92);
  Play(m, kClarinet, at(Bar(12)), 94);
  Play(m, kClarinet, Melody(kBridgeAnswer, Bar(20)), 80);
  Play(m, kClarinet, at(Bar(28)), 94);
  Play(m, kClarinet, Melody(kSneakTune, Bar(36)), 88);
  Play(m, kClarinet, Melody(kClimbTune, Bar(40)), 90);
  Play(m, kClarinet, at(Bar(44), 2), 98);
  Play(m, kClarinet, Melody("e5:2' e5' e5' g5' c6:4 a5:4 | d6:2' b5' >g6:12_ |", Bar(52)), 100);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Trompete");
  Setup(m, kTrumpet, 56, 100, 78, 55);
  Play(m, kTrumpet, Melody(kBridgeTune, Bar(20)), 90);
  Play(m, kTrumpet, HarmonyBelow(at(Bar(28)), Chords(TuneChords("F"), Bar(28)), 5, false), 70);
  Play(m, kTrumpet, Transposed(Melody(kClimbTune, Bar(40)), -12), 84);
  Play(m, kTrumpet, HarmonyBelow(at(Bar(44), 2), Chords(TuneChords("F"), Bar(44), 2), 7, false), 78);
  Play(m, kTrumpet, Melody("c5:2' c5' c5' e5' a5:4 f#5:4 | b5:2' g5' >d6:12_ |", Bar(52)), 90);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Glockenspiel");
  Setup(m, kGlockenspiel, 9, 122, 88, 70);
  Play(m, kGlockenspiel, Melody("d6:2 c6 bb5 f5 e5 g5 bb5 c6 | e6:4 r:2 c6:2 bb5 g5 e5:4 |", Bar(2)), 104);
  Play(m, kGlockenspiel, Transposed(at(Bar(12)), 12), 90);
  Play(m, kGlockenspiel, Transposed(Melody(kClimbTune, Bar(40)), 12), 84);
  Play(m, kGlockenspiel, at(Bar(44), 14), 94);
  Play(m, kGlockenspiel, Melody("r:16 | d6:2 g6:2 b6:12 |", Bar(52)), 100);
  m.End(kEnd);
}

void Band(MidiWriter& m) {
  const auto intro = Chords("F | F | Bb:8 C7:8 | C7 |", Bar(0));
  const auto a1 = Chords(TuneChords("F:8 C7:8"), Bar(4));
  const auto a2 = Chords(TuneChords("F:8 F7:8"), Bar(12));
  const auto b = Chords(kBridgeChords, Bar(20));
  const auto a3 = Chords(TuneChords("F:12 A7:4"), Bar(28));
  const auto sneak = Chords(kSneakChords, Bar(36));
  const auto climb = Chords("Bb | C7 | D7 | D7 |", Bar(40));
  const auto a4 = Chords(TuneChords("F"), Bar(44), 2);
  const auto tag = Chords("C:8 D7:8 |", Bar(52));
  const auto last = Chords("G |", Bar(53));

  m.NewTrack();
  m.TrackName("Tuba");
  Setup(m, kTuba, 58, 127, 64, 35);
  constexpr std::string_view kOomPah = "R---....5---....";
  for (const auto* part : {&intro, &a1, &a2, &a3, &a4}) Bass(m, kTuba, *part, kOomPah, 100, 34);
  Bass(m, kTuba, b, "R---....5---.... | R---....5-----a- |", 90, 34, 0.85, &a3.front());
  Bass(m, kTuba, sneak, "R.r.....5.r.....", 88, 34, 0.6);
  Bass(m, kTuba, tag, "R---....R---....", 96, 34);
  Bass(m, kTuba, last, "R---------------", 100, 31, 1.0);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Akkordeon");
  Setup(m, kAccordion, 21, 100, 40, 45);
  constexpr std::string_view kPah = "....x-......x-..";
  for (const auto* part : {&intro, &a1, &a2, &a3, &a4}) Comp(m, kAccordion, *part, kPah, 76, 65);
  Comp(m, kAccordion, b, "....x-......x-..", 60, 65);
  Comp(m, kAccordion, climb, "x-..x-..x-..x-..", 62, 65);
  Comp(m, kAccordion, tag, "x-..x-..x-..x-..", 74, 65);
  Comp(m, kAccordion, last, "x---------------", 76, 65, false, 1.0);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Pizzicato");
  Setup(m, kPizzicato, 45, 92, 30, 55);
  Arp(m, kPizzicato, a2, "0.1.2.1.3.1.2.1.", 74, 53);
  Arp(m, kPizzicato, b, "0...2...1...3...", 70, 53);
  Play(m, kPizzicato, Transposed(Melody(kSneakTune, Bar(36)), -12), 80);
  Arp(m, kPizzicato, a4, "0.1.2.1.3.1.2.1.", 76, 55);
  Arp(m, kPizzicato, last, "0123456-........", 84, 43);
  m.End(kEnd);

  m.NewTrack();
  m.TrackName("Streicher");
  Setup(m, kStrings, 48, 62, 64, 70);
  Comp(m, kStrings, b, "x---------------", 46, 62, false, 1.0);
  Comp(m, kStrings, climb, "x---------------", 52, 64, false, 1.0);
  Comp(m, kStrings, a4, "x---------------", 44, 62, false, 1.0);
  Comp(m, kStrings, tag, "x-------x-------", 54, 64, false, 1.0);
  Comp(m, kStrings, last, "x---------------", 60, 67, false, 1.0);
  m.End(kEnd);
}

void Drums(MidiWriter& m) {
  enum : int { kKick = 36, kStick = 37, kSnare = 38, kHat = 42, kOpenHat = 46, kLowTom = 45, kMidTom = 47,
               kHighTom = 50, kCrash = 49, kRide = 51, kTambourine = 54, kHighBlock = 76, kLowBlock = 77 };
  m.NewTrack();
  m.TrackName("Schlagzeug");
  Setup(m, kDrums, 0, 100, 64, 40);
  constexpr std::string_view kEighths = "x.x.x.x.x.x.x.x.";
  constexpr std::string_view kOneThree = "x.......x.......";
  constexpr std::string_view kTwoFour = "....x.......x...";
  constexpr std::string_view kOffbeats = "..x...x...x...x.";
  auto crash = [&](int bar) { music::Drums(m, Bar(bar), Bar(bar) + kStep, {{kCrash, "x..............."}}, 96); };

  music::Drums(m, Bar(0), Bar(3), {{kHat, kEighths}, {kKick, kOneThree}, {kStick, kTwoFour}}, 76);
  music::Drums(m, Bar(3), Bar(4), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....x...x.x.xxxx"}}, 80);
  // A: 4-11 light, 12-19 with tambourine
  crash(4);
  music::Drums(m, Bar(4), Bar(11), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....o.......o..."}}, 84);
  music::Drums(m, Bar(11), Bar(12), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....o.......xxxx"}}, 84);
  music::Drums(m, Bar(12), Bar(19), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, kTwoFour}, {kTambourine, kOffbeats}}, 86);
  music::Drums(m, Bar(19), Bar(20), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....x.......xxxx"}}, 86);
  // B: ride and a tom run into the return of the tune
  crash(20);
  music::Drums(m, Bar(20), Bar(27), {{kRide, kEighths}, {kKick, "x.....x.x......."}, {kSnare, kTwoFour}}, 84);
  music::Drums(m, Bar(27), Bar(28),
               {{kRide, "x.x.x.x........."}, {kKick, "x.....x.x......."}, {kSnare, "....x..........."},
                {kHighTom, "........xx......"}, {kMidTom, "..........xx...."}, {kLowTom, "............xxxx"}}, 88);
  // A with open hi-hat lifts
  crash(28);
  music::Drums(m, Bar(28), Bar(35),
               {{kHat, "x.x.x.x.x.x.x..."}, {kOpenHat, "..............x."}, {kKick, kOneThree}, {kSnare, kTwoFour},
                {kTambourine, kOffbeats}}, 88);
  music::Drums(m, Bar(35), Bar(36), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....x...x.x.x.x."}}, 88);
  // C: wood blocks tiptoe, then the snare builds up to the key change
  music::Drums(m, Bar(36), Bar(40), {{kHighBlock, "x..x..x...x.x..."}, {kLowBlock, "........x......x"}, {kKick, "x..............."}}, 80);
  music::Drums(m, Bar(40), Bar(42), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, kTwoFour}}, 84);
  music::Drums(m, Bar(42), Bar(43), {{kKick, kOneThree}, {kSnare, "x.x.x.x.x.x.x.x."}}, 82);
  music::Drums(m, Bar(43), Bar(44), {{kKick, "x...x...x...x..."}, {kSnare, "xxxxxxxxXXXXXXXX"}}, 86);
  // A in G: the full band
  crash(44);
  music::Drums(m, Bar(44), Bar(51),
               {{kHat, kEighths}, {kKick, "x.......x.x....."}, {kSnare, "....X.......X..."}, {kTambourine, kOffbeats}}, 90);
  music::Drums(m, Bar(51), Bar(52), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....x...x.x.xxxx"}}, 90);
  music::Drums(m, Bar(52), Bar(53), {{kHat, kEighths}, {kKick, kOneThree}, {kSnare, "....x.......xxxx"}}, 92);
  music::Drums(m, Bar(53), Bar(54), {{kCrash, "X..............."}, {kKick, "X..............."}}, 100);
  m.End(kEnd);
}

}  // namespace

std::vector<uint8_t> ComposeMenuMusic() {
  MidiWriter m(kPpq);
  Conductor(m);
  Tunes(m);
  Band(m);
  Drums(m);
  return m.Bytes();
}

}  // namespace gen
