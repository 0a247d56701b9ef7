// A small notation for writing the music: melodies as text, chord
// progressions by name, and generators that turn the chords into bass lines,
// accompaniment, arpeggios and drum grooves.
//
// Times are in MIDI ticks, 480 to the quarter note; note lengths in the text
// are counted in sixteenths. A '|' in any text marks a bar line and must fall
// on one, which catches miscounted bars.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "midi.h"

namespace gen::music {

inline constexpr int kPpq = 480;
inline constexpr uint32_t kStep = kPpq / 4;    // a sixteenth
inline constexpr uint32_t kBar = 16 * kStep;   // a bar of 4/4
inline constexpr uint32_t Bar(int n) { return uint32_t(n) * kBar; }

// "c4" is middle C (60); "f#3", "bb5".
int Pitch(std::string_view name);

struct Note {
  uint32_t at = 0, length = 0;  // length as written
  int key = -1;                 // -1: a rest
  int accent = 0;               // velocity offset
  double hold = 0.9;            // share of the length that sounds
};

struct Chord {
  uint32_t at = 0, length = 0;
  int root = 0, bass = 0;   // pitch classes
  std::vector<int> tones;   // pitch classes: root, third, fifth, then any more
};

// A melody: tokens "<pitch>[:<sixteenths>][articulation]" or "r:<sixteenths>",
// the length carrying over from the previous token when left out. Prefix '>'
// accents a note, '<' softens it; suffix '\'' plays it short, '_' full length.
std::vector<Note> Melody(std::string_view text, uint32_t at);
// A second voice under a line: a diatonic third lower in the scale with tonic
// `tonic` (a pitch class) and the given mode (major or natural minor), except
// where that third is not in the chord sounding at the time: then the chord
// tone a third or fourth below, if there is one. Notes outside the scale go
// down a minor third.
std::vector<Note> HarmonyBelow(const std::vector<Note>& line, const std::vector<Chord>& chords, int tonic, bool minor);
std::vector<Note> Transposed(std::vector<Note> line, int semitones);
// Writes the notes; returns the tick after the last one.
uint32_t Play(MidiWriter& m, int channel, const std::vector<Note>& line, int velocity);

// Tokens "<name>[:<sixteenths>]" like "F", "Bb:8", "Gm7", "D7/F#", "Csus4"; a
// chord without a length lasts a whole bar.
std::vector<Chord> Chords(std::string_view text, uint32_t at, int transpose = 0);

// Patterns are strings of one character per sixteenth (bar lines and spaces
// ignored) that repeat over the chords. '.' rests, '-' holds the note before.
// Hits: 'X' accented, 'x' normal, 'o' soft.

// Bass line: 'R' the chord's bass note, '5' its fifth, '3' its third, '8' the
// root an octave up, 'a' a semitone below the next chord's bass note.
// Upper case or lower case gives the accent ('r' soft root).
// `lowest` is the lowest key the bass may use for the root; `following` is
// the chord after the last one, which an approach at the very end aims for.
void Bass(MidiWriter& m, int channel, const std::vector<Chord>& chords, std::string_view pattern, int velocity,
          int lowest, double hold = 0.85, const Chord* following = nullptr);

// Chords voiced close around `centre`, each voicing led smoothly from the last.
// With `power`, only root, fifth and octave (rock guitar).
void Comp(MidiWriter& m, int channel, const std::vector<Chord>& chords, std::string_view pattern, int velocity,
          int centre, bool power = false, double hold = 0.9);

// Broken chords: digits '0'..'9' pick the n-th chord tone upwards from `lowest`.
void Arp(MidiWriter& m, int channel, const std::vector<Chord>& chords, std::string_view pattern, int velocity,
         int lowest, double hold = 0.9);

// Drum grooves on channel 10 over [from, to): one pattern per drum key.
void Drums(MidiWriter& m, uint32_t from, uint32_t to, const std::vector<std::pair<int, std::string_view>>& lines,
           int velocity);

// A channel's instrument and mix.
void Setup(MidiWriter& m, int channel, int program, int volume, int pan, int reverb, int chorus = 0);

}  // namespace gen::music
